#include "engine/ImageDecoder.h"

#include <gtest/gtest.h>
#include <png.h>
#include <webp/encode.h>
#include <webp/mux.h>
#include <zlib.h>

#include <cstring>
#include <random>

#include "engine/BmpCodec.h"
#include "engine/GifCodec.h"
#include "engine/JpegCodec.h"
#include "engine/PngCodec.h"
#include "testsupport/TestImages.h"
#include "engine/WebpCodec.h"

namespace {

// Damaged files of every kind: each decoder either refuses or yields a
// consistent picture, and never reads outside the bytes (run under a
// sanitizer to see overreads).
TEST(ImageDecoder, DamagedFilesAreRefusedOrDecodedConsistently) {
  TBitmap source = testimages::Gradient(21, 13);
  const std::pair<ImageKind, std::string> files[] = {
      {ImageKind::BMP, EncodeBmp(source)},
      {ImageKind::GIF, EncodeGif(source)},
      {ImageKind::JPEG, EncodeJpeg(source, false)},
      {ImageKind::JPEG, EncodeJpeg(source, true)},
      {ImageKind::PNG, EncodePng(ViewOf(source), TPixelView(), false, "", "")},
      {ImageKind::WebP, EncodeWebp(ViewOf(source), TPixelView(), true, "")},
      {ImageKind::WebP, EncodeWebp(ViewOf(source), TPixelView(), false, "")},
  };
  std::mt19937 random(1234);
  for (const auto& [kind, good] : files) {
    TSourceImage image;
    ASSERT_TRUE(DecodeImage(kind, good, image));
    for (int round = 0; round < 300; ++round) {
      std::string bad = good;
      const int changes = 1 + static_cast<int>(random() % 4);
      for (int i = 0; i < changes; ++i) {
        bad[random() % bad.size()] = static_cast<char>(random());
      }
      if (round % 3 == 0) bad.resize(random() % bad.size());
      if (DecodeImage(kind, bad, image)) {
        ASSERT_GE(image.Bitmap.Width, 1);
        ASSERT_EQ(image.Bitmap.Pixels.size(),
                  static_cast<size_t>(image.Bitmap.Width) * image.Bitmap.Height * 3);
      } else {
        ASSERT_TRUE(image.Bitmap.Pixels.empty());
      }
    }
  }
}

TEST(ImageDecoder, EachKindReadsOnlyItsOwnFormat) {
  TBitmap source = testimages::Gradient(8, 8);
  TSourceImage image;
  EXPECT_FALSE(DecodeImage(ImageKind::GIF, EncodeBmp(source), image));
  EXPECT_FALSE(DecodeImage(ImageKind::JPEG, EncodeGif(source), image));
  EXPECT_FALSE(DecodeImage(ImageKind::BMP, EncodeJpeg(source, false), image));
  EXPECT_FALSE(DecodeImage(ImageKind::None, EncodeBmp(source), image));
  EXPECT_TRUE(DecodeImage(ImageKind::GIF, EncodeGif(source), image));
  EXPECT_EQ(image.Bitmap.Width, 8);
  EXPECT_FALSE(DecodeImage(ImageKind::PNG, EncodeGif(source), image));
  EXPECT_FALSE(
      DecodeImage(ImageKind::WebP, EncodePng(ViewOf(source), TPixelView(), false, "", ""), image));
}

// A PNG written by libpng from raw samples, as other programs write them.
struct RawPng {
  int colorType;
  int depth;
  bool interlaced;
  bool trns;  // a tRNS chunk: palette alphas, or the transparent gray/RGB value
};

// The sample of channel c of pixel (x, y) at `depth` bits: every value of the
// range appears on a row or two.
uint32_t Sample(int x, int y, int c, int depth) {
  return static_cast<uint32_t>(x * 37 + y * 11 + c * 101) % (1u << depth);
}

uint8_t To8(uint32_t v, int depth) {
  if (depth == 16) return static_cast<uint8_t>(v >> 8);
  return static_cast<uint8_t>(v * 255 / ((1u << depth) - 1));
}

void WriteToString(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), length);
}

