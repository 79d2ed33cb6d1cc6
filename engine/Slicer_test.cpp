#include "engine/Slicer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "engine/BmpCodec.h"
#include "engine/GifCodec.h"
#include "engine/Grid.h"
#include "engine/JpegCodec.h"
#include "engine/TableMarkup.h"
#include "engine/WorkerPool.h"
#include "platform/Exception.h"
#include "platform/File.h"
#include "platform/Path.h"
#include "testsupport/TempDir.h"
#include "testsupport/TestImages.h"

namespace {

using testsupport::TempDir;

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
    t.ImageExt = platform::ExtensionOf(file);
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
  // A table's piece files reach 8 pixels into their neighbours where the
  // picture goes on; a layered picture's hold their pieces alone.
  const struct {
    TMarkup markup;
    int lefts[6], tops[6], widths[6], heights[6];
  } cases[] = {
      {TMarkup::Layered,
       {0, 40, 80, 0, 40, 80},
       {0, 0, 0, 40, 40, 40},
       {40, 40, 20, 40, 40, 20},
       {40, 40, 40, 10, 10, 10}},
      {TMarkup::Table,
       {0, 32, 72, 0, 32, 72},
       {0, 0, 0, 32, 32, 32},
       {48, 56, 28, 48, 56, 28},
       {48, 48, 48, 18, 18, 18}},
  };
  for (const auto& c : cases) {
    SliceRun run;
    TBitmap source = testimages::Gradient(100, 50);
    TSliceTarget t = run.Target("photo.BMP");
    t.Markup = c.markup;
    std::string table = run.Slice(source, ImageKind::BMP, t, PixelMode(40, 40));

    ASSERT_EQ(run.calls, 1);
    std::vector<std::string> pieces = run.Pieces();
    ASSERT_EQ(pieces.size(), 6u);
    for (int i = 0; i < 6; ++i) {
      TBitmap piece = run.ReadBmp(pieces[i] + ".BMP");  // the source's letter case
      EXPECT_EQ(piece.Width, c.widths[i]) << i;
      EXPECT_EQ(piece.Height, c.heights[i]) << i;
      EXPECT_TRUE(testimages::SameAsRect(source, c.lefts[i], c.tops[i], piece)) << i;
    }
    if (c.markup == TMarkup::Layered) continue;
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
}

int MaxDifferenceFromRect(const TBitmap& source, int left, int top, const TBitmap& piece) {
  TBitmap rect;
  CopyRect(source, left, top, piece.Width, piece.Height, rect);
  int worst = 0;
  for (size_t i = 0; i < rect.Pixels.size(); ++i) {
    worst = std::max(worst, std::abs(int{rect.Pixels[i]} - int{piece.Pixels[i]}));
  }
  return worst;
}

TEST(Slicer, JpegPiecesFollowTheSourcesScanModeAndMatchTheirRectangles) {
  for (bool progressive : {false, true}) {
    SliceRun run;
    TBitmap original = testimages::Smooth(90, 70);
    // The source goes through a real file, as in a run.
    TSourceImage image;
    ASSERT_TRUE(DecodeImage(ImageKind::JPEG, EncodeJpeg(original, progressive), image));
    ASSERT_EQ(image.Progressive, progressive);
    TSliceTarget t = run.Target("p.jpeg");
    t.Markup = TMarkup::Layered;
    SliceImage(image, ImageKind::JPEG, t, "", "", PixelMode(40, 30), run.names, run.saved,
               [&](const std::string& names) { run.recorded = names; });
    std::vector<std::string> pieces = run.Pieces();
    ASSERT_EQ(pieces.size(), 9u);
    for (size_t i = 0; i < pieces.size(); ++i) {
      std::string file = run.dir.Read(pieces[i] + ".jpeg");
      TBitmap piece;
      bool multiScan = !progressive;
      ASSERT_TRUE(DecodeJpeg(file, piece, multiScan));
      EXPECT_EQ(multiScan, progressive) << i;
      const int left = static_cast<int>(i % 3) * 40, top = static_cast<int>(i / 3) * 30;
      EXPECT_EQ(piece.Width, i % 3 == 2 ? 10 : 40);
      EXPECT_EQ(piece.Height, i / 3 == 2 ? 10 : 30);
      EXPECT_LE(MaxDifferenceFromRect(image.Bitmap, left, top, piece), 16) << i;
    }
  }
}

TEST(Slicer, GifPiecesAreExactForColoursInSeparateCells) {
  SliceRun run;
  TBitmap source = testimages::Gradient(24, 20);
  for (size_t i = 0; i < source.Pixels.size(); i += 3) {
    source.Pixels[i] = static_cast<uint8_t>(source.Pixels[i] * 8);
    source.Pixels[i + 1] = static_cast<uint8_t>(source.Pixels[i + 1] * 8);
  }
  TSliceTarget t = run.Target("g.gif");
  t.Markup = TMarkup::Layered;
  run.Slice(source, ImageKind::GIF, t, GridMode(2, 2));
  std::vector<std::string> pieces = run.Pieces();
  ASSERT_EQ(pieces.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    std::string file = run.dir.Read(pieces[i] + ".gif");
    TBitmap piece;
    ASSERT_TRUE(DecodeGif(file, piece));
    EXPECT_TRUE(testimages::SameAsRect(source, static_cast<int>(i % 2) * 12,
                                       static_cast<int>(i / 2) * 10, piece))
        << i;
    EXPECT_EQ(file.find("\x21\xF9"), std::string::npos);  // no transparency
  }
}

TEST(Slicer, GifPiecesKeepNearColoursApart) {
  SliceRun run;
  // Two colours that differ only below their top five bits: a piece of at
  // most 256 colours keeps each exactly.
  TBitmap source = testimages::Solid(4, 1, 16, 16, 16);
  source.At(2, 0)[0] = 20;
  source.At(3, 0)[0] = 20;
  run.Slice(source, ImageKind::GIF, run.Target("m.gif"), GridMode(1, 1));
  TBitmap piece;
  ASSERT_TRUE(DecodeGif(run.dir.Read(run.Pieces()[0] + ".gif"), piece));
  EXPECT_EQ(piece.Pixels, source.Pixels);
}

TEST(Slicer, EachPieceHoldsTheBytesOfItsRectangleSavedOnItsOwn) {
  // The slicer encodes pieces in place with encoders kept from piece to
  // piece, on one worker or several; saving a copy of each rectangle with a
  // fresh encoder is the plain way. All must write the same files under the
  // same names. Every piece is reported once it is written, in row-major
  // order, with exactly the bytes the file holds (its digest goes into the
  // backup set).
  const TBitmap source = testimages::Noisy(100, 50);
  const struct {
    ImageKind kind;
    bool progressive;
    const char* file;
  } cases[] = {{ImageKind::BMP, false, "a.bmp"},  {ImageKind::GIF, false, "b.gif"},
               {ImageKind::JPEG, false, "c.jpg"}, {ImageKind::JPEG, true, "d.jpg"},
               {ImageKind::PNG, false, "e.png"},  {ImageKind::WebP, false, "f.webp"}};
  const int workersBefore = WorkerCount();
  for (const auto& c : cases) {
    std::vector<std::string> firstNames;
    for (int workers : {1, 3}) {
      SetWorkerCount(workers);
      SliceRun run;
      TSourceImage image;
      image.Bitmap = source;
      image.Progressive = c.progressive;
      image.Lossless = true;
      std::vector<std::pair<std::string, std::string>> reported;
      TSliceTarget t = run.Target(c.file);
      t.Markup = TMarkup::Layered;
      SliceImage(
          image, c.kind, t, "", "", PixelMode(40, 40), run.names, run.saved,
          [&](const std::string& names) { run.recorded = names; },
          [&](const std::string& path, std::string_view bytes) {
            reported.emplace_back(path, bytes);
          });
      const std::vector<std::string> pieces = run.Pieces();
      ASSERT_EQ(pieces.size(), 6u);
      ASSERT_EQ(reported.size(), 6u) << c.file;
      if (firstNames.empty()) firstNames = pieces;
      EXPECT_EQ(pieces, firstNames) << c.file << " on " << workers << " workers";
      const std::string ext = platform::ExtensionOf(c.file);
      for (size_t i = 0; i < pieces.size(); ++i) {
        const std::string at = std::string(c.file) + " piece " + std::to_string(i) + " on " +
                               std::to_string(workers) + " workers";
        EXPECT_EQ(reported[i].first, run.dir / (pieces[i] + ext)) << at;
        EXPECT_EQ(reported[i].second, run.dir.Read(pieces[i] + ext)) << at;
        const int32_t left = static_cast<int32_t>(i % 3) * 40,
                      top = static_cast<int32_t>(i / 3) * 40;
        TBitmap rect;
        CopyRect(source, left, top, i % 3 == 2 ? 20 : 40, i / 3 == 1 ? 10 : 40, rect);
        SavePiece(c.kind, run.dir / ("plain" + std::to_string(i) + ext), rect, c.progressive);
        EXPECT_EQ(run.dir.Read(pieces[i] + ext), run.dir.Read("plain" + std::to_string(i) + ext))
            << at;
      }
    }
  }
  SetWorkerCount(workersBefore);
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
  EXPECT_EQ(g.Bleed, kTableBleed);
  EXPECT_EQ(run.saved.GetPieceNames(), run.recorded);
  std::string again;
  run.saved.BuildTable("", "</A>", WidthHeightTemplate(), "pics/", again);
  EXPECT_EQ(again, table);
  // The last piece of the first row, 34 x 25, in a file 8 pixels larger to
  // the left and below.
  EXPECT_NE(table.find(" width=\"42\" height=\"33\""), std::string::npos);
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

TEST(Slicer, MorePiecesThanARunHasNamesAreRefusedUpFront) {
  SliceRun run;
  // 1 x 1 pixel pieces of 700 x 700: 490,000 pieces.
  EXPECT_THROW(run.Slice(testimages::Solid(700, 700, 1, 2, 3), ImageKind::BMP, run.Target("s.bmp"),
                         PixelMode(1, 1)),
               Exception);
  EXPECT_EQ(run.saved.LastIndex(), -1);
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

TEST(Slicer, PieceWriteFailureDeletesThePiecesAlreadyWritten) {
  // Pieces are encoded on several workers; the files are still written, and
  // taken back, by the slicing thread.
  SetWorkerCount(2);
  SliceRun run;
  // 9 x 16 in two columns: a 4-pixel piece of 246 bytes, then a 5-pixel one
  // of 310 that the file-size limit stops, as a disk that fills up would.
  struct rlimit old;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  void (*oldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 300;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  bool raised = false;
  try {
    run.Slice(testimages::Gradient(9, 16), ImageKind::BMP, run.Target("s.bmp"), GridMode(2, 1));
  } catch (const Exception&) {
    raised = true;
  }
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_TRUE(raised);
  EXPECT_EQ(run.Pieces().size(), 2u) << "both names were recorded before cutting";
  EXPECT_TRUE(std::filesystem::is_empty(run.dir.path())) << "no piece of a half-cut image stays";
  SetWorkerCount(1);
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
