#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/PixelMemory.h"

// The pixel bytes of a picture; growing them leaves the new bytes unset.
using TPixelBytes = std::vector<uint8_t, TPixelAllocator<uint8_t>>;

// An uncompressed true-colour picture in memory: 3 bytes per pixel in the
// order R, G, B, rows from top to bottom, no padding between rows. Every
// codec decodes into it and every encoder takes it.
struct TBitmap {
  int32_t Width = 0;
  int32_t Height = 0;
  TPixelBytes Pixels;

  // Makes the bitmap w x h; the content is unspecified afterwards. Keeps the
  // allocation when it is large enough, so one bitmap can be reused for many
  // pieces.
  void Resize(int32_t w, int32_t h) {
    Width = w;
    Height = h;
    Pixels.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
  }

  size_t RowBytes() const { return static_cast<size_t>(Width) * 3; }
  uint8_t* Row(int32_t y) { return Pixels.data() + static_cast<size_t>(y) * RowBytes(); }
  const uint8_t* Row(int32_t y) const {
    return Pixels.data() + static_cast<size_t>(y) * RowBytes();
  }
  uint8_t* At(int32_t x, int32_t y) { return Row(y) + static_cast<size_t>(x) * 3; }
  const uint8_t* At(int32_t x, int32_t y) const { return Row(y) + static_cast<size_t>(x) * 3; }
};

// A rectangle of a picture seen in place, without copying: Width x Height
// pixels in the layout of TBitmap, rows Stride bytes apart. Valid while the
// picture it looks at is neither changed in size nor freed.
struct TPixelView {
  const uint8_t* Data = nullptr;
  size_t Stride = 0;
  int32_t Width = 0;
  int32_t Height = 0;

  const uint8_t* Row(int32_t y) const { return Data + static_cast<size_t>(y) * Stride; }
};

// The whole of `bitmap`.
TPixelView ViewOf(const TBitmap& bitmap);
// The w x h rectangle of `bitmap` whose top-left pixel is (left, top); it
// must lie inside `bitmap`.
TPixelView ViewOf(const TBitmap& bitmap, int32_t left, int32_t top, int32_t w, int32_t h);

// Copies the w x h rectangle of `src` whose top-left pixel is (left, top)
// into `dst`, which is made w x h. The rectangle must lie inside `src`.
void CopyRect(const TBitmap& src, int32_t left, int32_t top, int32_t w, int32_t h, TBitmap& dst);
