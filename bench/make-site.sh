#!/usr/bin/env bash
# Writes a generated site for timing vlm-cli on something larger than the
# sample: PAGES pages (default 200) in ten folders and IMAGES pictures
# (default 100) in images/, GIF, baseline JPEG, progressive JPEG and BMP in
# turn, in five sizes from 160x120 to 480x360. Every page shows three
# pictures, one of them inside a link, so each picture stands on several pages
# and a run cuts it once and reuses it on the others.
#
#   bench/make-site.sh DIR [PAGES] [IMAGES]
#
# DIR must not exist yet. To time a run (build/bin/vlm.ini copied into a
# program folder of its own, so the backup sets stay out of build/bin):
#
#   bench/make-site.sh /tmp/vlm-bench/site
#   mkdir /tmp/vlm-bench/home && cp build/bin/vlm.ini /tmp/vlm-bench/home/
#   hyperfine --runs 5 \
#     --prepare 'rm -rf /tmp/vlm-bench/run /tmp/vlm-bench/home/Backup &&
#                cp -R /tmp/vlm-bench/site /tmp/vlm-bench/run' \
#     'VLM_HOME=/tmp/vlm-bench/home build/bin/vlm-cli protect /tmp/vlm-bench/run'
set -euo pipefail
if [ $# -lt 1 ] || [ $# -gt 3 ]; then
  echo "usage: $0 DIR [PAGES] [IMAGES]" >&2
  exit 2
fi
dir=$1
pages=${2:-200}
images=${3:-100}
if [ -e "$dir" ]; then
  echo "$0: $dir exists already" >&2
  exit 2
fi
mkdir -p "$dir/images"

# Twenty distinct pictures (four kinds in five sizes), drawn once and copied
# to make up the count; copies are distinct files to the run, so each is cut.
kinds=(gif jpg pjpg bmp)
sizes=(160x120 240x180 320x240 400x300 480x360)
protos=$(mktemp -d)
trap 'rm -rf "$protos"' EXIT
for size in "${sizes[@]}"; do
  w=${size%x*}
  h=${size#*x}
  base=(-size "$size" gradient:'#204060-#f0c080'
        -fill '#c03020' -draw "circle $((w / 3)),$((h / 2)) $((w / 3)),$((h / 5))"
        -fill '#30a040' -draw "rectangle $((w / 2)),$((h / 4)) $((w * 7 / 8)),$((h * 3 / 4))"
        -fill '#f0f0f0' -draw "line 0,$((h - 1)) $((w - 1)),0")
  convert "${base[@]}" +dither -remap netscape: "$protos/$size.gif"
  convert "${base[@]}" -quality 85 -interlace None "$protos/$size.jpg"
  convert "${base[@]}" -quality 85 -interlace Plane "JPEG:$protos/$size.pjpg"
  convert "${base[@]}" -type TrueColor "BMP3:$protos/$size.bmp"
done

names=()
for ((i = 0; i < images; i++)); do
  kind=${kinds[i % 4]}
  size=${sizes[(i / 4) % 5]}
  ext=${kind#p}
  name=pic$i.$ext
  cp "$protos/$size.$kind" "$dir/images/$name"
  names+=("$name")
done

filler="<p>Generated text of the page, long enough to make the page about the size of a
real one. It has no tags of interest to the run: the run still reads and writes it
whole.</p>"
# printf is built in, so ten thousand pages cost no process each.
for ((p = 0; p < pages; p++)); do
  folder=$dir/section$((p % 10))
  [ -d "$folder" ] || mkdir -p "$folder"
  a=${names[(p * 3) % images]}
  b=${names[(p * 3 + 1) % images]}
  c=${names[(p * 3 + 2) % images]}
  printf '%s\n' '<!DOCTYPE html>' '<html>' "<head><title>Page $p</title></head>" '<body>' \
    "<h1>Page $p</h1>" "$filler" "<div><img src=\"../images/$a\" alt=\"$a\"></div>" "$filler" \
    "<div><a href=\"page$(((p + 1) % pages)).html\">Next page <img src=\"../images/$b\"> and on</a></div>" \
    "$filler" "<div><img src=\"../images/$c\" alt=\"$c\"></div>" "$filler" '</body>' '</html>' \
    > "$folder/page$p.html"
done
echo "$dir: $pages pages, $images pictures"
