# Sourced by the scripts that build: install_packages PKG... installs Debian
# packages with apt-get, refreshing the package lists only when a first
# attempt fails (a fresh machine), quietly, as root or through sudo.
# PYTHON_PACKAGES: what the Python package morvik needs to build, run and be
# tested (install-python.sh, test-all.sh).

PYTHON_PACKAGES=(python3-dev python3-venv python3-pip python3-pybind11 pybind11-dev python3-numpy python3-pandas
  python3-matplotlib python3-pytest python3-dask python3-distributed python3-psutil mypy)

install_packages() {
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  if ! $sudo apt-get install -y --no-install-recommends "$@" >/dev/null 2>&1; then
    $sudo apt-get update >/dev/null
    $sudo apt-get install -y --no-install-recommends "$@" >/dev/null
  fi
}
