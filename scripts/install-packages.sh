# Sourced by the scripts that build: install_packages PKG... installs Debian
# packages with apt-get, refreshing the package lists only when a first
# attempt fails (a fresh machine), quietly, as root or through sudo.
install_packages() {
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  if ! $sudo apt-get install -y --no-install-recommends "$@" >/dev/null 2>&1; then
    $sudo apt-get update >/dev/null
    $sudo apt-get install -y --no-install-recommends "$@" >/dev/null
  fi
}
