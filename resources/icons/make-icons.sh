#!/usr/bin/env bash
# Draws the window frame's and the tool bar's images with ImageMagick. The
# PNG files are kept in the repository; run this only to change them.
set -euo pipefail
cd "$(dirname "$0")"

page='fill white stroke #5a6e8c stroke-width 1.5 path "M 7,3 L 20,3 L 26,9 L 26,29 L 7,29 Z"'
fold='fill #f2c94c stroke #a77d12 stroke-width 1.5 path "M 3,9 L 12,9 L 14,12 L 29,12 L 29,27 L 3,27 Z"'
plus='fill #2e9d3a stroke none rectangle 19,20 30,23 rectangle 23,16 26,27'
minus='fill #c62828 stroke none rectangle 17,20 30,24'

icon() { convert -size 32x32 xc:none "${@:2}" "$1"; }

icon add.png -draw "$page" -draw "$plus"
icon adddir.png -draw "$fold" -draw "$plus"
icon del.png -draw "$page" -draw "$minus"
icon delall.png -draw "$page" -draw 'fill white stroke #5a6e8c stroke-width 1.5 path "M 3,7 L 16,7 L 16,25 L 3,25 Z"' \
  -draw 'stroke #c62828 stroke-width 4 line 14,14 28,28 line 28,14 14,28'
icon start.png -draw 'fill #2e9d3a stroke #1b5e20 stroke-width 1.5 path "M 8,4 L 27,16 L 8,28 Z"'
icon option.png -draw 'fill none stroke #5a6e8c stroke-width 5 circle 16,16 16,8' \
  -draw 'stroke #5a6e8c stroke-width 4 line 16,2 16,30 line 2,16 30,16 line 6,6 26,26 line 26,6 6,26' \
  -draw 'fill #f0f0f0 stroke #5a6e8c stroke-width 2 circle 16,16 16,12'
icon preview.png -draw "$page" -draw 'fill #d9ecff stroke #1f5fa8 stroke-width 3 circle 14,15 14,8' \
  -draw 'stroke #1f5fa8 stroke-width 4 line 19,20 27,28'
icon help.png -draw 'fill #1f5fa8 stroke none circle 16,16 16,2' \
  -draw 'fill white stroke none font DejaVu-Sans-Bold font-size 22 text 10,24 "?"'
icon about.png -draw 'fill #1f5fa8 stroke none circle 16,16 16,2' \
  -draw 'fill white stroke none font DejaVu-Serif-Bold font-size 22 text 12,24 "i"'

# The title bar: a gradient stretched over the whole width.
convert -size 20x64 gradient:'#0a246a-#a6caf0' -rotate -90 titlebar.png
# The title bar's buttons, 19 x 19.
button() {
  convert -size 19x19 xc:'#d4d0c8' -fill none -stroke white -draw 'line 0,0 18,0 line 0,0 0,18' \
    -stroke '#404040' -draw 'line 18,0 18,18 line 0,18 18,18' "${@:2}" "$1"
}
button frame-help.png -fill black -stroke none -font DejaVu-Sans-Bold -pointsize 12 -draw 'text 6,14 "?"'
button frame-min.png -fill black -stroke none -draw 'rectangle 5,12 11,13'
button frame-close.png -stroke black -strokewidth 2 -draw 'line 5,5 13,13 line 13,5 5,13'
# The program's own icon.
convert -size 48x48 xc:none -draw 'fill #0a246a stroke none roundrectangle 2,2 45,45 8,8' \
  -draw 'fill #a6caf0 stroke none rectangle 8,8 22,22 rectangle 25,8 39,22 rectangle 8,25 22,39 rectangle 25,25 39,39' vlm.png

# The application icon for the desktop's menu and file managers: a picture
# cut into a grid of pieces, as hicolor/velmora.svg draws it, in every size
# the hicolor theme lists.
pieces='rectangle 32,32 87,87 rectangle 100,32 155,87 rectangle 168,32 223,87'
pieces+=' rectangle 32,100 87,155 rectangle 100,100 155,155 rectangle 168,100 223,155'
pieces+=' rectangle 32,168 87,223 rectangle 100,168 155,223 rectangle 168,168 223,223'
convert -size 256x256 xc:none -draw 'fill #0a246a roundrectangle 12,12 243,243 40,40' \
  \( -size 256x256 xc:none -draw 'fill #a6caf0 rectangle 32,32 223,223' \
     -draw 'fill #f2c94c circle 172,76 198,76' \
     -draw 'fill #2e9d3a path "M 32,184 L 100,112 L 144,160 L 176,132 L 224,180 L 224,224 L 32,224 Z"' \
     \( -size 256x256 xc:black -fill white -draw "$pieces" \) -alpha off -compose CopyOpacity -composite \) \
  -compose over -composite -strip hicolor/velmora-256.png
for size in 16 22 24 32 48 64 128; do
  convert hicolor/velmora-256.png -filter Lanczos -resize ${size}x$size -strip hicolor/velmora-$size.png
done
