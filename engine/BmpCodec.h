#pragma once

#include <string>
#include <string_view>

#include "engine/Bitmap.h"

// Reads a Windows bitmap file held in memory: 1, 4, 8, 16, 24 and 32 bits per
// pixel; uncompressed, RLE8, RLE4 and bit-field layouts; bottom-up and
// top-down rows; the core (12-byte) and the info headers up to version 5.
// Returns false for anything malformed, truncated, of another compression or
// beyond IsAcceptableImageSize, and never reads outside `data`. Colour
// indices past the palette show black; pixels an RLE image skips take
// palette colour 0. Alpha is ignored.
bool DecodeBmp(std::string_view data, TBitmap& bitmap);

// The bytes of an uncompressed 24-bit bottom-up bitmap file of `bitmap`.
std::string EncodeBmp(const TBitmap& bitmap);
// The same for `pixels`, into `out`, whose memory is reused.
void EncodeBmp(const TPixelView& pixels, std::string& out);
