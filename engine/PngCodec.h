#pragma once

#include <string>
#include <string_view>

#include "engine/Bitmap.h"

// PNG through libpng. Every libpng error and warning that matters is caught
// at this edge; none ends the process or escapes as anything but the results
// documented here.

// A decoded PNG: the colour, its alpha when any pixel is not opaque, and what
// of the file carries over to the pieces.
struct TPngImage {
  TBitmap Color;
  // The alpha of each pixel in all three bytes of the pixel (so that the
  // scaler and the cutting treat it as one more picture); empty when every
  // pixel is opaque.
  TBitmap Alpha;
  bool Indexed = false;    // the file had a palette
  std::string IccProfile;  // the iCCP chunk's profile, uncompressed; empty if none
  std::string IccName;
};

// Decodes a whole PNG file of any colour type and bit depth, interlaced or
// not, into 8 bits a channel (16-bit samples keep their high byte, gray is
// spread to R, G and B, a tRNS colour becomes transparent). No gamma is
// applied: the samples are shown as they are stored, as browsers do for
// files without a colour profile. Returns false for a damaged or truncated
// file (a bad CRC included), an animated PNG (acTL before the image data),
// and pictures beyond IsAcceptableImageSize.
bool DecodePng(std::string_view data, TPngImage& image);

// True when `data` is a PNG whose chunks before the image data include acTL.
bool IsAnimatedPng(std::string_view data);

// The bytes of a PNG of `color` with `alpha` (a view of a TPngImage::Alpha
// of the same size, or one with Data null for an opaque picture) and the
// colour profile, if any. When `indexed` and the piece has at most 256
// colours (alpha counted), the file is a palette image with a tRNS chunk
// where needed; otherwise RGB or RGBA, 8 bits. Lossless either way. Raises
// Exception with libpng's message if encoding fails.
std::string EncodePng(const TPixelView& color, const TPixelView& alpha, bool indexed,
                      const std::string& iccName, const std::string& iccProfile);
