#include "cli/PageScan.h"

#include <gtest/gtest.h>

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

TEST_F(PageScanTest, FoldersAreReadWithOrWithoutSubfolders) {
  dir.Write("site/a.htm", "");
  dir.Write("site/sub/b.htm", "");
  EXPECT_EQ(CollectPages({dir / "site"}, false), std::vector<std::string>{dir / "site/a.htm"});
  EXPECT_EQ(CollectPages({dir / "site/"}, true).size(), 2u);
}

TEST_F(PageScanTest, CollectTakesNamedFilesAsTheyAreAndSkipsDuplicatesByCase) {
  dir.Write("site/index.htm", "");
  dir.Write("site/notes.txt", "");
  std::string upper = dir.path() + "/site/INDEX.HTM";
  auto pages = CollectPages({dir / "site", dir / "site/notes.txt", upper, dir / "site/./index.htm"}, true);
  EXPECT_EQ(pages, (std::vector<std::string>{dir / "site/index.htm", dir / "site/notes.txt"}));
}

}  // namespace
