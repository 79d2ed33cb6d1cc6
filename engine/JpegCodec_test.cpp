#include "engine/JpegCodec.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "testsupport/TestImages.h"
#include "platform/Exception.h"

namespace {

// Largest difference of any channel between two pictures of one size.
int MaxDifference(const TBitmap& a, const TBitmap& b) {
  int worst = 0;
  for (size_t i = 0; i < a.Pixels.size(); ++i) {
    worst = std::max(worst, std::abs(int{a.Pixels[i]} - int{b.Pixels[i]}));
  }
  return worst;
}

// Encodes `components` bytes per pixel in `space` with plain libjpeg, for
// sources our own encoder never makes.
std::string EncodeRaw(int w, int h, int components, J_COLOR_SPACE space,
                      const std::vector<uint8_t>& pixels) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = w;
  cinfo.image_height = h;
  cinfo.input_components = components;
  cinfo.in_color_space = space;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(pixels.data()) + cinfo.next_scanline * w * components;
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string out(reinterpret_cast<char*>(buffer), size);
  std::free(buffer);
  return out;
}

// Offset of the first marker 0xFF `code` in a JPEG file, or npos.
size_t FindMarker(const std::string& file, uint8_t code) {
  for (size_t i = 0; i + 1 < file.size(); ++i) {
    if (static_cast<uint8_t>(file[i]) == 0xFF && static_cast<uint8_t>(file[i + 1]) == code) {
      return i;
    }
  }
  return std::string::npos;
}

TEST(JpegCodec, RoundTripStaysWithinJpegTolerance) {
  TBitmap source = testimages::Smooth(37, 23);  // sizes that are not multiples of 8 or 16
  std::string file = EncodeJpeg(source, false);
  TBitmap decoded;
  bool progressive = true;
  ASSERT_TRUE(DecodeJpeg(file, decoded, progressive));
  EXPECT_FALSE(progressive);
  ASSERT_EQ(decoded.Width, 37);
  ASSERT_EQ(decoded.Height, 23);
  EXPECT_LE(MaxDifference(source, decoded), 12);
}

TEST(JpegCodec, PiecesAreBaselineOrProgressiveAtQualityNinety) {
  TBitmap source = testimages::Smooth(40, 40);
  std::string baseline = EncodeJpeg(source, false);
  std::string progressive = EncodeJpeg(source, true);
  EXPECT_NE(FindMarker(baseline, 0xC0), std::string::npos);  // baseline frame
  EXPECT_EQ(FindMarker(baseline, 0xC2), std::string::npos);
  EXPECT_NE(FindMarker(progressive, 0xC2), std::string::npos);  // progressive frame
  TBitmap decoded;
  bool multiScan = false;
  ASSERT_TRUE(DecodeJpeg(progressive, decoded, multiScan));
  EXPECT_TRUE(multiScan);
  EXPECT_LE(MaxDifference(source, decoded), 12);

  // Quality 90 scales the standard tables by 20%: the luminance table starts
  // 16 -> 3 and 11 -> 2 (quality 75 would give 8 and 6).
  size_t dqt = FindMarker(baseline, 0xDB);
  ASSERT_NE(dqt, std::string::npos);
  EXPECT_EQ(static_cast<uint8_t>(baseline[dqt + 5]), 3);
  EXPECT_EQ(static_cast<uint8_t>(baseline[dqt + 6]), 2);
}

TEST(JpegCodec, GreyscaleSourcesBecomeGreyColour) {
  std::vector<uint8_t> grey(16 * 8);
  for (size_t i = 0; i < grey.size(); ++i) grey[i] = static_cast<uint8_t>(i * 2);
  TBitmap decoded;
  bool progressive;
  ASSERT_TRUE(DecodeJpeg(EncodeRaw(16, 8, 1, JCS_GRAYSCALE, grey), decoded, progressive));
  ASSERT_EQ(decoded.Width, 16);
  for (size_t i = 0; i < grey.size(); ++i) {
    EXPECT_EQ(decoded.Pixels[i * 3], decoded.Pixels[i * 3 + 1]);
    EXPECT_EQ(decoded.Pixels[i * 3], decoded.Pixels[i * 3 + 2]);
    EXPECT_NEAR(decoded.Pixels[i * 3], grey[i], 6);
  }
}

TEST(JpegCodec, CmykSourcesAreConvertedToRgb) {
  // Adobe-inverted CMYK (255 = no ink): pure cyan ink, then half black.
  std::vector<uint8_t> cmyk;
  for (int i = 0; i < 64; ++i) cmyk.insert(cmyk.end(), {0, 255, 255, 255});
  for (int i = 0; i < 64; ++i) cmyk.insert(cmyk.end(), {255, 255, 255, 128});
  TBitmap decoded;
  bool progressive;
  ASSERT_TRUE(DecodeJpeg(EncodeRaw(8, 16, 4, JCS_CMYK, cmyk), decoded, progressive));
  const uint8_t* cyan = decoded.At(3, 3);
  EXPECT_NEAR(cyan[0], 0, 6);
  EXPECT_NEAR(cyan[1], 255, 6);
  EXPECT_NEAR(cyan[2], 255, 6);
  const uint8_t* grey = decoded.At(3, 12);
  EXPECT_NEAR(grey[0], 128, 6);
  EXPECT_NEAR(grey[1], 128, 6);
  EXPECT_NEAR(grey[2], 128, 6);
}

