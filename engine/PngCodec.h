#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/Bitmap.h"

// PNG through libpng. Every libpng error and warning that matters is caught
// at this edge; none ends the process or escapes as anything but the results
// documented here.

// The chunks besides a profile that say how a PNG's samples are to be
// shown: gAMA, cHRM and sRGB. Browsers convert a file that has them, so the
// pieces carry them too. Values as libpng's fixed point (times 100000).
struct TPngColour {
  bool HasGamma = false;
  int32_t Gamma = 0;
  bool HasChromaticities = false;
  int32_t Chromaticities[8] = {};  // white x, y, red x, y, green x, y, blue x, y
  int SrgbIntent = -1;             // the sRGB chunk's rendering intent, -1 if none

  bool operator==(const TPngColour&) const = default;
};

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
  TPngColour Colour;
};

// Decodes a whole PNG file of any colour type and bit depth, interlaced or
// not, into 8 bits a channel (16-bit samples keep their high byte, gray is
// spread to R, G and B, a tRNS colour becomes transparent). No gamma is
// applied to the samples: the pieces carry the file's profile and colour
// chunks, so browsers convert them as they convert the file. Returns false for a damaged or
// truncated file (a bad CRC included), an animated PNG (acTL before the image data), and pictures
// beyond IsAcceptableImageSize.
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
                      const std::string& iccName, const std::string& iccProfile,
                      const TPngColour& colour = {});
