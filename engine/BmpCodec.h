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
// palette colour 0. A bit-field file that names an alpha mask (in a header
// of version 3 or later, or as the fourth mask) sets `alpha`, when given, to
// each pixel's alpha in all three bytes of the pixel, as browsers show it; it
// is left empty when every pixel is opaque and for every other layout (the
// fourth byte of a plain 32-bit file is no alpha to browsers).
bool DecodeBmp(std::string_view data, TBitmap& bitmap, TBitmap* alpha = nullptr);

// The bytes of an uncompressed 24-bit bottom-up bitmap file of `bitmap`.
std::string EncodeBmp(const TBitmap& bitmap);
// The same for `pixels`, into `out`, whose memory is reused.
void EncodeBmp(const TPixelView& pixels, std::string& out);
// With `alpha` (each pixel's alpha in all three bytes; empty: opaque), a
// 32-bit file with an alpha mask in a version 4 header.
void EncodeBmp(const TPixelView& pixels, const TPixelView& alpha, std::string& out);
