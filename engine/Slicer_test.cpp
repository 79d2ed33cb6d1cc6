#include "engine/Slicer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "engine/BmpCodec.h"
#include "engine/Grid.h"
#include "engine/TableMarkup.h"
#include "engine/TestImages.h"
#include "platform/Exception.h"
#include "platform/File.h"
#include "platform/TempDir.h"

namespace {

using platform::TempDir;

TOptions GridMode(int32_t hor, int32_t ver) {
  TOptions o;
  o.PieHor = hor;
  o.PieVer = ver;
  return o;
}

TOptions PixelMode(int32_t w, int32_t h) {
  TOptions o;
  o.SliceByPixels = 1;
  o.PixWidth = w;
  o.PixHeight = h;
  return o;
}

struct SliceRun {
  TempDir dir;
  TRandomFileName names{11};
  TSavedImage saved;
  std::string recorded;
  int calls = 0;

  TSliceTarget Target(const std::string& file) {
    TSliceTarget t;
    t.ImagePath = dir / file;
    t.ImageFolder = dir.path() + "/";
    t.ImageExt = ExtensionOf(file);
    t.SrcDir = "pics/";
    return t;
  }

  std::string Slice(const TBitmap& bitmap, ImageKind kind, const TSliceTarget& t,
                    const TOptions& options, const std::string& widthHeight = "") {
    TSourceImage image;
    image.Bitmap = bitmap;
    return SliceImage(image, kind, t, widthHeight, "</A>", options, names, saved,
                      [this](const std::string& pieceNames) {
                        recorded = pieceNames;
                        ++calls;
                      });
  }

  std::vector<std::string> Pieces() const {
    std::vector<std::string> names;
    for (size_t i = 0; i < recorded.size(); i += 4) names.push_back(recorded.substr(i, 4));
    return names;
  }

  TBitmap ReadBmp(const std::string& file) {
    TBitmap b;
    EXPECT_TRUE(DecodeBmp(dir.Read(file), b)) << file;
    return b;
  }
};

TEST(Slicer, BmpPiecesAreExactRectanglesInRowMajorOrder) {
  SliceRun run;
  TBitmap source = testimages::Gradient(100, 50);
  TSliceTarget t = run.Target("photo.BMP");
  std::string table = run.Slice(source, ImageKind::BMP, t, PixelMode(40, 40));

  ASSERT_EQ(run.calls, 1);
  std::vector<std::string> pieces = run.Pieces();
  ASSERT_EQ(pieces.size(), 6u);
  const int lefts[] = {0, 40, 80, 0, 40, 80}, tops[] = {0, 0, 0, 40, 40, 40};
  const int widths[] = {40, 40, 20, 40, 40, 20}, heights[] = {40, 40, 40, 10, 10, 10};
  for (int i = 0; i < 6; ++i) {
    TBitmap piece = run.ReadBmp(pieces[i] + ".BMP");  // the source's letter case
    EXPECT_EQ(piece.Width, widths[i]);
    EXPECT_EQ(piece.Height, heights[i]);
    EXPECT_TRUE(testimages::SameAsRect(source, lefts[i], tops[i], piece)) << i;
  }
  // Names come from the generator in order and the table lists them so.
  TRandomFileName replay(11);
  TempDir empty;
  replay.SetTarget(empty.path() + "/", ".BMP");
  size_t at = 0;
  for (const std::string& name : pieces) {
    std::string path, expected;
    replay.NextName(path, expected);
    EXPECT_EQ(name, expected);
    size_t found = table.find("pics/" + name + ".BMP", at);
    ASSERT_NE(found, std::string::npos);
    at = found;
  }
}

TEST(Slicer, RegistersTheImageSoItsTableCanBeBuiltAgain) {
  SliceRun run;
  TSliceTarget t = run.Target("a.bmp");
  std::string table = run.Slice(testimages::Gradient(100, 50), ImageKind::BMP, t, GridMode(3, 2),
                                WidthHeightTemplate());
  ASSERT_TRUE(run.saved.Find(t.ImagePath));
  const TImageGeometry& g = run.saved.Geometries()[run.saved.FoundIndex()];
  EXPECT_EQ(g.Width, 100);
  EXPECT_EQ(g.Height, 50);
  EXPECT_EQ(g.Rows, 2);
  EXPECT_EQ(g.Cols, 3);
  EXPECT_EQ(g.PieceWidth, 33);
  EXPECT_EQ(g.PieceHeight, 25);
  EXPECT_EQ(run.saved.GetPieceNames(), run.recorded);
  std::string again;
  run.saved.BuildTable("", "</A>", WidthHeightTemplate(), "pics/", again);
  EXPECT_EQ(again, table);
  EXPECT_NE(table.find(" width=34 height=25"), std::string::npos);
  // Sources stay until the registry goes; pieces are new files beside them.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(run.dir.path()),
                          std::filesystem::directory_iterator()),
            6);
}

