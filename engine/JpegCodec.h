#pragma once

#include <string>
#include <string_view>

#include "engine/Bitmap.h"

// JPEG through libjpeg-turbo. Every libjpeg error is caught at this edge:
// libjpeg never ends the process and no error escapes as anything but the
// results documented here.

// Decodes a whole JPEG file at full size into colour. Greyscale sources become
// grey RGB; CMYK and YCCK sources are converted to RGB (their values taken
// as Adobe-inverted, as such files are written). The picture is turned as its
// Exif orientation says, as browsers show it. `progressive` tells whether
// the file has more than one scan. Returns false for anything truncated or
// corrupt (libjpeg's warnings count as failures too), for more than 500
// scans, and for pictures beyond IsAcceptableImageSize.
bool DecodeJpeg(std::string_view data, TBitmap& bitmap, bool& progressive);

// The bytes of a colour JPEG file of `bitmap` at quality 90 with the standard
// tables limited to baseline values; progressive scans when `progressive`.
// Raises Exception with libjpeg's message if the encoder fails.
std::string EncodeJpeg(const TBitmap& bitmap, bool progressive);
