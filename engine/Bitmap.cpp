#include "engine/Bitmap.h"

#include <cstring>

TPixelView ViewOf(const TBitmap& bitmap) {
  return {bitmap.Pixels.data(), bitmap.RowBytes(), bitmap.Width, bitmap.Height};
}

TPixelView ViewOf(const TBitmap& bitmap, int32_t left, int32_t top, int32_t w, int32_t h) {
  return {bitmap.At(left, top), bitmap.RowBytes(), w, h};
}

void CopyRect(const TBitmap& src, int32_t left, int32_t top, int32_t w, int32_t h, TBitmap& dst) {
  dst.Resize(w, h);
  for (int32_t y = 0; y < h; ++y) {
    std::memcpy(dst.Row(y), src.At(left, top + y), dst.RowBytes());
  }
}
