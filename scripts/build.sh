#!/usr/bin/env bash
# Configures and builds Velmora into build/ (or $VLM_BUILD_DIR). Safe to run again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VLM_BUILD_DIR:-$root/build}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${VLM_BUILD_TYPE:-RelWithDebInfo}
fi
cmake --build "$build"