TEST(JpegCodec, TruncatedCorruptAndOversizedFilesAreRefused) {
  std::string file = EncodeJpeg(testimages::Gradient(64, 64), true);
  TBitmap decoded;
  bool progressive;
  ASSERT_TRUE(DecodeJpeg(file, decoded, progressive));
  for (size_t n : {size_t{0}, size_t{2}, size_t{100}, file.size() / 2, file.size() - 2}) {
    EXPECT_FALSE(DecodeJpeg(std::string_view(file.data(), n), decoded, progressive)) << n;
  }
  EXPECT_FALSE(DecodeJpeg("not a jpeg at all", decoded, progressive));

  std::string baseline = EncodeJpeg(testimages::Gradient(16, 16), false);
  size_t sof = FindMarker(baseline, 0xC0);
  ASSERT_NE(sof, std::string::npos);
  // Height (at +5) 0: libjpeg's own error, caught.
  std::string empty = baseline;
  empty[sof + 5] = 0;
  empty[sof + 6] = 0;
  EXPECT_FALSE(DecodeJpeg(empty, decoded, progressive));
  // 20000 x 16 claims more than a side may hold.
  std::string huge = baseline;
  huge[sof + 5] = static_cast<char>(20000 >> 8);
  huge[sof + 6] = static_cast<char>(20000 & 0xFF);
  EXPECT_FALSE(DecodeJpeg(huge, decoded, progressive));
  // A damaged entropy-coded segment: a restart marker where none belongs.
  std::string damaged = baseline;
  size_t sos = FindMarker(damaged, 0xDA);
  ASSERT_NE(sos, std::string::npos);
  damaged[sos + 20] = static_cast<char>(0xFF);
  damaged[sos + 21] = static_cast<char>(0xD3);
  EXPECT_FALSE(DecodeJpeg(damaged, decoded, progressive));
}

// Encodes `bitmap` with plain libjpeg, the luminance sampled `h` x `v`
// times as densely as the colour, progressive or not.
std::string EncodeSampled(const TBitmap& bitmap, int h, int v, bool progressive) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = bitmap.Width;
  cinfo.image_height = bitmap.Height;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  cinfo.comp_info[0].h_samp_factor = h;
  cinfo.comp_info[0].v_samp_factor = v;
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(bitmap.Row(static_cast<int32_t>(cinfo.next_scanline)));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string out(reinterpret_cast<char*>(buffer), size);
  std::free(buffer);
  return out;
}

// Decodes with plain libjpeg into RGB, one row per call.
std::vector<uint8_t> DecodeRowByRow(const std::string& file) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(file.data()), file.size());
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  std::vector<uint8_t> pixels(static_cast<size_t>(cinfo.output_width) * cinfo.output_height * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = pixels.data() + static_cast<size_t>(cinfo.output_scanline) * cinfo.output_width * 3;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return pixels;
}

TEST(JpegCodec, DecodingStraightIntoThePictureGivesLibjpegsOwnPixels) {
  // Rows are read in batches straight into the picture; every sampling and
  // both scan modes, on sizes that are no multiple of a block, must give the
  // pixels of the plain row-by-row decoder.
  const TBitmap source = testimages::Noisy(77, 43);
  for (int h = 1; h <= 2; ++h) {
    for (int v = 1; v <= 2; ++v) {
      for (bool progressive : {false, true}) {
        const std::string file = EncodeSampled(source, h, v, progressive);
        TBitmap decoded;
        bool wasProgressive = !progressive;
        ASSERT_TRUE(DecodeJpeg(file, decoded, wasProgressive));
        EXPECT_EQ(wasProgressive, progressive);
        const std::vector<uint8_t> plain = DecodeRowByRow(file);
        ASSERT_EQ(decoded.Width, 77);
        ASSERT_EQ(decoded.Height, 43);
        EXPECT_TRUE(std::equal(plain.begin(), plain.end(), decoded.Pixels.begin(),
                               decoded.Pixels.end()))
            << h << "x" << v << (progressive ? " progressive" : "");
      }
    }
  }
}

TEST(JpegCodec, EncoderErrorsBecomeExceptions) {
  TBitmap empty;
  EXPECT_THROW(EncodeJpeg(empty, false), Exception);
  // The codec stays usable afterwards.
  EXPECT_FALSE(EncodeJpeg(testimages::Smooth(8, 8), false).empty());
}

// Pieces are written from the decoded picture: the source's RGB colour
// profile must be carried into each, or a photo in a wide colour space
// changes colour. A profile for other colours is not carried.
TEST(JpegCodec, RgbColourProfileIsCarriedIntoThePieces) {
  std::string profile(3000, 'p');
  profile.replace(16, 4, "RGB ");
  std::string big = profile + std::string(70000, 'q');  // spans two APP2 markers
  for (const std::string& icc : {profile, big}) {
    TJpegEncoder encoder;
    const std::string file(encoder.Encode(ViewOf(testimages::Gradient(16, 8)), false, icc));
    TBitmap decoded;
    bool progressive = false;
    std::string read;
    ASSERT_TRUE(DecodeJpeg(file, decoded, progressive, &read));
    EXPECT_EQ(read, icc);
  }
  std::string cmyk = profile;
  cmyk.replace(16, 4, "CMYK");
  TJpegEncoder encoder;
  const std::string file(encoder.Encode(ViewOf(testimages::Gradient(16, 8)), false, cmyk));
  TBitmap decoded;
  bool progressive = false;
  std::string read = "stale";
  ASSERT_TRUE(DecodeJpeg(file, decoded, progressive, &read));
  EXPECT_EQ(read, "");
}

}  // namespace
