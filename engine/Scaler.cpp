#include "engine/Scaler.h"

#include <algorithm>
#include <cmath>
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

namespace {

constexpr int kWeightBits = 14;

// The resampling filter's taps for one axis: target cell i mixes source cells
// First[i] .. First[i] + Count[i] - 1 with Weights[i * Taps ...], which sum
// to 1 << kWeightBits.
struct TAxisFilter {
  int32_t Taps = 0;
  std::vector<int32_t> First, Count;
  std::vector<int32_t> Weights;
};

// Reducing: the Catmull-Rom cubic over two target cells each way, which
// keeps edges about as sharp as browsers show them. Enlarging: linear
// interpolation between the two nearest source cells.
double Kernel(double t, bool reducing) {
  t = std::abs(t);
  if (!reducing) return t < 1 ? 1 - t : 0;
  if (t < 1) return (1.5 * t - 2.5) * t * t + 1;
  if (t < 2) return ((-0.5 * t + 2.5) * t - 4) * t + 2;
  return 0;
}

TAxisFilter AxisFilter(int32_t source, int32_t target) {
  const double scale = static_cast<double>(target) / source;
  const bool reducing = scale < 1;
  const double radius = reducing ? 2 / scale : 1;  // in source cells
  const double unit = reducing ? scale : 1;        // source cells to kernel units
  TAxisFilter f;
  f.Taps = static_cast<int32_t>(std::ceil(2 * radius)) + 2;
  f.First.resize(target);
  f.Count.resize(target);
  f.Weights.assign(static_cast<size_t>(target) * f.Taps, 0);
  std::vector<double> raw(f.Taps);
  for (int32_t i = 0; i < target; ++i) {
    const double centre = (i + 0.5) / scale;  // in source coordinates
    const int32_t first = std::max(0, static_cast<int32_t>(std::floor(centre - radius)));
    const int32_t last = std::min(source - 1, static_cast<int32_t>(std::ceil(centre + radius)));
    double sum = 0;
    int32_t count = 0;
    for (int32_t j = first; j <= last && count < f.Taps; ++j, ++count) {
      raw[count] = Kernel((j + 0.5 - centre) * unit, reducing);
      sum += raw[count];
    }
    int32_t* w = &f.Weights[static_cast<size_t>(i) * f.Taps];
    int32_t total = 0, largest = 0;
    for (int32_t k = 0; k < count; ++k) {
      w[k] = static_cast<int32_t>(std::lround(raw[k] / sum * (1 << kWeightBits)));
      total += w[k];
      if (w[k] > w[largest]) largest = k;
    }
    w[largest] += (1 << kWeightBits) - total;
    f.First[i] = first;
    f.Count[i] = count;
  }
  return f;
}

}  // namespace

void ResampleBitmap(const TBitmap& src, int32_t w, int32_t h, TBitmap& dst) {
  const TAxisFilter across = AxisFilter(src.Width, w);
  const TAxisFilter down = AxisFilter(src.Height, h);
  const size_t rowValues = static_cast<size_t>(w) * 3;
  // Source rows already filtered across, with 8 bits kept below the byte;
  // kept in a ring as the target rows move down the source.
  const int32_t ring = down.Taps;
  std::vector<uint16_t> rows(rowValues * ring);
  std::vector<int32_t> held(ring, -1);
  auto filtered = [&](int32_t y) -> const uint16_t* {
    uint16_t* row = &rows[static_cast<size_t>(y % ring) * rowValues];
    if (held[y % ring] == y) return row;
    held[y % ring] = y;
    const uint8_t* in = src.Row(y);
    for (int32_t x = 0; x < w; ++x) {
      const int32_t* wt = &across.Weights[static_cast<size_t>(x) * across.Taps];
      const uint8_t* p = in + static_cast<size_t>(across.First[x]) * 3;
      int32_t r = 0, g = 0, b = 0;
      for (int32_t k = 0; k < across.Count[x]; ++k, p += 3) {
        r += p[0] * wt[k];
        g += p[1] * wt[k];
        b += p[2] * wt[k];
      }
      // The cubic's negative lobes can overshoot either way.
      constexpr int kShift = kWeightBits - 8, kHalf = 1 << (kShift - 1);
      auto keep = [](int32_t v) {
        return static_cast<uint16_t>(std::clamp((v + kHalf) >> kShift, 0, 255 << 8));
      };
      row[3 * x] = keep(r);
      row[3 * x + 1] = keep(g);
      row[3 * x + 2] = keep(b);
    }
    return row;
  };
  dst.Resize(w, h);
  std::vector<const uint16_t*> taps(down.Taps);
  for (int32_t y = 0; y < h; ++y) {
    const int32_t* wt = &down.Weights[static_cast<size_t>(y) * down.Taps];
    for (int32_t k = 0; k < down.Count[y]; ++k) taps[k] = filtered(down.First[y] + k);
    uint8_t* out = dst.Row(y);
    for (size_t v = 0; v < rowValues; ++v) {
      int64_t sum = 0;
      for (int32_t k = 0; k < down.Count[y]; ++k) sum += int64_t{taps[k][v]} * wt[k];
      constexpr int kShift = kWeightBits + 8;
      out[v] = static_cast<uint8_t>(
          std::clamp<int64_t>((sum + (int64_t{1} << (kShift - 1))) >> kShift, 0, 255));
    }
  }
}

void ResamplePicture(TBitmap& colour, TBitmap& alpha, int32_t w, int32_t h) {
  TBitmap scaled;
  if (alpha.Pixels.empty()) {
    ResampleBitmap(colour, w, h, scaled);
    colour = std::move(scaled);
    return;
  }
  for (size_t i = 0; i < colour.Pixels.size(); ++i) {
    colour.Pixels[i] = static_cast<uint8_t>((colour.Pixels[i] * alpha.Pixels[i] + 127) / 255);
  }
  ResampleBitmap(colour, w, h, scaled);
  colour = std::move(scaled);
  ResampleBitmap(alpha, w, h, scaled);
  alpha = std::move(scaled);
  for (size_t i = 0; i < colour.Pixels.size(); ++i) {
    const int a = alpha.Pixels[i];
    colour.Pixels[i] =
        a == 0 ? 0 : static_cast<uint8_t>(std::min(255, (colour.Pixels[i] * 255 + a / 2) / a));
  }
}
