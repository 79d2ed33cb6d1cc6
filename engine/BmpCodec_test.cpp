#include "engine/BmpCodec.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "engine/ImageDecoder.h"
#include "testsupport/SampleImages.h"
#include "testsupport/TestImages.h"

namespace {

using Rgb = samples::Rgb;

void Put16(std::string& s, uint16_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>(v >> 8));
}

// A bitmap through the sample writer: `palette` (its size written as the
// colours used) and bit-field `masks` after an info header of `headerSize`
// bytes (40, or inside one of 108 or 124), then `pixels`.
std::string Bmp(int32_t w, int32_t h, uint16_t bits, uint32_t compression, std::string pixels,
                std::vector<Rgb> palette = {}, std::vector<uint32_t> masks = {},
                uint32_t headerSize = 40) {
  samples::BmpSpec spec;
  spec.Width = w;
  spec.Height = h;
  spec.BitCount = bits;
  spec.Compression = compression;
  spec.HeaderSize = headerSize;
  spec.ColorsUsed = static_cast<uint32_t>(palette.size());
  spec.Palette = std::move(palette);
  spec.Masks = std::move(masks);
  spec.PixelData = std::move(pixels);
  return samples::BuildBmp(spec);
}

std::array<uint8_t, 3> PixelAt(const TBitmap& b, int x, int y) {
  const uint8_t* p = b.At(x, y);
  return {p[0], p[1], p[2]};
}

TEST(BmpCodec, EncodeThenDecodeGivesTheSamePixelsForOddWidths) {
  for (int w : {1, 2, 3, 5, 17}) {
    TBitmap source = testimages::Gradient(w, 7);
    std::string file = EncodeBmp(source);
    size_t stride = (w * 3 + 3) / 4 * 4;
    EXPECT_EQ(file.size(), 54 + stride * 7);
    TBitmap decoded;
    ASSERT_TRUE(DecodeBmp(file, decoded)) << w;
    EXPECT_EQ(decoded.Width, w);
    EXPECT_EQ(decoded.Height, 7);
    EXPECT_EQ(decoded.Pixels, source.Pixels) << w;
  }
}

TEST(BmpCodec, WritesBottomUpBgrRows) {
  TBitmap b = testimages::Solid(1, 2, 0, 0, 0);
  b.At(0, 0)[0] = 0x11;  // top pixel red
  b.At(0, 1)[2] = 0x22;  // bottom pixel blue
  std::string file = EncodeBmp(b);
  // First stored row is the bottom one, as B, G, R.
  EXPECT_EQ(static_cast<uint8_t>(file[54]), 0x22);
  EXPECT_EQ(static_cast<uint8_t>(file[58 + 2]), 0x11);
}

TEST(BmpCodec, ReadsPalettedDepthsTopDownAndBottomUp) {
  const std::vector<Rgb> pal = {{10, 20, 30}, {200, 100, 50}};
  // 1 bit, 3 x 2, bottom-up: bottom row 1,0,1 ; top row 0,1,1.
  std::string px;
  px += std::string("\xA0\0\0\0", 4);
  px += std::string("\x60\0\0\0", 4);
  TBitmap b;
  ASSERT_TRUE(DecodeBmp(Bmp(3, 2, 1, 0, px, pal), b));
  EXPECT_EQ(PixelAt(b, 0, 1), (Rgb{200, 100, 50}));
  EXPECT_EQ(PixelAt(b, 1, 1), (Rgb{10, 20, 30}));
  EXPECT_EQ(PixelAt(b, 0, 0), (Rgb{10, 20, 30}));
  EXPECT_EQ(PixelAt(b, 2, 0), (Rgb{200, 100, 50}));
  // The same rows top-down (negative height) come out swapped.
  ASSERT_TRUE(DecodeBmp(Bmp(3, -2, 1, 0, px, pal), b));
  EXPECT_EQ(PixelAt(b, 0, 0), (Rgb{200, 100, 50}));
  EXPECT_EQ(PixelAt(b, 0, 1), (Rgb{10, 20, 30}));

  // 4 bits: indices 1, 0, then an index past the two listed colours (black).
  std::string px4("\x10\x70\0\0", 4);
  ASSERT_TRUE(DecodeBmp(Bmp(3, 1, 4, 0, px4, pal), b));
  EXPECT_EQ(PixelAt(b, 0, 0), (Rgb{200, 100, 50}));
  EXPECT_EQ(PixelAt(b, 1, 0), (Rgb{10, 20, 30}));
  EXPECT_EQ(PixelAt(b, 2, 0), (Rgb{0, 0, 0}));

  // 8 bits.
  std::string px8("\x01\x00\x01\0", 4);
  ASSERT_TRUE(DecodeBmp(Bmp(3, 1, 8, 0, px8, pal), b));
  EXPECT_EQ(PixelAt(b, 0, 0), (Rgb{200, 100, 50}));
  EXPECT_EQ(PixelAt(b, 1, 0), (Rgb{10, 20, 30}));
}

