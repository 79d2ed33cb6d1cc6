#pragma once

#include <string>
#include <string_view>

#include "engine/Bitmap.h"
#include "engine/PngCodec.h"

// WebP through libwebp (decoding, encoding, and the container library for
// the colour profile).

// A decoded WebP: colour and alpha as a PNG's, and whether the file was
// lossless (its pieces are then lossless too).
struct TWebpImage {
  TPngImage Picture;  // Indexed stays false
  bool Lossless = false;
};

// Decodes a still WebP, lossy or lossless, with or without alpha. Returns
// false for an animation, a damaged or truncated file, and pictures beyond
// IsAcceptableImageSize.
bool DecodeWebp(std::string_view data, TWebpImage& image);

// True when `data` is a WebP animation.
bool IsAnimatedWebp(std::string_view data);

// The bytes of a WebP of `color` with `alpha` (Data null: opaque): lossless
// when `lossless`, otherwise lossy at quality 90 with lossless alpha; with
// the colour profile, if any. Raises Exception when encoding fails.
std::string EncodeWebp(const TPixelView& color, const TPixelView& alpha, bool lossless,
                       const std::string& iccProfile);
