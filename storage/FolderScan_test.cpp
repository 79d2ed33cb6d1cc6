#include "storage/FolderScan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "testsupport/TempDir.h"
#include "storage/vlmOption.h"

namespace {

namespace fs = std::filesystem;

const TScanStep kAll = [](const std::string&) { return true; };

class FolderScanTest : public ::testing::Test {
 protected:
  void SetUp() override { Options.FileTypes = {{"htm", "HTML Document"}}; }
  void TearDown() override { Options = TOptions{}; }
  testsupport::TempDir home_;
};

TEST_F(FolderScanTest, TreeTakesKnownPagesOfSubfoldersWhereTheyAreMetInNameOrder) {
  const std::string site = home_ / "site/";
  // Made out of order, so that the file system's own order is no help.
  for (const char* name : {"page34.htm", "Page2.htm", "b.txt", "sub/x.htm", "page124.htm",
                           "a.htm", ".hidden.htm", "page174.htm", "Sub2/y.htm"}) {
    home_.Write(std::string("site/") + name, "p");
  }
  std::vector<std::string> found;
  EXPECT_TRUE(ReadTree(site, found, kAll));
  const std::vector<std::string> named = {".hidden.htm", "a.htm",     "page124.htm",
                                          "page174.htm", "Page2.htm", "page34.htm"};
  std::vector<std::string> expected;
  for (const std::string& name : named) expected.push_back(site + name);
  expected.push_back(site + "sub/x.htm");
  expected.push_back(site + "Sub2/y.htm");
  EXPECT_EQ(found, expected);

  found.clear();
  EXPECT_TRUE(ReadFolder(site, found, kAll));
  expected.resize(named.size());
  EXPECT_EQ(found, expected);
}

TEST_F(FolderScanTest, ExtensionsMatchWithoutRegardToCase) {
  const std::string site = home_ / "site/";
  home_.Write("site/A.HTM", "a");
  home_.Write("site/b.Htm", "b");
  home_.Write("site/c.htmx", "c");
  home_.Write("site/d", "d");
  std::vector<std::string> found;
  ReadFolder(site, found, kAll);
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::string>{site + "A.HTM", site + "b.Htm"}));
}

TEST_F(FolderScanTest, AStepThatSaysStopEndsTheWholeTree) {
  const std::string site = home_ / "site/";
  for (int i = 0; i < 5; ++i) home_.Write("site/sub/p" + std::to_string(i) + ".htm", "p");
  home_.Write("site/top.htm", "t");
  std::vector<std::string> found;
  int steps = 0;
  EXPECT_FALSE(ReadTree(site, found, [&](const std::string&) { return ++steps < 2; }));
  EXPECT_EQ(steps, 2);
  EXPECT_LE(found.size(), 2u);
}

TEST_F(FolderScanTest, LinkLoopsAndMissingFoldersEnd) {
  const std::string site = home_ / "site/";
  home_.Write("site/sub/x.htm", "x");
  fs::create_directory_symlink("..", home_ / "site/sub/up");
  std::vector<std::string> found;
  EXPECT_TRUE(ReadTree(site, found, kAll));
  EXPECT_EQ(found, std::vector<std::string>{site + "sub/x.htm"});

  found.clear();
  EXPECT_TRUE(ReadTree(home_ / "missing/", found, kAll));
  EXPECT_TRUE(ReadFolder(home_ / "missing/", found, kAll));
  EXPECT_TRUE(found.empty());
}

TEST_F(FolderScanTest, OnlyRegularFilesArePages) {
  const std::string page = home_.Write("page.htm", "p");
  fs::create_symlink(page, home_ / "link.htm");
  ASSERT_EQ(::mkfifo((home_ / "pipe.htm").c_str(), 0600), 0);
  EXPECT_TRUE(IsRegularFile(page));
  EXPECT_TRUE(IsRegularFile(home_ / "link.htm"));
  EXPECT_FALSE(IsRegularFile(home_ / "pipe.htm"));
  EXPECT_FALSE(IsRegularFile(home_.path()));
  EXPECT_FALSE(IsRegularFile(home_ / "missing.htm"));
  EXPECT_FALSE(IsRegularFile(""));
}

}  // namespace