// Writes the file and gives the RGBA a browser shows for it.
std::string MakePng(const RawPng& f, int w, int h, std::vector<uint8_t>& rgba) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    ADD_FAILURE() << "libpng refused to write the test file";
    png_destroy_write_struct(&png, &info);
    return out;
  }
  png_set_write_fn(png, &out, WriteToString, nullptr);
  png_set_IHDR(png, info, w, h, f.depth, f.colorType,
               f.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, 0, 0);
  const int entries = f.colorType == PNG_COLOR_TYPE_PALETTE ? 1 << f.depth : 0;
  std::vector<png_color> palette(entries);
  std::vector<uint8_t> alphas(entries);
  for (int i = 0; i < entries; ++i) {
    palette[i] = {static_cast<uint8_t>(i * 3), static_cast<uint8_t>(255 - i),
                  static_cast<uint8_t>(i * 7)};
    alphas[i] = static_cast<uint8_t>(i * 50);
  }
  if (entries) png_set_PLTE(png, info, palette.data(), entries);
  png_color_16 transparent = {};
  transparent.gray = static_cast<png_uint_16>(Sample(0, 0, 0, f.depth));
  transparent.red = static_cast<png_uint_16>(Sample(0, 0, 0, f.depth));
  transparent.green = static_cast<png_uint_16>(Sample(0, 0, 1, f.depth));
  transparent.blue = static_cast<png_uint_16>(Sample(0, 0, 2, f.depth));
  if (f.trns) png_set_tRNS(png, info, alphas.data(), entries, entries ? nullptr : &transparent);
  png_write_info(png, info);
  const int channels = png_get_channels(png, info);
  const bool gray = !(f.colorType & PNG_COLOR_MASK_COLOR);
  const bool alpha = f.colorType & PNG_COLOR_MASK_ALPHA;
  if (f.depth == 16) png_set_swap(png);  // rows below are in host order
  const int passes = png_set_interlace_handling(png);
  rgba.assign(static_cast<size_t>(w) * h * 4, 0);
  std::vector<std::vector<uint8_t>> rows(h, std::vector<uint8_t>(png_get_rowbytes(png, info)));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint32_t s[4];
      for (int c = 0; c < channels; ++c) s[c] = Sample(x, y, c, f.depth);
      uint8_t* p = &rgba[(static_cast<size_t>(y) * w + x) * 4];
      if (entries) {
        p[0] = palette[s[0]].red, p[1] = palette[s[0]].green, p[2] = palette[s[0]].blue;
        p[3] = f.trns ? alphas[s[0]] : 255;
      } else if (gray) {
        p[0] = p[1] = p[2] = To8(s[0], f.depth);
        p[3] = alpha ? To8(s[1], f.depth) : (f.trns && s[0] == transparent.gray ? 0 : 255);
      } else {
        for (int c = 0; c < 3; ++c) p[c] = To8(s[c], f.depth);
        const bool clear = f.trns && s[0] == transparent.red && s[1] == transparent.green &&
                           s[2] == transparent.blue;
        p[3] = alpha ? To8(s[3], f.depth) : (clear ? 0 : 255);
      }
      for (int c = 0; c < channels; ++c) {
        if (f.depth == 16) {
          auto* wide = reinterpret_cast<uint16_t*>(rows[y].data());
          wide[x * channels + c] = static_cast<uint16_t>(s[c]);
        } else if (f.depth == 8) {
          rows[y][x * channels + c] = static_cast<uint8_t>(s[c]);
        } else {
          const int bit = x * f.depth;
          rows[y][bit / 8] |= static_cast<uint8_t>(s[c] << (8 - f.depth - bit % 8));
        }
      }
    }
  }
  for (int pass = 0; pass < passes; ++pass) {
    for (auto& row : rows) png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::vector<uint8_t> Rgba(const TSourceImage& image) {
  std::vector<uint8_t> rgba;
  for (size_t i = 0; i < image.Bitmap.Pixels.size() / 3; ++i) {
    rgba.insert(rgba.end(), &image.Bitmap.Pixels[i * 3], &image.Bitmap.Pixels[i * 3] + 3);
    rgba.push_back(image.Alpha.Pixels.empty() ? 255 : image.Alpha.Pixels[i * 3]);
  }
  return rgba;
}

TEST(ImageDecoder, EveryPngColourTypeAndDepthDecodesToItsSamples) {
  const std::pair<int, std::vector<int>> types[] = {{PNG_COLOR_TYPE_GRAY, {1, 2, 4, 8, 16}},
                                                    {PNG_COLOR_TYPE_PALETTE, {1, 2, 4, 8}},
                                                    {PNG_COLOR_TYPE_RGB, {8, 16}},
                                                    {PNG_COLOR_TYPE_GRAY_ALPHA, {8, 16}},
                                                    {PNG_COLOR_TYPE_RGB_ALPHA, {8, 16}}};
  int files = 0;
  for (const auto& [type, depths] : types) {
    for (int depth : depths) {
      for (bool interlaced : {false, true}) {
        for (bool trns : {false, true}) {
          if (trns && (type & PNG_COLOR_MASK_ALPHA)) continue;
          const RawPng f{type, depth, interlaced, trns};
          std::vector<uint8_t> expected;
          const std::string file = MakePng(f, 19, 11, expected);
          TSourceImage image;
          const std::string what = "type " + std::to_string(type) + " depth " +
                                   std::to_string(depth) + (interlaced ? " Adam7" : "") +
                                   (trns ? " tRNS" : "");
          ASSERT_TRUE(DecodeImage(ImageKind::PNG, file, image)) << what;
          EXPECT_EQ(image.Bitmap.Width, 19) << what;
          EXPECT_EQ(Rgba(image), expected) << what;
          EXPECT_EQ(image.Indexed, type == PNG_COLOR_TYPE_PALETTE) << what;
          ++files;
        }
      }
    }
  }
  EXPECT_EQ(files, 52);
}

// The chunk `type` with `body` and its CRC, as it stands in a PNG.
std::string Chunk(const std::string& type, const std::string& body) {
  std::string c;
  for (int shift : {24, 16, 8, 0}) c += static_cast<char>(body.size() >> shift);
  c += type + body;
  const uLong crc = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(c.data() + 4),
                          static_cast<uInt>(c.size() - 4));
  for (int shift : {24, 16, 8, 0}) c += static_cast<char>(crc >> shift);
  return c;
}