TEST(BmpCodec, ReadsSixteenAndThirtyTwoBitsWithAndWithoutBitFields) {
  TBitmap b;
  // 16 bits, plain: 5-5-5. Full red, full blue.
  std::string px16;
  Put16(px16, 0x7C00);
  Put16(px16, 0x001F);
  ASSERT_TRUE(DecodeBmp(Bmp(2, 1, 16, 0, px16), b));
  EXPECT_EQ(PixelAt(b, 0, 0), (Rgb{255, 0, 0}));
  EXPECT_EQ(PixelAt(b, 1, 0), (Rgb{0, 0, 255}));

  // 16 bits, 5-6-5 bit fields after a plain info header: half green.
  std::string px565;
  Put16(px565, 0x0400);  // green 32 of 63
  Put16(px565, 0xFFFF);
  ASSERT_TRUE(DecodeBmp(Bmp(2, 1, 16, 3, px565, {}, {0xF800, 0x07E0, 0x001F}), b));
  EXPECT_EQ(PixelAt(b, 0, 0), (Rgb{0, 130, 0}));
  EXPECT_EQ(PixelAt(b, 1, 0), (Rgb{255, 255, 255}));

  // 32 bits, plain: B, G, R, unused.
  std::string px32("\x03\x02\x01\xFF", 4);
  ASSERT_TRUE(DecodeBmp(Bmp(1, 1, 32, 0, px32), b));
  EXPECT_EQ(PixelAt(b, 0, 0), (Rgb{1, 2, 3}));

  // 32 bits, bit fields inside a version-5 header: R in the low byte.
  ASSERT_TRUE(DecodeBmp(
      Bmp(1, 1, 32, 3, std::string("\x0A\x0B\x0C\x00", 4), {}, {0x0000FF, 0x00FF00, 0xFF0000}, 124),
      b));
  EXPECT_EQ(PixelAt(b, 0, 0), (Rgb{0x0A, 0x0B, 0x0C}));
}

// Browsers show a bit-field file's alpha when it names an alpha mask, and
// only then; pieces keep it in a 32-bit file that they read the same way.
TEST(BmpCodec, AlphaIsReadWhereBrowsersShowItAndWrittenIntoPieces) {
  TBitmap b, a;
  const std::string half("\x03\x02\x01\x80", 4);  // B G R, then alpha 128
  const std::vector<uint32_t> rgba = {0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000};
  const struct {
    std::string file;
    int alpha;  // -1: none read
  } cases[] = {
      {Bmp(1, 1, 32, 3, half, {}, rgba, 108), 128},
      {Bmp(1, 1, 32, 3, half, {}, rgba, 124), 128},
      {Bmp(1, 1, 32, 6, half, {}, rgba), 128},
      {Bmp(1, 1, 32, 3, std::string("\x03\x02\x01\x00", 4), {}, rgba, 108), 0},
      {Bmp(1, 1, 32, 3, std::string("\x03\x02\x01\xFF", 4), {}, rgba, 108), -1},  // opaque
      {Bmp(1, 1, 32, 0, half), -1},                                               // no mask
      {Bmp(1, 1, 32, 3, half, {}, {0xFF0000, 0x00FF00, 0x0000FF}), -1},           // three masks
      {Bmp(1, 1, 32, 3, half, {}, {0xFF0000, 0x00FF00, 0x0000FF, 0x0F00000F}, 108), -1},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    ASSERT_TRUE(DecodeBmp(cases[i].file, b, &a)) << i;
    EXPECT_EQ(PixelAt(b, 0, 0), (Rgb{1, 2, 3})) << i;
    if (cases[i].alpha < 0) {
      EXPECT_TRUE(a.Pixels.empty()) << i;
    } else {
      ASSERT_FALSE(a.Pixels.empty()) << i;
      EXPECT_EQ(a.At(0, 0)[0], cases[i].alpha) << i;
    }
  }
  // A piece with alpha, written and read back.
  const TBitmap source = testimages::Gradient(5, 3);
  TBitmap alpha = testimages::Gradient(5, 3);
  for (size_t i = 0; i < alpha.Pixels.size(); i += 3) {
    alpha.Pixels[i + 1] = alpha.Pixels[i + 2] = alpha.Pixels[i];
  }
  std::string file;
  EncodeBmp(ViewOf(source), ViewOf(alpha), file);
  ASSERT_TRUE(DecodeBmp(file, b, &a));
  EXPECT_EQ(b.Pixels, source.Pixels);
  EXPECT_EQ(a.Pixels, alpha.Pixels);
}

