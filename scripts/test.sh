#!/usr/bin/env bash
# Builds corvixmass and runs every test. On a fresh Debian machine run as root
# it first installs what the build and the tests need.
set -euo pipefail
cd "$(dirname "$0")/.."

need=()
for pkg in cmake g++ make libgtest-dev libgmock-dev libvterm-dev libbenchmark-dev; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
  else
    echo "missing packages: ${need[*]} (install them, or run as root)" >&2
    exit 1
  fi
fi

build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCORVIX_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
