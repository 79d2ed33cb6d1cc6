#include "cli/PageScan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "testsupport/TempDir.h"
#include "storage/vlmOption.h"

namespace {

using testsupport::TempDir;

class PageScanTest : public testing::Test {
 protected:
  void SetUp() override { Options.FileTypes = {{"htm", "HTML"}}; }
  void TearDown() override { Options = TOptions{}; }
  TempDir dir;
};

TEST_F(PageScanTest, FoldersAreReadWithOrWithoutSubfolders) {
  dir.Write("site/a.htm", "");
  dir.Write("site/sub/b.htm", "");
  EXPECT_EQ(CollectPages({dir / "site"}, false), std::vector<std::string>{dir / "site/a.htm"});
  EXPECT_EQ(CollectPages({dir / "site/"}, true).size(), 2u);
}

TEST_F(PageScanTest, CollectTakesNamedFilesAsTheyAreAndListsEachFileOnce) {
  dir.Write("site/index.htm", "");
  dir.Write("site/notes.txt", "");
  dir.Write("other/x.htm", "");
  std::filesystem::create_hard_link(dir / "site/index.htm", dir / "other/hard.htm");
  std::filesystem::create_symlink(dir / "site/index.htm", dir / "other/soft.htm");
  auto pages = CollectPages({dir / "site", dir / "site/notes.txt", dir / "other/hard.htm",
                             dir / "other/soft.htm", dir / "site/./index.htm"},
                            true);
  EXPECT_EQ(pages, (std::vector<std::string>{dir / "site/index.htm", dir / "site/notes.txt"}));
  EXPECT_EQ(CollectPages({dir / "other"}, false).size(), 2u) << "x.htm and one of the links";
}

}  // namespace
