#include "engine/Scaler.h"

#include <gtest/gtest.h>

#include <cstring>

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

}  // namespace
