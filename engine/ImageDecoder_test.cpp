#include "engine/ImageDecoder.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/BmpCodec.h"
#include "engine/GifCodec.h"
#include "engine/JpegCodec.h"
#include "engine/TestImages.h"

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
}

}  // namespace
