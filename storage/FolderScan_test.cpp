#include "storage/FolderScan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "platform/TempDir.h"
#include "storage/vlmOption.h"

namespace {

namespace fs = std::filesystem;

const TScanStep kAll = [](const std::string&) { return true; };

class FolderScanTest : public ::testing::Test {
 protected:
  void SetUp() override { Options.FileTypes = {{"htm", "HTML Document"}}; }
  void TearDown() override { Options = TOptions{}; }
  platform::TempDir home_;
};

// The entry names of `folder` in the order the file system lists them.
std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

TEST_F(FolderScanTest, TreeTakesKnownPagesOfSubfoldersWhereTheyAreMet) {
  const std::string site = home_ / "site/";
  home_.Write("site/a.htm", "a");
  home_.Write("site/b.txt", "b");
  home_.Write("site/sub/x.htm", "x");
  home_.Write("site/.hidden.htm", "h");

  std::vector<std::string> found;
  EXPECT_TRUE(ReadTree(site, found, kAll));
  std::vector<std::string> expected;
  for (const std::string& name : Listing(site)) {
    if (name == "sub") expected.push_back(site + "sub/x.htm");
    if (name == "a.htm" || name == ".hidden.htm") expected.push_back(site + name);
  }
  EXPECT_EQ(found, expected);

  found.clear();
  EXPECT_TRUE(ReadFolder(site, found, kAll));
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::string>{site + ".hidden.htm", site + "a.htm"}));
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
