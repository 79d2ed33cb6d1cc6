#include "engine/ExifOrientation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/JpegCodec.h"
#include "testsupport/TestImages.h"

namespace {

// The body of an APP1 segment with one IFD entry for the orientation.
std::string ExifSegment(uint16_t orientation, bool littleEndian = true) {
  auto u16 = [&](uint16_t v) {
    return littleEndian ? std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}
                        : std::string{static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
  };
  auto u32 = [&](uint32_t v) {
    return littleEndian ? u16(static_cast<uint16_t>(v)) + u16(static_cast<uint16_t>(v >> 16))
                        : u16(static_cast<uint16_t>(v >> 16)) + u16(static_cast<uint16_t>(v));
  };
  std::string s("Exif\0\0", 6);
  s += littleEndian ? std::string("II*\0", 4) : std::string("MM\0*", 4);
  s += u32(8);  // first IFD right after the header
  s += u16(2);  // two entries: a width tag, then the orientation
  s += u16(0x0100) + u16(3) + u32(1) + u16(640) + u16(0);
  s += u16(0x0112) + u16(3) + u32(1) + u16(orientation) + u16(0);
  s += u32(0);
  return s;
}

TEST(ExifOrientation, ReadsTheTagInEitherByteOrderAndIgnoresJunk) {
  EXPECT_EQ(ReadExifOrientation(ExifSegment(6)), 6);
  EXPECT_EQ(ReadExifOrientation(ExifSegment(8, false)), 8);
  EXPECT_EQ(ReadExifOrientation(ExifSegment(9)), 1);  // no such orientation
  EXPECT_EQ(ReadExifOrientation("http://ns.adobe.com/xap/1.0/"), 1);
  std::string whole = ExifSegment(3);
  for (size_t n = 0; n < whole.size() - 6; ++n) {
    EXPECT_EQ(ReadExifOrientation(whole.substr(0, n)), 1) << n;  // truncated
  }
  std::string farIfd = whole;
  farIfd[10] = '\x7F';  // first IFD far past the end
  EXPECT_EQ(ReadExifOrientation(farIfd), 1);
}

TBitmap Oriented(const TBitmap& b, std::initializer_list<int> steps) {
  TBitmap out = b;
  for (int step : steps) ApplyOrientation(out, step);
  return out;
}

TEST(ExifOrientation, TurnsAndMirrorsComposeAsTheyShould) {
  const TBitmap b = testimages::Gradient(5, 3);
  EXPECT_EQ(Oriented(b, {1}).Pixels, b.Pixels);
  for (int self : {2, 3, 4, 5, 7}) {
    EXPECT_EQ(Oriented(b, {self, self}).Pixels, b.Pixels) << self;  // each undoes itself
  }
  EXPECT_EQ(Oriented(b, {6, 8}).Pixels, b.Pixels);
  EXPECT_EQ(Oriented(b, {6, 6}).Pixels, Oriented(b, {3}).Pixels);
  EXPECT_EQ(Oriented(b, {2, 4}).Pixels, Oriented(b, {3}).Pixels);
  EXPECT_EQ(Oriented(b, {2, 6}).Pixels, Oriented(b, {7}).Pixels);  // mirror, then a quarter turn

  // A quarter turn clockwise: 3 x 5, the stored top-left shows top-right and
  // the stored bottom-left shows top-left.
  TBitmap turned = Oriented(b, {6});
  ASSERT_EQ(turned.Width, 3);
  ASSERT_EQ(turned.Height, 5);
  EXPECT_EQ(0, std::memcmp(turned.At(2, 0), b.At(0, 0), 3));
  EXPECT_EQ(0, std::memcmp(turned.At(0, 0), b.At(0, 2), 3));
  EXPECT_EQ(0, std::memcmp(turned.At(0, 4), b.At(4, 2), 3));
}

TEST(ExifOrientation, JpegSourcesAreDecodedAsBrowsersShowThem) {
  // Left half black, right half white, 32 x 16, stored upright.
  TBitmap stored = testimages::Solid(32, 16, 0, 0, 0);
  for (int y = 0; y < 16; ++y) {
    for (int x = 16; x < 32; ++x) std::memset(stored.At(x, y), 255, 3);
  }
  std::string file = EncodeJpeg(stored, false);
  std::string segment = ExifSegment(6);
  const size_t length = segment.size() + 2;
  file.insert(2, std::string{'\xFF', '\xE1', static_cast<char>(length >> 8),
                             static_cast<char>(length & 0xFF)} +
                     segment);
  TBitmap shown;
  bool progressive;
  ASSERT_TRUE(DecodeJpeg(file, shown, progressive));
  ASSERT_EQ(shown.Width, 16);
  ASSERT_EQ(shown.Height, 32);
  EXPECT_LT(shown.At(8, 4)[0], 20);    // the stored left (black) is now on top
  EXPECT_GT(shown.At(8, 28)[0], 235);  // and the white below
}

}  // namespace
