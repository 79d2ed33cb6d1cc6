#!/usr/bin/env bash
# The screenshot that the AppStream data shows: vlm on a virtual X screen
# (Xvfb) after it protected a copy of the sample site, saved as a PNG of its
# window. resources/desktop/ keeps a copy of it.
#
#   main-window-screenshot.sh VLM SHIPPED_INI SAMPLE_SITE OUTPUT_PNG
set -euo pipefail
if [ "${1:-}" = --on-screen ]; then
  # Under xvfb-run: start the program, wait for its run, take the picture.
  shift
  vlm=$1 site=$2 output=$3
  "$vlm" "$site" &
  pid=$!
  trap 'kill "$pid" 2>/dev/null || true' EXIT
  # The run has ended when every page with pictures to protect carries the
  # mark of protected markup (some pages have tables of their own) and the
  # busy program answers the window system again.
  for _ in $(seq 600); do
    done=true
    for page in gif.html jpeg.html bmp.html links.html sub/index.html; do
      grep -q 'data-vlm' "$site/$page" || done=false
    done
    $done && break
    kill -0 "$pid" 2>/dev/null || { echo "vlm ended by itself" >&2; exit 1; }
    sleep 0.1
  done
  $done || { echo "vlm did not protect the site" >&2; exit 1; }
  # The screen is black but for the window (no window manager runs): take
  # it whole and cut the window out. The picture is taken again until two
  # in a row agree, so the window has drawn what the run left.
  previous=
  for _ in $(seq 100); do
    import -window root -trim +repage -strip "$output"
    current=$(md5sum <"$output")
    [ "$current" != "$previous" ] || break
    previous=$current
    sleep 0.2
  done
  kill -TERM "$pid"
  wait "$pid"
  exit 0
fi

vlm=$1 ini=$2 sample=$3 output=$4
scratch=$(mktemp -d "${TMPDIR:-/tmp}/vlm-screenshot-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/run" "$(dirname "$output")"
chmod 700 "$scratch/run"
cp "$ini" "$scratch/home/vlm.ini"
cp -R "$sample" "$scratch/site"
rm -f "$output"
VLM_HOME=$scratch/home XDG_RUNTIME_DIR=$scratch/run QT_QPA_PLATFORM=xcb \
  xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24 -br" \
  "$0" --on-screen "$vlm" "$scratch/site" "$output"
# A picture of the window, not of an empty screen: large, and in many colours.
read -r width height colours < <(identify -format '%w %h %k\n' "$output")
echo "$output: $width x $height, $colours colours"
[ "$width" -ge 400 ] && [ "$height" -ge 300 ] && [ "$colours" -ge 16 ] ||
  { echo "FAIL: the screenshot shows no window" >&2; exit 1; }
