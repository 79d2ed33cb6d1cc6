#include "engine/GifCodec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/OctreeQuantizer.h"
#include "testsupport/SampleImages.h"
#include "testsupport/TestImages.h"

namespace {

std::string EncodeGifWithKey(const TBitmap& b, const TTransparentKey& key) {
  TGifEncoder encoder;
  return std::string(encoder.Encode(ViewOf(b), key));
}

using Frame = samples::GifFrame;

// A GIF file of a global palette, then `frames`.
std::string MakeGif(int screenW, int screenH, const std::vector<TPaletteColor>& palette,
                    const std::vector<Frame>& frames) {
  samples::GifSpec spec;
  spec.ScreenWidth = screenW;
  spec.ScreenHeight = screenH;
  for (const TPaletteColor& c : palette) spec.GlobalPalette.push_back({c.R, c.G, c.B});
  spec.Frames = frames;
  return samples::BuildGif(spec);
}

const std::vector<TPaletteColor> kFour = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}};

Frame Full(int w, int h) {
  Frame f;
  f.Width = w;
  f.Height = h;
  for (int i = 0; i < w * h; ++i) f.Indices.push_back(static_cast<uint8_t>((i * 7 / 3) % 4));
  return f;
}

void ExpectPixel(const TBitmap& b, int x, int y, TPaletteColor c) {
  const uint8_t* p = b.At(x, y);
  EXPECT_EQ(TPaletteColor({p[0], p[1], p[2]}), c) << x << "," << y;
}

TEST(GifCodec, DecodesOneFrameWithItsPalette) {
  Frame f = Full(5, 3);
  TBitmap b;
  ASSERT_TRUE(DecodeGif(MakeGif(5, 3, kFour, {f}), b));
  ASSERT_EQ(b.Width, 5);
  ASSERT_EQ(b.Height, 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) ExpectPixel(b, x, y, kFour[f.Indices[y * 5 + x]]);
  }
}

TEST(GifCodec, InterlacedRowsLandWhereTheyBelong) {
  Frame plain = Full(3, 11), interlaced = plain;
  interlaced.Interlaced = true;
  TBitmap a, b;
  ASSERT_TRUE(DecodeGif(MakeGif(3, 11, kFour, {plain}), a));
  ASSERT_TRUE(DecodeGif(MakeGif(3, 11, kFour, {interlaced}), b));
  EXPECT_EQ(a.Pixels, b.Pixels);
}

TEST(GifCodec, TransparencyAndUncoveredScreenBecomeWhite) {
  Frame f;
  f.Left = 1;
  f.Top = 1;
  f.Width = 2;
  f.Height = 1;
  f.Indices = {0, 3};
  f.Transparent = 3;
  TBitmap b;
  ASSERT_TRUE(DecodeGif(MakeGif(4, 3, kFour, {f}), b));
  ASSERT_EQ(b.Width, 4);
  ExpectPixel(b, 1, 1, kFour[0]);
  ExpectPixel(b, 2, 1, {255, 255, 255});  // transparent
  ExpectPixel(b, 0, 0, {255, 255, 255});  // outside the frame
  ExpectPixel(b, 3, 2, {255, 255, 255});
}

TEST(GifCodec, AnimationsAndFramesOutsideTheScreenAreRefused) {
  TBitmap b;
  EXPECT_FALSE(DecodeGif(MakeGif(4, 4, kFour, {Full(4, 4), Full(4, 4)}), b));
  Frame outside = Full(3, 3);
  outside.Left = 2;
  EXPECT_FALSE(DecodeGif(MakeGif(4, 4, kFour, {outside}), b));
  EXPECT_FALSE(DecodeGif(MakeGif(4, 4, kFour, {}), b));  // no image at all
}

TEST(GifCodec, TruncatedDataIsRefusedButAMissingTrailerIsNot) {
  std::string file = MakeGif(8, 8, kFour, {Full(8, 8)});
  TBitmap b;
  ASSERT_TRUE(DecodeGif(file, b));
  ASSERT_EQ(file.back(), ';');
  EXPECT_TRUE(DecodeGif(std::string_view(file.data(), file.size() - 1), b));
  for (size_t n = 0; n + 2 < file.size(); ++n) {
    EXPECT_FALSE(DecodeGif(std::string_view(file.data(), n), b)) << n;
  }
  EXPECT_FALSE(DecodeGif("GIF89a", b));
  EXPECT_FALSE(DecodeGif("not a gif", b));
}