TEST(BmpCodec, PlainLayoutsReadTheSameAsThroughChannelMasks) {
  // 24-bit rows (padded), 32-bit rows and 32-bit bit fields with the usual
  // masks are only reordered; masks in another place take the general
  // path. All must give the same picture, either row order.
  const TBitmap source = testimages::Gradient(7, 5);
  auto rows = [&](int bytes, bool topDown, int shift) {
    std::string px;
    for (int i = 0; i < source.Height; ++i) {
      const int y = topDown ? i : source.Height - 1 - i;
      size_t written = 0;
      for (int x = 0; x < source.Width; ++x) {
        const uint8_t* p = source.At(x, y);
        const uint32_t v = (uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2]) << shift;
        for (int k = 0; k < bytes; ++k) px.push_back(static_cast<char>(v >> (8 * k)));
        written += bytes;
      }
      for (; written % 4 != 0; ++written) px.push_back('\0');
    }
    return px;
  };
  auto masks = [](int shift) {
    return std::vector<uint32_t>{0xFF0000u << shift, 0x00FF00u << shift, 0x0000FFu << shift};
  };
  const std::string files[] = {
      Bmp(7, 5, 24, 0, rows(3, false, 0)),
      Bmp(7, -5, 24, 0, rows(3, true, 0)),
      Bmp(7, 5, 32, 0, rows(4, false, 0)),
      Bmp(7, 5, 32, 3, rows(4, false, 0), {}, masks(0)),
      Bmp(7, -5, 32, 3, rows(4, true, 8), {}, masks(8)),
  };
  for (size_t i = 0; i < std::size(files); ++i) {
    TBitmap b;
    ASSERT_TRUE(DecodeBmp(files[i], b)) << i;
    EXPECT_EQ(b.Width, 7);
    EXPECT_EQ(b.Height, 5);
    EXPECT_EQ(b.Pixels, source.Pixels) << i;
  }
}

TEST(BmpCodec, ReadsRunLengthEncodedData) {
  const std::vector<Rgb> pal = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}};
  TBitmap b;
  // RLE8, 4 x 2: bottom row "run of 3 x index 1, absolute 1 pixel index 2"; end
  // of line; top row: delta (1, 0) then run of 2 x index 2; end of bitmap.
  std::string rle8("\x03\x01\x00\x03\x02\x02\x02\x00\x00\x00\x00\x02\x01\x00\x02\x02\x00\x01", 18);
  // The absolute run of 3 is padded to an even count: indices 2, 2, 2, pad.
  // 3 + 3 > 4 pixels: the two past the width are dropped, as other readers
  // drop them.
  ASSERT_TRUE(DecodeBmp(Bmp(4, 2, 8, 1, rle8, pal), b));
  EXPECT_EQ(PixelAt(b, 3, 1), (Rgb{0, 255, 0}));
  EXPECT_EQ(PixelAt(b, 0, 0), (Rgb{0, 0, 0}));
  EXPECT_EQ(PixelAt(b, 1, 0), (Rgb{0, 255, 0}));
  std::string ok8("\x03\x01\x00\x00\x00\x02\x01\x00\x02\x02\x00\x01", 12);
  ASSERT_TRUE(DecodeBmp(Bmp(4, 2, 8, 1, ok8, pal), b));
  EXPECT_EQ(PixelAt(b, 0, 1), (Rgb{255, 0, 0}));
  EXPECT_EQ(PixelAt(b, 2, 1), (Rgb{255, 0, 0}));
  EXPECT_EQ(PixelAt(b, 3, 1), (Rgb{0, 0, 0}));  // never reached: colour 0
  EXPECT_EQ(PixelAt(b, 0, 0), (Rgb{0, 0, 0}));  // skipped by the delta
  EXPECT_EQ(PixelAt(b, 1, 0), (Rgb{0, 255, 0}));
  EXPECT_EQ(PixelAt(b, 2, 0), (Rgb{0, 255, 0}));

  // RLE4, 6 x 1: run of 3 alternating 1,2,1 ; absolute 3 pixels 2,1,2 ; end.
  std::string rle4("\x03\x12\x00\x03\x21\x20\x00\x01", 8);
  ASSERT_TRUE(DecodeBmp(Bmp(6, 1, 4, 2, rle4, pal), b));
  EXPECT_EQ(PixelAt(b, 0, 0), (Rgb{255, 0, 0}));
  EXPECT_EQ(PixelAt(b, 1, 0), (Rgb{0, 255, 0}));
  EXPECT_EQ(PixelAt(b, 2, 0), (Rgb{255, 0, 0}));
  EXPECT_EQ(PixelAt(b, 3, 0), (Rgb{0, 255, 0}));
  EXPECT_EQ(PixelAt(b, 4, 0), (Rgb{255, 0, 0}));
  EXPECT_EQ(PixelAt(b, 5, 0), (Rgb{0, 255, 0}));
}

