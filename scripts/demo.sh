#!/usr/bin/env bash
# Installs what is missing, builds Velmora, copies the sample site to a fresh
# folder and protects it there with vlm-cli. Every run uses a new folder, so
# it is safe to run again; neither examples/ nor build/bin is changed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build=${VLM_BUILD_DIR:-$root/build}
cli=$build/bin/vlm-cli
if [ ! -x "$cli" ]; then
  echo "demo: $cli was not built" >&2
  exit 1
fi

# The demo's own program folder (VLM_HOME) holds a copy of the built vlm.ini,
# so the backup set of the run lands beside it and not in build/bin.
demo=$(mktemp -d "${TMPDIR:-/tmp}/velmora-demo-XXXXXX")
site=$demo/site
home=$demo/home
cp -R "$root/examples/site" "$site"
mkdir -p "$home"
cp "$build/bin/vlm.ini" "$home/vlm.ini"

echo
echo "Protecting a copy of the sample site:"
status=0
VLM_HOME=$home "$cli" protect "$site" || status=$?

printf -v qhome '%q' "$home"
printf -v qcli '%q' "$cli"
cat <<DONE

Protected pages:  $site
                  (open file://$site/index.html in a browser and
                   compare with file://$root/examples/site/index.html)
Backup set:       $home/Backup
Undo the run:     VLM_HOME=$qhome $qcli restore
List backup sets: VLM_HOME=$qhome $qcli backups
DONE
exit $status