TEST(GifCodec, ColourIndexOutsideThePaletteIsRefused) {
  // Hand-made: a 2 x 1 screen with a two-colour palette and LZW codes of 3
  // bits (minimum code size 2): clear, `first`, 0, end.
  auto file = [](int first) {
    std::string s = "GIF89a";
    s += std::string("\x02\x00\x01\x00\x80\x00\x00", 7);  // screen, 2-entry palette
    s += std::string("\xFF\x00\x00\x00\x00\xFF", 6);
    s += std::string("\x2C\x00\x00\x00\x00\x02\x00\x01\x00\x00", 10);  // image
    unsigned codes = 4 | (first << 3) | (0 << 6) | (5 << 9);
    s += '\x02';  // minimum code size
    s += '\x02';  // one block of two bytes
    s += static_cast<char>(codes & 0xFF);
    s += static_cast<char>(codes >> 8);
    s += std::string("\x00\x3B", 2);
    return s;
  };
  TBitmap b;
  ASSERT_TRUE(DecodeGif(file(1), b));
  ExpectPixel(b, 0, 0, {0, 0, 255});
  ExpectPixel(b, 1, 0, {255, 0, 0});
  EXPECT_FALSE(DecodeGif(file(3), b));
}

TEST(GifCodec, PiecesWithFewColoursComeBackExactly) {
  // 256 distinct colours, many of them one level apart: the reduction's
  // mapping cache would merge those.
  TBitmap source = testimages::Gradient(16, 16);
  std::string file = EncodeGif(source);
  TBitmap decoded;
  ASSERT_TRUE(DecodeGif(file, decoded));
  EXPECT_EQ(decoded.Pixels, source.Pixels);
  // No graphic control extension: nothing is transparent.
  EXPECT_EQ(file.find("\x21\xF9"), std::string::npos);
}

TEST(GifCodec, PaletteIsPaddedToAPowerOfTwo) {
  TBitmap three = testimages::Solid(3, 1, 9, 9, 9);
  three.At(1, 0)[0] = 100;
  three.At(2, 0)[1] = 200;
  std::string file = EncodeGif(three);
  // Packed screen byte: global table present, 2^(n+1) entries with n = 1.
  EXPECT_EQ(static_cast<uint8_t>(file[10]) & 0x87, 0x81);
  // A one-colour piece still gets a table of two.
  std::string one = EncodeGif(testimages::Solid(2, 2, 1, 2, 3));
  EXPECT_EQ(static_cast<uint8_t>(one[10]) & 0x87, 0x80);
  TBitmap decoded;
  ASSERT_TRUE(DecodeGif(one, decoded));
  EXPECT_EQ(decoded.Pixels, testimages::Solid(2, 2, 1, 2, 3).Pixels);
}

TEST(GifCodec, ManyColoursAreReducedToTheirNearPaletteEntries) {
  TBitmap source = testimages::Gradient(64, 64);  // over 256 colours
  TBitmap decoded;
  ASSERT_TRUE(DecodeGif(EncodeGif(source), decoded));
  std::vector<TPaletteColor> palette;
  std::vector<uint8_t> indices;
  QuantizeBitmap(source, palette, indices);
  EXPECT_LE(palette.size(), 256u);
  for (size_t i = 0; i < indices.size(); ++i) {
    const TPaletteColor& c = palette[indices[i]];
    ASSERT_EQ(decoded.Pixels[i * 3], c.R);
    ASSERT_EQ(decoded.Pixels[i * 3 + 1], c.G);
    ASSERT_EQ(decoded.Pixels[i * 3 + 2], c.B);
  }
}

// Transparent pixels come out of the decoder in a colour of their own and go
// back into a piece as transparent, with their own palette entry.
TEST(GifCodec, TransparencyIsKeptThroughTheKeyColour) {
  Frame f = Full(4, 3);
  f.Indices[5] = 1;
  f.Transparent = 1;
  const std::string file = MakeGif(4, 3, kFour, {f});
  TBitmap decoded;
  TTransparentKey key;
  ASSERT_TRUE(DecodeGif(file, decoded, &key));
  ASSERT_TRUE(key.Used);
  for (const TPaletteColor& c : kFour) EXPECT_FALSE(c == (TPaletteColor{key.Rgb[0], key.Rgb[1], key.Rgb[2]}));
  const std::string piece = EncodeGifWithKey(decoded, key);
  TBitmap again;
  TTransparentKey keyAgain;
  ASSERT_TRUE(DecodeGif(piece, again, &keyAgain));
  ASSERT_TRUE(keyAgain.Used);
  for (int i = 0; i < 12; ++i) {
    const bool clear = f.Indices[i] == 1;
    const uint8_t* p = &again.Pixels[i * 3];
    EXPECT_EQ(clear, p[0] == keyAgain.Rgb[0] && p[1] == keyAgain.Rgb[1] && p[2] == keyAgain.Rgb[2]) << i;
    if (!clear) {
      EXPECT_EQ(0, std::memcmp(p, &decoded.Pixels[i * 3], 3)) << i;
    }
  }
  // Without a key the transparent pixels are white, as before.
  ASSERT_TRUE(DecodeGif(file, decoded));
  EXPECT_EQ(decoded.Pixels[5 * 3], 255);
}

}  // namespace
