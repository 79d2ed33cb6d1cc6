#!/usr/bin/env bash
# Installs what is missing, builds Velmora and runs every test, then a short
# run of every fuzzing harness (VLM_FUZZ_SECONDS each, 10 by default; 0 skips
# it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build=${VLM_BUILD_DIR:-$root/build}
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j2
seconds=${VLM_FUZZ_SECONDS:-10}
if [ "$seconds" != 0 ]; then
  "$root/scripts/fuzz.sh" short "$seconds"
fi
