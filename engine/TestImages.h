#pragma once

#include <cstdint>

#include "engine/Bitmap.h"

// Deterministic pictures for the engine's tests.
namespace testimages {

// Every pixel different where the picture is at most 256 x 256: R = x,
// G = y, B = a mix of both.
inline TBitmap Gradient(int32_t w, int32_t h) {
  TBitmap b;
  b.Resize(w, h);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* p = b.At(x, y);
      p[0] = static_cast<uint8_t>(x);
      p[1] = static_cast<uint8_t>(y);
      p[2] = static_cast<uint8_t>(x * 7 + y * 13);
    }
  }
  return b;
}

inline TBitmap Solid(int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b) {
  TBitmap bitmap;
  bitmap.Resize(w, h);
  for (size_t i = 0; i < bitmap.Pixels.size(); i += 3) {
    bitmap.Pixels[i] = r;
    bitmap.Pixels[i + 1] = g;
    bitmap.Pixels[i + 2] = b;
  }
  return bitmap;
}

// True when `piece` equals the rectangle of `source` at (left, top).
inline bool SameAsRect(const TBitmap& source, int32_t left, int32_t top, const TBitmap& piece) {
  if (left + piece.Width > source.Width || top + piece.Height > source.Height) return false;
  TBitmap rect;
  CopyRect(source, left, top, piece.Width, piece.Height, rect);
  return rect.Pixels == piece.Pixels;
}

}  // namespace testimages
