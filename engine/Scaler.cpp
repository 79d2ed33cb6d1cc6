#include "engine/Scaler.h"

#include <cstring>
#include <vector>

bool IsAcceptableImageSize(int64_t w, int64_t h) {
  return w >= 1 && h >= 1 && w <= kMaxImageSide && h <= kMaxImageSide && w * h <= kMaxImagePixels;
}

namespace {

// Source index under the centre of each of `target` cells on an axis of
// `source` cells.
std::vector<int32_t> SampleIndices(int32_t source, int32_t target) {
  std::vector<int32_t> index(target);
  for (int32_t i = 0; i < target; ++i) {
    index[i] = static_cast<int32_t>((2 * int64_t{i} + 1) * source / (2 * int64_t{target}));
  }
  return index;
}

}  // namespace

void ScaleBitmap(const TBitmap& src, int32_t w, int32_t h, TBitmap& dst) {
  std::vector<int32_t> columns = SampleIndices(src.Width, w);
  std::vector<int32_t> rows = SampleIndices(src.Height, h);
  dst.Resize(w, h);
  for (int32_t y = 0; y < h; ++y) {
    if (y > 0 && rows[y] == rows[y - 1]) {
      std::memcpy(dst.Row(y), dst.Row(y - 1), dst.RowBytes());
      continue;
    }
    const uint8_t* in = src.Row(rows[y]);
    uint8_t* out = dst.Row(y);
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t* p = in + static_cast<size_t>(columns[x]) * 3;
      out[0] = p[0];
      out[1] = p[1];
      out[2] = p[2];
      out += 3;
    }
  }
}
