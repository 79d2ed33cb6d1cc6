#pragma once

// What the harnesses of the picture kinds with alpha check alike.

#include <string_view>

#include "engine/ImageDecoder.h"
#include "engine/Scaler.h"
#include "fuzz/FuzzSupport.h"

namespace fuzz {

// Decodes `bytes` as `kind` and checks what every reader promises: a refusal
// leaves the picture empty; an accepted picture is no animation, lies within
// the size limits and has pixels, and alpha if any, of its size. True when
// it was accepted and is small enough to be written as a piece and read back.
inline bool DecodeConsistent(ImageKind kind, std::string_view bytes, TSourceImage& image) {
  constexpr int64_t kRoundTripPixels = int64_t{1} << 14;
  if (!DecodeImage(kind, bytes, image)) {
    FUZZ_CHECK(image.Bitmap.Width == 0 && image.Bitmap.Pixels.empty() &&
               image.Alpha.Pixels.empty());
    return false;
  }
  FUZZ_CHECK(!IsAnimatedImage(kind, bytes));
  const TBitmap& b = image.Bitmap;
  FUZZ_CHECK(IsAcceptableImageSize(b.Width, b.Height));
  FUZZ_CHECK(b.Pixels.size() == static_cast<size_t>(b.Width) * static_cast<size_t>(b.Height) * 3);
  FUZZ_CHECK(image.Alpha.Pixels.empty() || image.Alpha.Pixels.size() == b.Pixels.size());
  return int64_t{b.Width} * b.Height <= kRoundTripPixels;
}

// The picture's alpha as the encoders take it: none when it is opaque.
inline TPixelView AlphaOf(const TSourceImage& image) {
  return image.Alpha.Pixels.empty() ? TPixelView() : ViewOf(image.Alpha);
}

}  // namespace fuzz
