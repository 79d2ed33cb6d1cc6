#include "engine/SavedImage.h"

#include <gtest/gtest.h>

#include "engine/TableMarkup.h"
#include "platform/Exception.h"
#include "platform/File.h"
#include "platform/Path.h"
#include "testsupport/TempDir.h"

namespace {

using testsupport::TempDir;

TEST(SavedImage, FindUsesTheExactPathAndTheFirstEntry) {
  TSavedImage saved;
  EXPECT_EQ(saved.LastIndex(), -1);
  EXPECT_FALSE(saved.Find("/a/b.gif"));
  saved.Add("/a/b.gif");
  saved.Add("/a/c.gif");
  saved.Add("/a/b.gif");  // a second entry of the same path
  EXPECT_EQ(saved.LastIndex(), 2);
  ASSERT_TRUE(saved.Find("/a/c.gif"));
  EXPECT_EQ(saved.FoundIndex(), 1);
  ASSERT_TRUE(saved.Find("/a/b.gif"));
  EXPECT_EQ(saved.FoundIndex(), 0);
  EXPECT_FALSE(saved.Find("/a/B.gif"));  // letter case counts
  EXPECT_FALSE(saved.Find("/a/b.gif "));
  EXPECT_EQ(saved.FoundIndex(), 0);  // unchanged by a failed search
}

TEST(SavedImage, ArraysGrowTwentySlotsAtATime) {
  TSavedImage saved;
  saved.Add("/p0");
  EXPECT_EQ(saved.Paths().size(), 20u);
  for (int i = 1; i < 20; ++i) saved.Add("/p" + std::to_string(i));
  EXPECT_EQ(saved.Paths().size(), 20u);
  saved.Add("/p20");
  EXPECT_EQ(saved.Paths().size(), 40u);
  EXPECT_EQ(saved.Geometries().size(), 40u);
  EXPECT_TRUE(saved.Find("/p20"));
  EXPECT_EQ(saved.FoundIndex(), 20);
}

TEST(SavedImage, PieceNamesFillTheGridInOrderAndRefuseOverflow) {
  TSavedImage saved;
  saved.Add("/x.bmp");
  saved.SetGeometry({10, 10, 1, 2, 5, 10});
  saved.AddPiece("abcd");
  saved.AddPiece("efgh");
  EXPECT_EQ(saved.GetPieceNames(), "abcdefgh");
  EXPECT_THROW(saved.AddPiece("ijkl"), Exception);
  EXPECT_THROW(saved.AddPiece("abc"), Exception);
  saved.Add("/y.bmp");
  saved.SetGeometry({4, 4, 1, 1, 4, 4});
  saved.AddPiece("zzzz");
  EXPECT_EQ(saved.GetPieceNames(), "zzzz");
  EXPECT_EQ(saved.PieceNamesAt(0), "abcdefgh");
}

TEST(SavedImage, BuildTableRepeatsTheFirstTableWithTheCurrentLinkAndFolder) {
  TSavedImage saved;
  saved.Add("/site/img/photo.JPG");
  saved.SetGeometry({100, 50, 2, 3, 33, 25});
  for (const char* n : {"aaaa", "bbbb", "cccc", "dddd", "eeee", "ffff"}) saved.AddPiece(n);
  ASSERT_TRUE(saved.Find("/site/img/photo.JPG"));

  std::string replacement = "old";
  saved.BuildTable("<A HREF=\"z\">", "</A>", " width=%d height=%d", "../img/", replacement);
  TTableSpec spec;
  spec.Width = 100;
  spec.Height = 50;
  spec.Rows = 2;
  spec.Cols = 3;
  spec.PieceWidth = 33;
  spec.PieceHeight = 25;
  spec.LinkTag = "<A HREF=\"z\">";
  spec.SrcDir = "../img/";
  spec.ImageExt = ".JPG";
  spec.WidthHeightText = " width=%d height=%d";
  spec.CloseLinkText = "</A>";
  EXPECT_EQ(replacement, BuildTableMarkup(spec, "aaaabbbbccccddddeeeeffff"));
  EXPECT_NE(replacement.find("../img/aaaa.JPG"), std::string::npos);
  EXPECT_NE(replacement.find(" width=34 height=25"), std::string::npos);
}

TEST(SavedImage, ExtensionIsTakenFromTheFileNameOnly) {
  EXPECT_EQ(platform::ExtensionOf("/a.b/c.Gif"), ".Gif");
  EXPECT_EQ(platform::ExtensionOf("/a.b/c"), "");
  EXPECT_EQ(platform::ExtensionOf("c.jpeg"), ".jpeg");
}

TEST(SavedImage, SourcesToDeleteAreEveryPathOnceExceptKeptOnes) {
  TSavedImage saved;
  saved.Add("/a.gif");
  saved.Add("/b.gif");
  saved.Add("/c.gif");
  saved.Add("/a.gif");
  saved.Add("/d.bmp");
  saved.Add("/d.bmp");
  saved.KeepSource(1);
  EXPECT_TRUE(saved.IsKept(1));
  saved.KeepSource(5);  // keeps the path's earlier entry too
  EXPECT_THROW(saved.KeepSource(6), Exception);
  EXPECT_EQ(saved.SourcesToDelete(), (std::vector<std::string>{"/a.gif", "/c.gif"}));
  TempDir dir;
  const std::string a = dir.Write("a.gif", "A");
  { TSavedImage other; other.Add(a); }
  EXPECT_TRUE(platform::FileExists(a)) << "the registry itself deletes nothing";
}

}  // namespace

namespace {

TEST(SavedImage, DroppingTheNewestEntryForgetsItAndLeavesItsSource) {
  testsupport::TempDir dir;
  std::string a = dir.Write("a.bmp", "A"), b = dir.Write("b.bmp", "B");
  TSavedImage saved;
  {
    saved.Add(a);
    saved.Add(b);
    saved.SetGeometry({4, 4, 1, 1, 4, 4});
    ASSERT_TRUE(saved.Find(b));
    saved.DropNewest();
    EXPECT_EQ(saved.LastIndex(), 0);
    EXPECT_FALSE(saved.Find(b));
    EXPECT_EQ(saved.FoundIndex(), -1);
    // Adding the same path again makes a fresh entry that Find reaches.
    saved.Add(b);
    ASSERT_TRUE(saved.Find(b));
    EXPECT_EQ(saved.FoundIndex(), 1);
    saved.DropNewest();
    // Dropping a second entry of a path keeps the first one findable.
    saved.Add(a);
    saved.DropNewest();
    ASSERT_TRUE(saved.Find(a));
    EXPECT_EQ(saved.FoundIndex(), 0);
  }
  EXPECT_EQ(saved.SourcesToDelete(), std::vector<std::string>{a});
}

}  // namespace
