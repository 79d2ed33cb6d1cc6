#!/usr/bin/env bash
# Draws the images of the sample site with ImageMagick (and cwebp, of the
# Debian package webp, for the WebP pictures). The results are kept
# in the repository; run this only to change them. Every picture is drawn
# from shapes and gradients (no fonts, no randomness), so the same ImageMagick
# gives the same files.
#
# GIF pictures use only the 216 web-safe colours: any two of them differ in
# the top five bits of some channel, so pieces cut from them keep every colour
# exactly and a protected page looks the same to the pixel.
set -euo pipefail
site=$(cd "$(dirname "$0")" && pwd)/site
mkdir -p "$site/images" "$site/sub/images"

gif() {  # gif OUT CONVERT-ARGS...: web-safe palette, no dithering, no metadata
  local out=$1; shift
  convert "$@" +dither -remap netscape: -strip "$out"
}
jpeg() {  # jpeg OUT INTERLACE CONVERT-ARGS...
  local out=$1 interlace=$2; shift 2
  convert "$@" -sampling-factor 2x2 -quality 85 -interlace "$interlace" -strip "$out"
}
bmp() {  # bmp OUT COMPRESSION CONVERT-ARGS...: 8-bit palette Windows bitmap
  local out=$1 compression=$2; shift 2
  convert "$@" +dither -colors 200 -type Palette -compress "$compression" -strip "BMP3:$out"
}

cd "$site/images"
gif logo.gif -size 120x48 xc:'#003366' \
  -fill '#ffcc00' -draw 'rectangle 8,8 39,39' \
  -fill '#ff6633' -draw 'circle 60,24 60,8' \
  -fill '#66ccff' -draw 'polygon 84,40 100,8 116,40'
gif mountains.gif -size 240x150 gradient:'#3366cc-#ffcc99' \
  \( -size 240x150 xc:none -fill '#336633' \
     -draw 'polygon 0,150 40,80 90,120 150,50 240,110 240,150' \
     -fill white -draw 'polygon 150,50 140,62 160,62' \
     -fill '#cc3300' -draw 'circle 200,30 212,30' \) -composite
gif badge.gif -size 180x90 xc:'#ffffcc' \
  -fill '#990000' -draw 'roundrectangle 4,4 175,85 12,12' \
  -fill '#ffcc00' -draw 'circle 45,45 45,15' \
  -fill '#ffffff' -draw 'rectangle 90,20 170,30' -draw 'rectangle 90,40 150,50' \
  -draw 'rectangle 90,60 160,70'
gif arrow.gif -size 90x60 xc:'#cccccc' \
  -fill '#006699' -draw 'polygon 5,20 55,20 55,5 85,30 55,55 55,40 5,40'
gif button.gif -size 120x40 gradient:'#66cc66-#006600' \
  -fill '#ffffff' -draw 'polygon 50,10 50,30 72,20'
gif keep.gif -size 100x60 pattern:checkerboard -fill '#cc0066' -draw 'circle 50,30 50,10'
gif banner.gif -size 200x40 gradient:'#000066-#6699ff' -rotate 90 -resize 200x40! \
  -fill '#ffff00' -draw 'rectangle 0,18 199,21'
gif dot.gif -size 12x12 xc:'#ffffff' -fill '#cc0000' -draw 'circle 6,6 6,1'

jpeg harbour.jpg None -size 240x160 gradient:'#87ceeb-#1e3c64' \
  \( -size 240x60 gradient:'#2e6f8e-#0b2233' \) -gravity south -composite -gravity northwest \
  -fill '#8b4513' -draw 'polygon 40,110 120,110 110,125 50,125' \
  -stroke '#222222' -strokewidth 2 -draw 'line 80,110 80,45' -stroke none \
  -fill '#fafafa' -draw 'polygon 82,48 82,106 118,106' \
  -fill '#f4e3a1' -draw 'circle 190,40 190,22' -blur 0x0.6
jpeg meadow.jpg Plane -size 240x160 gradient:'#fff1c1-#f08a4b' \
  \( -size 240x70 gradient:'#6fae3f-#2d5a1b' \) -gravity south -composite -gravity northwest \
  -fill '#d9412b' -draw 'circle 60,120 60,110' -draw 'circle 150,135 150,127' \
  -fill '#ffe066' -draw 'circle 105,105 105,98' -draw 'circle 200,118 200,112' \
  -fill '#5b3a29' -draw 'rectangle 175,50 185,95' \
  -fill '#2f6b2f' -draw 'circle 180,45 180,20' -blur 0x0.8

bmp tiles.bmp None -size 120x90 xc:'#f0f0f0' \
  -fill '#204080' -draw 'rectangle 0,0 59,44' -draw 'rectangle 60,45 119,89' \
  -fill '#e08020' -draw 'circle 30,67 30,52' -draw 'circle 90,22 90,7' \
  -fill '#40a040' -draw 'rectangle 55,40 64,49'
bmp stripes.bmp RLE -size 96x72 xc:'#ffffff' \
  -fill '#c00000' -draw 'rectangle 0,0 95,11' -draw 'rectangle 0,24 95,35' -draw 'rectangle 0,48 95,59' \
  -fill '#0000c0' -draw 'rectangle 40,0 55,71'

