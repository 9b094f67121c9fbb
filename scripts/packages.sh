# Sourced by the scripts: InstallMissing PKG... installs the Debian packages
# that are not there yet (as root, with apt-get), or says which are missing.
InstallMissing() {
  local need=() pkg
  for pkg in "$@"; do
    dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
  done
  [ ${#need[@]} -eq 0 ] && return 0
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
  else
    echo "missing packages: ${need[*]} (install them, or run as root)" >&2
    exit 1
  fi
}
