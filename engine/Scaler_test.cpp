#include "engine/Scaler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "testsupport/TestImages.h"

namespace {

TEST(Scaler, SizeLimits) {
  EXPECT_TRUE(IsAcceptableImageSize(1, 1));
  EXPECT_TRUE(IsAcceptableImageSize(16384, 4096));  // exactly 2^26 pixels
  EXPECT_FALSE(IsAcceptableImageSize(16384, 4097));
  EXPECT_FALSE(IsAcceptableImageSize(16385, 1));
  EXPECT_FALSE(IsAcceptableImageSize(1, 16385));
  EXPECT_FALSE(IsAcceptableImageSize(0, 10));
  EXPECT_FALSE(IsAcceptableImageSize(10, -1));
  EXPECT_FALSE(IsAcceptableImageSize(int64_t{1} << 40, int64_t{1} << 40));
}

TEST(Scaler, DoublingRepeatsEveryPixelTwice) {
  TBitmap src = testimages::Gradient(3, 2), dst;
  ScaleBitmap(src, 6, 4, dst);
  ASSERT_EQ(dst.Width, 6);
  ASSERT_EQ(dst.Height, 4);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) {
      EXPECT_EQ(0, std::memcmp(dst.At(x, y), src.At(x / 2, y / 2), 3)) << x << "," << y;
    }
  }
}

TEST(Scaler, HalvingKeepsTheOddColumnsAndRows) {
  TBitmap src = testimages::Gradient(8, 6), dst;
  ScaleBitmap(src, 4, 3, dst);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(0, std::memcmp(dst.At(x, y), src.At(2 * x + 1, 2 * y + 1), 3)) << x << "," << y;
    }
  }
}

TEST(Scaler, AxesScaleIndependentlyAndSameSizeIsACopy) {
  TBitmap src = testimages::Gradient(10, 3), dst;
  ScaleBitmap(src, 10, 3, dst);
  EXPECT_EQ(dst.Pixels, src.Pixels);
  // Width shrinks to 5 (odd columns), height grows to 9 (each row three times).
  ScaleBitmap(src, 5, 9, dst);
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(0, std::memcmp(dst.At(x, y), src.At(2 * x + 1, y / 3), 3));
    }
  }
  // Down to a single pixel: the centre one.
  ScaleBitmap(src, 1, 1, dst);
  EXPECT_EQ(0, std::memcmp(dst.At(0, 0), src.At(5, 1), 3));
}

// The smooth resampler: weights that sum to one, linear between pixels when
// enlarging, every source pixel counted when reducing, alpha mixed as
// browsers mix it.
TEST(Scaler, ResamplingMixesNeighboursAndKeepsFlatColour) {
  TBitmap src = testimages::Solid(7, 5, 10, 200, 30), dst;
  for (auto [w, h] : {std::pair{3, 2}, {20, 11}, {7, 5}, {1, 1}}) {
    ResampleBitmap(src, w, h, dst);
    ASSERT_EQ(dst.Width, w);
    for (size_t i = 0; i < dst.Pixels.size(); i += 3) {
      ASSERT_EQ(dst.Pixels[i], 10);
      ASSERT_EQ(dst.Pixels[i + 1], 200);
      ASSERT_EQ(dst.Pixels[i + 2], 30);
    }
  }
  // Enlarging: linear between the two pixel centres, the edges held.
  TBitmap pair = testimages::Solid(2, 1, 0, 0, 0);
  pair.At(1, 0)[0] = 255;
  ResampleBitmap(pair, 4, 1, dst);
  EXPECT_EQ((std::vector<int>{dst.At(0, 0)[0], dst.At(1, 0)[0], dst.At(2, 0)[0], dst.At(3, 0)[0]}),
            (std::vector<int>{0, 64, 191, 255}));
  // Reducing stripes one pixel wide by half gives their mean, where picking
  // pixels would give one of the two.
  TBitmap stripes = testimages::Solid(16, 2, 0, 0, 0);
  for (int x = 1; x < 16; x += 2) stripes.At(x, 0)[0] = stripes.At(x, 1)[0] = 250;
  ResampleBitmap(stripes, 8, 1, dst);
  for (int x = 1; x < 7; ++x) EXPECT_NEAR(dst.At(x, 0)[0], 125, 2) << x;
  // A transparent red pixel lends its blue neighbour no red.
  TBitmap colour = testimages::Solid(2, 1, 0, 0, 255),
          alpha = testimages::Solid(2, 1, 255, 255, 255);
  colour.At(0, 0)[0] = 255;
  colour.At(0, 0)[2] = 0;
  alpha.At(0, 0)[0] = alpha.At(0, 0)[1] = alpha.At(0, 0)[2] = 0;
  ResamplePicture(colour, alpha, 1, 1);
  EXPECT_EQ(colour.At(0, 0)[0], 0);
  EXPECT_EQ(colour.At(0, 0)[2], 255);
  EXPECT_NEAR(alpha.At(0, 0)[0], 128, 1);
}

}  // namespace
