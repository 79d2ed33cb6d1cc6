#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "engine/Bitmap.h"

// A deterministic picture with the statistics of a photograph: smooth
// shading at several scales, edges, and a little sensor noise, so that JPEG
// and the colour reduction work as hard as on real pictures.
inline TBitmap PhotoLike(int32_t w, int32_t h, uint32_t seed = 1) {
  std::mt19937 random(seed);
  // Value noise on a few coarse grids, bilinearly interpolated.
  auto layer = [&](int cells) {
    std::vector<float> grid((cells + 1) * (cells + 1) * 3);
    for (float& v : grid) v = std::uniform_real_distribution<float>(0, 1)(random);
    return grid;
  };
  const int scales[] = {3, 11, 37};
  std::vector<std::vector<float>> layers;
  for (int cells : scales) layers.push_back(layer(cells));
  std::normal_distribution<float> noise(0, 3);
  TBitmap b;
  b.Resize(w, h);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      float c[3] = {0, 0, 0};
      float weight = 1;
      for (size_t l = 0; l < layers.size(); ++l) {
        const int cells = scales[l];
        const float fx = static_cast<float>(x) * cells / w, fy = static_cast<float>(y) * cells / h;
        const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
        const float tx = fx - ix, ty = fy - iy;
        for (int k = 0; k < 3; ++k) {
          auto at = [&](int gx, int gy) { return layers[l][(gy * (cells + 1) + gx) * 3 + k]; };
          const float v = (at(ix, iy) * (1 - tx) + at(ix + 1, iy) * tx) * (1 - ty) +
                          (at(ix, iy + 1) * (1 - tx) + at(ix + 1, iy + 1) * tx) * ty;
          c[k] += v * weight;
        }
        weight /= 2;
      }
      // A hard edge through the picture, like the outline of an object.
      const bool inside = (x - w / 3) * (x - w / 3) + (y - h / 2) * (y - h / 2) < h * h / 9;
      uint8_t* p = b.At(x, y);
      for (int k = 0; k < 3; ++k) {
        float v = c[k] / 1.75f * 220 + (inside ? 30 : 0) + noise(random);
        p[k] = static_cast<uint8_t>(std::clamp(v, 0.0f, 255.0f));
      }
    }
  }
  return b;
}