TEST(ImageDecoder, AnimatedAndDamagedPngsAreRefused) {
  const std::string good =
      EncodePng(ViewOf(testimages::Gradient(9, 9)), TPixelView(), false, "", "");
  TSourceImage image;
  ASSERT_TRUE(DecodeImage(ImageKind::PNG, good, image));
  EXPECT_FALSE(IsAnimatedImage(ImageKind::PNG, good));
  // acTL after IHDR (8 + 25 bytes) makes it an animated PNG.
  const std::string animated =
      good.substr(0, 33) + Chunk("acTL", std::string("\0\0\0\2\0\0\0\0", 8)) + good.substr(33);
  EXPECT_FALSE(DecodeImage(ImageKind::PNG, animated, image));
  EXPECT_TRUE(IsAnimatedImage(ImageKind::PNG, animated));
  std::string badCrc = good;
  badCrc[30] ^= 1;  // inside IHDR's CRC
  EXPECT_FALSE(DecodeImage(ImageKind::PNG, badCrc, image));
  EXPECT_FALSE(DecodeImage(ImageKind::PNG, good.substr(0, good.size() - 20), image));
  EXPECT_FALSE(IsAnimatedImage(ImageKind::PNG, badCrc));
}

// A colour profile made here, complete enough for libpng's checks: a header,
// an empty tag table and filler (libpng refuses very short profiles).
std::string TinyIccProfile() {
  std::string p(512, '\0');
  for (size_t i = 132; i < p.size(); ++i) p[i] = static_cast<char>(i * 7 % 251);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[at + i] = static_cast<char>(v >> (24 - 8 * i));
  };
  put32(0, 512);
  put32(128, 0);
  put32(8, 0x02100000);
  p.replace(12, 4, "mntr");
  p.replace(16, 4, "RGB ");
  p.replace(20, 4, "XYZ ");
  p.replace(36, 4, "acsp");
  put32(68, 0x0000F6D6);
  put32(72, 0x00010000);
  put32(76, 0x0000D32D);
  return p;
}

// Cuts `image` into a 3 x 2 grid of pieces through the piece encoder of its
// kind and pastes the decoded pieces back together.
TSourceImage Reassembled(ImageKind kind, const TSourceImage& image,
                         std::vector<std::string>& pieces) {
  const int32_t w = image.Bitmap.Width, h = image.Bitmap.Height;
  TSourceImage whole;
  whole.Bitmap.Resize(w, h);
  if (!image.Alpha.Pixels.empty()) whole.Alpha.Resize(w, h);
  const int32_t cuts[] = {0, w / 3, 2 * w / 3, w}, rows[] = {0, h / 2, h};
  for (int r = 0; r < 2; ++r) {
    for (int c = 0; c < 3; ++c) {
      const int32_t x = cuts[c], y = rows[r], pw = cuts[c + 1] - x, ph = rows[r + 1] - y;
      const TPixelView color = ViewOf(image.Bitmap, x, y, pw, ph);
      const TPixelView alpha =
          image.Alpha.Pixels.empty() ? TPixelView() : ViewOf(image.Alpha, x, y, pw, ph);
      pieces.push_back(kind == ImageKind::PNG
                           ? EncodePng(color, alpha, image.Indexed, image.IccName, image.IccProfile,
                                       image.PngColour)
                           : EncodeWebp(color, alpha, image.Lossless, image.IccProfile));
      TSourceImage piece;
      EXPECT_TRUE(DecodeImage(kind, pieces.back(), piece));
      EXPECT_EQ(piece.IccProfile, image.IccProfile);
      if (kind == ImageKind::PNG) {
        EXPECT_TRUE(piece.PngColour == image.PngColour);
      }
      for (int32_t py = 0; py < ph; ++py) {
        std::memcpy(whole.Bitmap.At(x, y + py), piece.Bitmap.Row(py), pw * 3);
        if (whole.Alpha.Pixels.empty()) continue;
        if (piece.Alpha.Pixels.empty()) {
          std::memset(whole.Alpha.At(x, y + py), 255, pw * 3);
        } else {
          std::memcpy(whole.Alpha.At(x, y + py), piece.Alpha.Row(py), pw * 3);
        }
      }
    }
  }
  return whole;
}

