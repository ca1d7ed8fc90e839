#!/usr/bin/env bash
# Installs the Python package morvik into the virtual environment build/venv
# (made from Debian's /usr/bin/python3 with its system packages: numpy,
# pandas, matplotlib, pytest, mypy; dask and distributed for books): the
# Debian packages first, then `pip install --no-build-isolation` of python/,
# offline. The extension is compiled by the project's CMake build
# (python/setup.py drives it); set MORVIK_BUILD_DIR to reuse a build tree
# (test-all.sh passes build/release). Each step says what it does; the
# compiler's progress lines show while the extension builds.
#
# Then: build/venv/bin/python -c "import morvik; ..."
set -euo pipefail
cd "$(dirname "$0")/.."

step() { echo "install-python: $*"; }

source scripts/install-packages.sh
step "Debian packages (apt-get; the first run on a fresh machine takes minutes)..."
install_packages build-essential cmake nlohmann-json3-dev libcli11-dev libquantlib0-dev libboost-dev "${PYTHON_PACKAGES[@]}"

VENV=build/venv
if [ ! -x "$VENV/bin/python" ]; then
  step "virtual environment $VENV from /usr/bin/python3..."
  /usr/bin/python3 -m venv --system-site-packages "$VENV"
fi
step "building the extension through CMake (${MORVIK_BUILD_DIR:-build/python}) and installing the package..."
LOG="$VENV/install.log"
# pip's verbose output goes to the log; the build's progress lines ("[ 42%] ...")
# and errors are shown as they come.
set +e
"$VENV/bin/python" -m pip install -v --no-index --no-build-isolation --no-cache-dir ./python 2>&1 | tee "$LOG" |
  grep --line-buffered -E '^\s*\[ *[0-9]+%\]|error:|Error:|ERROR' | sed -u 's/^\s*/  /'
status=${PIPESTATUS[0]}
set -e
if [ "$status" -ne 0 ]; then
  echo "install-python: pip failed (status $status); the end of $LOG:" >&2
  tail -n 40 "$LOG" >&2
  exit "$status"
fi
step "morvik installed in $VENV: $VENV/bin/python -c 'import morvik' (pip's log: $LOG)"