cd "$site/sub/images"
gif leaf.gif -size 150x100 xc:'#ffffcc' \
  -fill '#339933' -draw 'ellipse 75,50 60,30 0,360' \
  -stroke '#003300' -strokewidth 3 -draw 'line 15,50 135,50' \
  -draw 'line 60,50 80,28' -draw 'line 60,50 80,72' -draw 'line 95,50 112,32' -draw 'line 95,50 112,68'
bmp stone.bmp None -size 100x80 radial-gradient:'#d8d0c0-#5a5248'

# PNG: one with graded alpha, shown on a coloured background, and one with a
# palette. The first keeps the gAMA and cHRM chunks ImageMagick writes, by
# which browsers convert its colours (its pieces must carry them too); only
# the chunks with dates are left out, so the file is the same on every run.
cd "$site/images"
convert -size 200x120 xc:none \
  -fill '#ff660080' -draw 'circle 70,60 70,10' \
  -fill '#0066ffc0' -draw 'rectangle 100,20 190,100' \
  -fill '#00aa00' -draw 'polygon 20,110 60,70 100,110' \
  -define png:exclude-chunks=date,time,bKGD,tEXt,zTXt,tIME PNG32:glass.png
convert -size 160x96 xc:'#ffffcc' \
  -fill '#cc3333' -draw 'rectangle 8,8 70,88' \
  -fill '#3366cc' -draw 'circle 115,48 115,16' \
  +dither -colors 8 -type Palette -strip PNG8:flags.png
# WebP: a photograph-like picture, lossy, and a drawing, lossless.
convert -size 240x160 gradient:'#ffe0b0-#5080c0' \
  -fill '#2e6b2e' -draw 'polygon 0,160 60,90 130,130 190,70 240,120 240,160' \
  -fill '#fff6d0' -draw 'circle 180,40 180,22' -blur 0x0.7 -strip /tmp/vlm-dune.png
cwebp -quiet -q 85 /tmp/vlm-dune.png -o dune.webp
convert -size 150x90 xc:'#f0f0f0' \
  -fill '#204080' -draw 'rectangle 10,10 70,80' \
  -fill '#e08020' -draw 'circle 110,45 110,15' -strip /tmp/vlm-chart.png
cwebp -quiet -lossless /tmp/vlm-chart.png -o chart.webp
rm -f /tmp/vlm-dune.png /tmp/vlm-chart.png
# The address page's picture, in a folder with a blank in its name.
mkdir -p "$site/images/my photos"
convert -size 160x100 gradient:'#cc0000-#0000cc' -fill '#ffffff' -draw 'rectangle 40,30 120,70' \
  +dither -remap netscape: -strip "$site/images/my photos/red blue.gif"
# A picture whose file name has letters beyond ASCII (in UTF-8, as file
# systems keep them), shown by a page written in ISO-8859-1.
convert -size 140x90 xc:'#f6efe0' -fill '#8a3b12' -draw 'rectangle 10,30 130,85' \
  -fill '#d9c7a0' -draw 'polygon 10,30 70,6 130,30' -fill '#30475e' \
  -draw 'rectangle 30,45 50,85' -draw 'rectangle 90,45 110,65' \
  +dither -remap netscape: -strip "$site/images/façade.gif"
# A picture with a transparent colour, drawn on a coloured background.
cd "$site/images"
convert -size 120x60 xc:'#ff00ff' +antialias -fill '#ff9900' -draw 'circle 60,30 60,6' \
  -fill '#003366' -draw 'rectangle 8,20 40,40' -transparent '#ff00ff' -strip halo.gif
# A BMP with an alpha channel (32 bits, an alpha mask in a version 5 header).
convert -size 120x60 xc:none -fill '#ff9900' -draw 'circle 60,30 60,6' \
  -fill 'rgba(0,51,102,0.5)' -draw 'rectangle 8,20 70,44' -strip glow.bmp
# A photo in a wide colour space, its ICC profile (Adobe RGB 1998, from
# Debian's ghostscript) kept in the file.
convert -size 200x120 gradient:'#e01020-#10c040' -sampling-factor 2x2 -quality 85 -strip \
  -profile /usr/share/color/icc/ghostscript/a98.icc wide.jpg
# A wide photo for the hero of the responsive page: soft shapes only, so that
# pieces scaled each on their own meet without a visible edge.
convert -size 960x400 gradient:'#9ec9e8-#f4e3b5' \
  -fill '#5a8f3c' -draw 'ellipse 480,420 700,140 0,360' \
  -fill '#e8a23a' -draw 'circle 760,110 760,60' -blur 0x12 \
  -sampling-factor 2x2 -quality 85 -strip field.jpg
# Six upright bars: squeezed or stretched upright, the picture stays the
# same, so a picture drawn in another shape than its tag's can be compared
# to the pixel.
convert -size 120x60 xc:'#c82828' +antialias \
  -fill '#e6a01e' -draw 'rectangle 20,0 39,59' -fill '#f0dc3c' -draw 'rectangle 40,0 59,59' \
  -fill '#3ca050' -draw 'rectangle 60,0 79,59' -fill '#286ec8' -draw 'rectangle 80,0 99,59' \
  -fill '#783caa' -draw 'rectangle 100,0 119,59' -strip bars.gif
