#pragma once

#include <cstdint>

#include "engine/Bitmap.h"

// Largest picture the engine handles, decoded or scaled: 2^26 pixels and
// 16384 pixels on a side. Guards against decompression bombs and absurd
// WIDTH/HEIGHT values.
inline constexpr int64_t kMaxImagePixels = int64_t{1} << 26;
inline constexpr int64_t kMaxImageSide = 16384;

// True when a w x h picture is at least 1 x 1 and within the limits above.
bool IsAcceptableImageSize(int64_t w, int64_t h);

// Resamples `src` to w x h without smoothing, each axis on its own (the
// aspect ratio is not kept). Target pixel (x, y) takes source pixel
// (floor((2x + 1) * srcW / (2w)), floor((2y + 1) * srcH / (2h))): the source
// pixel under the centre of the target pixel. A 2x enlargement repeats every
// pixel twice; a reduction to half keeps the odd columns and rows (1, 3, ...).
// `src` must not be empty and must not be `dst`; w and h must satisfy
// IsAcceptableImageSize.
void ScaleBitmap(const TBitmap& src, int32_t w, int32_t h, TBitmap& dst);

// Resamples `src` to w x h smoothly, as browsers show a picture at another
// size: each axis on its own, enlarging by linear interpolation and reducing
// with a cubic (Catmull-Rom) filter as wide as two target pixels each way,
// so every source pixel counts. Same preconditions as ScaleBitmap.
void ResampleBitmap(const TBitmap& src, int32_t w, int32_t h, TBitmap& dst);

// ResampleBitmap for a picture with alpha (`alpha` holds it in all three
// bytes of each pixel, or is empty for an opaque picture): colours are
// mixed in proportion to their opacity, so a transparent pixel lends its
// neighbours none of its hidden colour. Both bitmaps are replaced.
void ResamplePicture(TBitmap& colour, TBitmap& alpha, int32_t w, int32_t h);