TEST(ImageDecoder, PngAndLosslessWebpPiecesReassembleExactly) {
  // An RGBA picture with a profile, and an indexed one with transparency.
  std::vector<uint8_t> unused;
  const std::string rgba = MakePng({PNG_COLOR_TYPE_RGB_ALPHA, 8, true, false}, 40, 21, unused);
  const std::string indexed = MakePng({PNG_COLOR_TYPE_PALETTE, 4, false, true}, 40, 21, unused);
  for (const std::string* file : {&rgba, &indexed}) {
    TSourceImage image;
    ASSERT_TRUE(DecodeImage(ImageKind::PNG, *file, image));
    // A profile on one, the chunks that describe sRGB on the other (a file
    // has one or the other): browsers convert by them, so every piece has them.
    if (file == &rgba) {
      image.IccName = "tiny";
      image.IccProfile = TinyIccProfile();
    } else {
      image.PngColour = {
          true, 45455, true, {31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000}, 0};
    }
    ASSERT_FALSE(image.Alpha.Pixels.empty());
    std::vector<std::string> pieces;
    const TSourceImage whole = Reassembled(ImageKind::PNG, image, pieces);
    EXPECT_EQ(Rgba(whole), Rgba(image));
    // Indexed sources give palette pieces (colour type 3 in IHDR).
    EXPECT_EQ(pieces[0][25], image.Indexed ? 3 : 6);

    image.Lossless = true;
    pieces.clear();
    EXPECT_EQ(Rgba(Reassembled(ImageKind::WebP, image, pieces)), Rgba(image)) << "lossless WebP";
  }
}

TEST(ImageDecoder, WebpKeepsLossyOrLosslessAndRefusesAnimations) {
  const TBitmap photo = testimages::Noisy(64, 48);
  const std::string lossy = EncodeWebp(ViewOf(photo), TPixelView(), false, "");
  const std::string lossless = EncodeWebp(ViewOf(photo), TPixelView(), true, TinyIccProfile());
  TSourceImage image;
  ASSERT_TRUE(DecodeImage(ImageKind::WebP, lossless, image));
  EXPECT_TRUE(image.Lossless);
  EXPECT_TRUE(image.Alpha.Pixels.empty());
  EXPECT_EQ(image.IccProfile, TinyIccProfile());
  EXPECT_TRUE(
      std::equal(image.Bitmap.Pixels.begin(), image.Bitmap.Pixels.end(), photo.Pixels.begin()));
  ASSERT_TRUE(DecodeImage(ImageKind::WebP, lossy, image));
  EXPECT_FALSE(image.Lossless);
  double error = 0;
  for (size_t i = 0; i < photo.Pixels.size(); ++i) {
    error += std::abs(int(photo.Pixels[i]) - int(image.Bitmap.Pixels[i]));
  }
  EXPECT_LT(error / photo.Pixels.size(), 4.0) << "quality 90 stays close";

  // Two frames make an animation.
  WebPAnimEncoderOptions options;
  ASSERT_TRUE(WebPAnimEncoderOptionsInit(&options));
  WebPAnimEncoder* encoder = WebPAnimEncoderNew(16, 16, &options);
  WebPConfig config;
  ASSERT_TRUE(WebPConfigInit(&config));
  for (int frame = 0; frame < 2; ++frame) {
    WebPPicture picture;
    ASSERT_TRUE(WebPPictureInit(&picture));
    picture.width = picture.height = 16;
    picture.use_argb = 1;
    ASSERT_TRUE(WebPPictureAlloc(&picture));
    for (int i = 0; i < 256; ++i) picture.argb[i] = frame ? 0xFF00FF00u : 0xFFFF0000u;
    ASSERT_TRUE(WebPAnimEncoderAdd(encoder, &picture, frame * 100, &config));
    WebPPictureFree(&picture);
  }
  WebPAnimEncoderAdd(encoder, nullptr, 200, nullptr);
  WebPData animation = {nullptr, 0};
  ASSERT_TRUE(WebPAnimEncoderAssemble(encoder, &animation));
  WebPAnimEncoderDelete(encoder);
  const std::string animated(reinterpret_cast<const char*>(animation.bytes), animation.size);
  WebPDataClear(&animation);
  EXPECT_FALSE(DecodeImage(ImageKind::WebP, animated, image));
  EXPECT_TRUE(IsAnimatedImage(ImageKind::WebP, animated));
  EXPECT_FALSE(IsAnimatedImage(ImageKind::WebP, lossy));
}

}  // namespace