TEST(Slicer, PiecesSkipTakenNames) {
  SliceRun run;
  TRandomFileName probe(11);
  std::string taken(4, ' ');
  for (int k = 0; k < 4; ++k) taken[k] = probe.Alphabets()[k][0];
  run.dir.Write(taken + ".bmp", "keep me");
  run.Slice(testimages::Gradient(4, 4), ImageKind::BMP, run.Target("s.bmp"), GridMode(1, 1));
  EXPECT_EQ(run.dir.Read(taken + ".bmp"), "keep me");
  ASSERT_EQ(run.Pieces().size(), 1u);
  EXPECT_NE(run.Pieces()[0], taken);
}

TEST(Slicer, BadGridRaisesBeforeAnythingIsRegisteredOrWritten) {
  SliceRun run;
  EXPECT_THROW(
      run.Slice(testimages::Gradient(4, 4), ImageKind::BMP, run.Target("s.bmp"), GridMode(0, 2)),
      Exception);
  EXPECT_EQ(run.saved.LastIndex(), -1);
  EXPECT_EQ(run.calls, 0);
  EXPECT_TRUE(std::filesystem::is_empty(run.dir.path()));
}

TEST(Slicer, FailureWhileRecordingNamesLeavesNoPieceFile) {
  SliceRun run;
  TSourceImage image;
  image.Bitmap = testimages::Gradient(8, 8);
  TSliceTarget t = run.Target("s.bmp");
  EXPECT_THROW(SliceImage(image, ImageKind::BMP, t, "", "", GridMode(2, 2), run.names, run.saved,
                          [](const std::string&) { throw Exception("backup failed"); }),
               Exception);
  EXPECT_TRUE(std::filesystem::is_empty(run.dir.path()));
}

TEST(Slicer, PieceWriteFailureRaisesAndLeavesNoHalfFile) {
  SliceRun run;
  // A file-size limit makes the write fail part way, as a full disk would.
  struct rlimit old;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  void (*oldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 100;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  bool raised = false;
  try {
    run.Slice(testimages::Gradient(8, 8), ImageKind::BMP, run.Target("s.bmp"), GridMode(1, 1));
  } catch (const Exception& e) {
    raised = true;
  }
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_TRUE(raised);
  EXPECT_TRUE(std::filesystem::is_empty(run.dir.path()));
  // The image stays registered: its source goes with the run's other sources.
  EXPECT_TRUE(run.saved.Find(run.dir / "s.bmp"));
}

TEST(Slicer, MissingFolderRaises) {
  SliceRun run;
  TSliceTarget t = run.Target("s.bmp");
  t.ImageFolder = run.dir / "no/such/";
  EXPECT_THROW(run.Slice(testimages::Gradient(8, 8), ImageKind::BMP, t, GridMode(1, 1)), Exception);
}

TEST(Slicer, SavePieceNeverOverwrites) {
  TempDir dir;
  std::string path = dir.Write("abcd.bmp", "old");
  try {
    SavePiece(ImageKind::BMP, path, testimages::Gradient(2, 2), false);
    FAIL() << "overwrote an existing file";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
  }
  EXPECT_EQ(dir.Read("abcd.bmp"), "old");
  EXPECT_THROW(SavePiece(ImageKind::None, dir / "x.bmp", testimages::Gradient(2, 2), false),
               Exception);
  EXPECT_FALSE(platform::FileExists(dir / "x.bmp"));
}

}  // namespace
