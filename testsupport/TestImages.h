#pragma once

#include <algorithm>
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

// Smooth shading with pseudo-random noise: thousands of colours, as in a
// photograph, the same for the same arguments.
inline TBitmap Noisy(int32_t w, int32_t h, uint32_t seed = 1) {
  TBitmap b;
  b.Resize(w, h);
  uint32_t state = seed * 2654435761u + 1;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* p = b.At(x, y);
      for (int k = 0; k < 3; ++k) {
        state = state * 1664525u + 1013904223u;
        const int base = (x * (k + 1) * 255 / std::max(1, w) + y * (3 - k) * 255 / std::max(1, h)) / 3;
        p[k] = static_cast<uint8_t>(std::clamp(base + static_cast<int>(state >> 28) - 8, 0, 255));
      }
    }
  }
  return b;
}

// A smooth picture, the kind JPEG keeps closely.
inline TBitmap Smooth(int32_t w, int32_t h) {
  TBitmap b;
  b.Resize(w, h);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* p = b.At(x, y);
      p[0] = static_cast<uint8_t>(x * 255 / std::max(1, w - 1));
      p[1] = static_cast<uint8_t>(y * 255 / std::max(1, h - 1));
      p[2] = static_cast<uint8_t>((x + y) * 255 / std::max(1, w + h - 2));
    }
  }
  return b;
}

// At most `colours` colours in short runs, as in a GIF picture.
inline TBitmap FewColours(int32_t w, int32_t h, int colours) {
  TBitmap b;
  b.Resize(w, h);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const int c = ((x / 3) * 7 + (y / 2) * 13) % colours;
      uint8_t* p = b.At(x, y);
      p[0] = static_cast<uint8_t>(c * 37);
      p[1] = static_cast<uint8_t>(c * 101 >> 2);
      p[2] = static_cast<uint8_t>(255 - c);
    }
  }
  return b;
}

// True when `piece` equals the rectangle of `source` at (left, top).
inline bool SameAsRect(const TBitmap& source, int32_t left, int32_t top, const TBitmap& piece) {
  if (left + piece.Width > source.Width || top + piece.Height > source.Height) return false;
  TBitmap rect;
  CopyRect(source, left, top, piece.Width, piece.Height, rect);
  return rect.Pixels == piece.Pixels;
}

}  // namespace testimages
