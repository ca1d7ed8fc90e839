#!/usr/bin/env bash
# Installs the Python package morvik into the virtual environment build/venv
# (made from Debian's /usr/bin/python3 with its system packages: numpy,
# pandas, matplotlib, pytest; dask and distributed for books): the Debian
# packages first, then `pip install --no-build-isolation` of python/,
# offline. The extension is compiled by the project's CMake build
# (python/setup.py drives it); set MORVIK_BUILD_DIR to reuse a build tree
# (test-all.sh passes build/release).
#
# Then: build/venv/bin/python -c "import morvik; ..."
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/install-packages.sh
install_packages build-essential cmake nlohmann-json3-dev libcli11-dev libquantlib0-dev libboost-dev "${PYTHON_PACKAGES[@]}"

VENV=build/venv
if [ ! -x "$VENV/bin/python" ]; then
  /usr/bin/python3 -m venv --system-site-packages "$VENV"
fi
"$VENV/bin/python" -m pip install --quiet --no-index --no-build-isolation --no-cache-dir ./python
echo "morvik installed in $VENV: $VENV/bin/python -c 'import morvik'"
