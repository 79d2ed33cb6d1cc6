#include "engine/PieceWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/Slicer.h"
#include "testsupport/TestImages.h"
#include "platform/Exception.h"
#include "platform/File.h"
#include "testsupport/TempDir.h"

namespace {

using testsupport::TempDir;

struct Rect {
  int32_t Left, Top, Width, Height;
};

// Rectangles of several sizes, the largest first and a narrow one last, so
// that buffers grown for one piece serve smaller and differently shaped ones.
const Rect kRects[] = {{0, 0, 61, 47}, {61, 0, 38, 47}, {0, 47, 99, 20},
                       {5, 9, 1, 1},   {98, 0, 1, 67},  {17, 3, 64, 64}};

const char* Extension(ImageKind kind) {
  return kind == ImageKind::BMP ? ".bmp" : kind == ImageKind::GIF ? ".gif" : ".jpg";
}

// Every rectangle of every picture written twice: by one writer from views
// into the pictures, and by SavePiece from a copy of each rectangle with a
// fresh encoder. The files must be equal byte for byte.
void ExpectSameFiles(ImageKind kind, bool progressive, const std::vector<TBitmap>& pictures) {
  TempDir dir;
  TPieceWriter writer;
  int n = 0;
  for (const TBitmap& picture : pictures) {
    for (const Rect& r : kRects) {
      const std::string name = std::to_string(n++) + Extension(kind);
      writer.Write(kind, dir / ("fast" + name),
                   ViewOf(picture, r.Left, r.Top, r.Width, r.Height), progressive);
      TBitmap copy;
      CopyRect(picture, r.Left, r.Top, r.Width, r.Height, copy);
      SavePiece(kind, dir / ("plain" + name), copy, progressive);
      const std::string fast = dir.Read("fast" + name), plain = dir.Read("plain" + name);
      ASSERT_FALSE(plain.empty());
      ASSERT_EQ(fast, plain) << name;
    }
  }
}

TEST(PieceWriter, WritesExactlyWhatAFreshEncoderWritesForACopy) {
  const std::vector<TBitmap> pictures = {testimages::Noisy(99, 67, 1), testimages::Gradient(99, 67),
                                         testimages::Noisy(99, 67, 2)};
  ExpectSameFiles(ImageKind::BMP, false, pictures);
  ExpectSameFiles(ImageKind::JPEG, false, pictures);
  ExpectSameFiles(ImageKind::JPEG, true, pictures);
  // GIF pieces with more colours than a palette holds (reductions), and
  // with few colours in runs (colours met again and again).
  ExpectSameFiles(ImageKind::GIF, false, pictures);
  ExpectSameFiles(ImageKind::GIF, false,
                  {testimages::FewColours(99, 67, 200), testimages::FewColours(99, 67, 300)});
}

TEST(PieceWriter, ProgressiveAndBaselinePiecesAlternatingStayExact) {
  // The optimised Huffman tables of a progressive piece must not leak into
  // the baseline piece after it.
  TempDir dir;
  TPieceWriter writer;
  const TBitmap picture = testimages::Noisy(40, 30);
  for (int i = 0; i < 4; ++i) {
    const bool progressive = i % 2 == 0;
    writer.Write(ImageKind::JPEG, dir / ("w" + std::to_string(i)), ViewOf(picture), progressive);
    SavePiece(ImageKind::JPEG, dir / ("s" + std::to_string(i)), picture, progressive);
    EXPECT_EQ(dir.Read("w" + std::to_string(i)), dir.Read("s" + std::to_string(i))) << i;
  }
}

TEST(PieceWriter, FailuresLeaveNoFileAndTheWriterUsable) {
  TempDir dir;
  TPieceWriter writer;
  const TBitmap picture = testimages::Noisy(20, 20);
  // An empty picture is an encoder error.
  EXPECT_THROW(writer.Write(ImageKind::JPEG, dir / "empty.jpg", TPixelView{}, false), Exception);
  EXPECT_FALSE(platform::FileExists(dir / "empty.jpg"));
  // An existing file is never replaced.
  dir.Write("taken.jpg", "mine");
  EXPECT_THROW(writer.Write(ImageKind::JPEG, dir / "taken.jpg", ViewOf(picture), false), Exception);
  EXPECT_EQ(dir.Read("taken.jpg"), "mine");
  EXPECT_THROW(writer.Write(ImageKind::None, dir / "none.bmp", ViewOf(picture), false), Exception);
  EXPECT_FALSE(platform::FileExists(dir / "none.bmp"));
  // The next piece comes out as from a fresh encoder.
  writer.Write(ImageKind::JPEG, dir / "next.jpg", ViewOf(picture), true);
  SavePiece(ImageKind::JPEG, dir / "plain.jpg", picture, true);
  EXPECT_EQ(dir.Read("next.jpg"), dir.Read("plain.jpg"));
}

}  // namespace
