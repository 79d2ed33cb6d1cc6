#include "engine/Bitmap.h"

#include <cstring>

void CopyRect(const TBitmap& src, int32_t left, int32_t top, int32_t w, int32_t h, TBitmap& dst) {
  dst.Resize(w, h);
  for (int32_t y = 0; y < h; ++y) {
    std::memcpy(dst.Row(y), src.At(left, top + y), dst.RowBytes());
  }
}