TEST(BmpCodec, RefusesMalformedFilesWithoutReadingPastThem) {
  TBitmap source = testimages::Gradient(9, 5);
  std::string good = EncodeBmp(source);
  TBitmap b;
  ASSERT_TRUE(DecodeBmp(good, b));
  // Every truncation is refused (and, under a sanitizer, never overreads).
  for (size_t n = 0; n < good.size(); ++n) {
    EXPECT_FALSE(DecodeBmp(std::string_view(good.data(), n), b)) << n;
  }
  auto with = [&](size_t at, uint32_t v, int bytes) {
    std::string s = good;
    for (int i = 0; i < bytes; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
    return s;
  };
  EXPECT_FALSE(DecodeBmp(with(0, 'X', 1), b));          // signature
  EXPECT_FALSE(DecodeBmp(with(10, 0xFFFFFFF0, 4), b));  // pixel offset past the end
  EXPECT_FALSE(DecodeBmp(with(14, 0xFFFF, 4), b));      // header size
  EXPECT_FALSE(DecodeBmp(with(18, 0, 4), b));           // width 0
  EXPECT_FALSE(DecodeBmp(with(18, 0x80000000, 4), b));  // negative width
  EXPECT_FALSE(DecodeBmp(with(22, 0x80000000, 4), b));  // height -2^31
  EXPECT_FALSE(DecodeBmp(with(26, 2, 2), b));           // planes
  EXPECT_FALSE(DecodeBmp(with(28, 7, 2), b));           // bit count
  EXPECT_FALSE(DecodeBmp(with(30, 4, 4), b));           // embedded JPEG
  EXPECT_FALSE(DecodeBmp(with(30, 1, 4), b));           // RLE8 needs 8 bits
  // A picture whose data is absent but whose header claims a huge size.
  EXPECT_FALSE(DecodeBmp(with(18, 20000, 4), b));  // wider than 16384
  EXPECT_FALSE(DecodeBmp(with(18, 9000, 4), b));   // data too short
  // Run-length data that runs off the picture or off the file.
  const std::vector<Rgb> pal = {{1, 1, 1}};
  EXPECT_FALSE(DecodeBmp(Bmp(2, 1, 8, 1, std::string("\x05\x00", 2), pal), b));
  EXPECT_FALSE(DecodeBmp(Bmp(2, 1, 8, 1, std::string("\x00\x04\x00", 3), pal), b));
  EXPECT_FALSE(DecodeBmp(Bmp(2, 2, 8, 1, std::string("\x00\x02\x05\x05", 4), pal), b));
  // Bit-field masks that are not one run of bits.
  EXPECT_FALSE(DecodeBmp(Bmp(1, 1, 16, 3, std::string(4, '\0'), {}, {0xF0F0, 0x0F00, 0x000F}), b));
}

TEST(BmpCodec, SizeLimitsRefusePicturesTooLargeToHold) {
  TBitmap b;
  // 16384 x 4097 is over 2^26 pixels although each side is allowed.
  EXPECT_FALSE(DecodeBmp(Bmp(16384, 4097, 24, 0, ""), b));
  EXPECT_FALSE(DecodeBmp(Bmp(16385, 1, 24, 0, std::string(49156, '\0')), b));
  EXPECT_TRUE(DecodeBmp(Bmp(16384, 1, 24, 0, std::string(49152, '\0')), b));
}

TEST(BmpCodec, DecodeImageDispatchesAndClearsOnRefusal) {
  TSourceImage image;
  ASSERT_TRUE(DecodeImage(ImageKind::BMP, EncodeBmp(testimages::Gradient(4, 4)), image));
  EXPECT_EQ(image.Bitmap.Width, 4);
  EXPECT_FALSE(image.Progressive);
  EXPECT_FALSE(DecodeImage(ImageKind::BMP, "BM", image));
  EXPECT_EQ(image.Bitmap.Width, 0);
  EXPECT_TRUE(image.Bitmap.Pixels.empty());
  EXPECT_FALSE(DecodeImage(ImageKind::None, "BM", image));
}

}  // namespace
