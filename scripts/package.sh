#!/usr/bin/env bash
# Builds Velmora's Debian package (installs what is missing, builds, runs
# cpack) and puts velmora_VERSION_ARCH.deb into the current folder. Install it
# with:  apt install ./velmora_*.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build=${VLM_BUILD_DIR:-$root/build}
out=$(mktemp -d "${TMPDIR:-/tmp}/velmora-package-XXXXXX")
trap 'rm -rf "$out"' EXIT
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 ||
  { cat "$out/cpack.log" >&2; exit 1; }
for deb in "$out"/velmora_*.deb; do
  cp "$deb" .
  echo "Built $(pwd)/$(basename "$deb")"
  echo "Install it with:  apt install ./$(basename "$deb")"
done
