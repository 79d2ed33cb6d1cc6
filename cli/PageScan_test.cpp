#include "cli/PageScan.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "platform/TempDir.h"
#include "storage/vlmOption.h"

namespace {

using platform::TempDir;

class PageScanTest : public testing::Test {
 protected:
  void SetUp() override { Options.FileTypes = {{"htm", "HTML"}}; }
  void TearDown() override { Options = TOptions{}; }
  TempDir dir;
};

TEST_F(PageScanTest, ReadsKnownPagesDepthFirstWhereTheFolderIsMet) {
  dir.Write("a.htm", "");
  dir.Write("B.HTM", "");
  dir.Write("c.txt", "");
  dir.Write("sub/x.Htm", "");
  dir.Write("sub/deep/y.htm", "");
  dir.Write(".hidden/z.htm", "");
  std::vector<std::string> flat;
  ReadPages(dir.path() + "/", false, flat);
  EXPECT_EQ(flat.size(), 2u);
  std::vector<std::string> tree;
  ReadPages(dir.path() + "/", true, tree);
  ASSERT_EQ(tree.size(), 5u);
  auto at = [&](const std::string& name) {
    return std::find(tree.begin(), tree.end(), dir / name) - tree.begin();
  };
  EXPECT_EQ(std::abs(at("sub/deep/y.htm") - at("sub/x.Htm")), 1) << "a folder's pages stand together";
}

TEST_F(PageScanTest, LinkLoopsAreNotFollowed) {
  dir.Write("sub/a.htm", "");
  ASSERT_EQ(::symlink(dir.path().c_str(), (dir / "sub/loop").c_str()), 0);
  std::vector<std::string> found;
  ReadPages(dir.path() + "/", true, found);
  EXPECT_EQ(found, std::vector<std::string>{dir / "sub/a.htm"});
}

TEST_F(PageScanTest, CollectTakesNamedFilesAsTheyAreAndSkipsDuplicatesByCase) {
  dir.Write("site/index.htm", "");
  dir.Write("site/notes.txt", "");
  std::string upper = dir.path() + "/site/INDEX.HTM";
  auto pages = CollectPages({dir / "site", dir / "site/notes.txt", upper, dir / "site/./index.htm"}, true);
  EXPECT_EQ(pages, (std::vector<std::string>{dir / "site/index.htm", dir / "site/notes.txt"}));
}

}  // namespace
