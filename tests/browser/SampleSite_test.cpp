// The sample site through vlm-cli as the demo runs it: protect, then restore.

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "SampleCopy.h"
#include "testsupport/SnapshotTree.h"

namespace {

namespace fs = std::filesystem;

TEST(SampleSite, ProtectThenRestoreGivesTheSampleBack) {
  SampleCopy copy;
  const auto original = testsupport::SnapshotTree(SampleSiteDir());

  testsupport::ProgramResult run = copy.Cli({"protect", copy.site()});
  ASSERT_TRUE(run.Succeeded()) << run.Tail();
  EXPECT_NE(run.Output.find("Pages protected: 22 of 24"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("Images sliced: 22 (198 pieces)"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("Errors: 0"), std::string::npos) << run.Output;
  // Sliced pictures are gone (their bytes are in the backup set); those left
  // alone stay, or the pages that show them would break, and so do sliced
  // ones that a page still names (the image sets of imageset.html).
  for (const char* gone : {"images/tiles.bmp", "sub/images/stone.bmp", "images/logo.gif",
                           "images/glass.png", "images/flags.png", "images/dune.webp",
                           "images/my photos/red blue.gif", "images/façade.gif"}) {
    EXPECT_FALSE(fs::exists(copy.site() + "/" + gone)) << gone;
  }
  for (const char* kept :
       {"images/button.gif", "images/keep.gif", "images/banner.gif", "images/dot.gif",
        "images/mountains.gif", "images/chart.webp", "images/harbour.jpg", "images/meadow.jpg"}) {
    EXPECT_TRUE(fs::exists(copy.site() + "/" + kept)) << kept;
  }
  EXPECT_TRUE(fs::exists(copy.home() + "/Backup")) << "the backup set belongs in VLM_HOME";
  EXPECT_NE(testsupport::DescribeDifferences(original, testsupport::SnapshotTree(copy.site())), "");

  run = copy.Cli({"restore"});
  ASSERT_TRUE(run.Succeeded()) << run.Tail();
  EXPECT_EQ(testsupport::DescribeDifferences(original, testsupport::SnapshotTree(copy.site())), "")
      << "restore must give back the sample byte for byte";
}

// The dry run is the run in its judging-only mode: every tag it would slice
// or reuse becomes a table, page by page (a picture cut on one page is
// reused on the next, in both), the pictures it would slice are the ones
// the run slices, each tag it leaves alone has its reason, and it changes
// no byte of the site or of VLM_HOME.
TEST(SampleSite, DryRunTellsWhatTheRunDoes) {
  SampleCopy copy;
  const auto site = testsupport::SnapshotTree(copy.site());
  const auto home = testsupport::SnapshotTree(copy.home());
  testsupport::ProgramResult look =
      copy.Cli({"protect", "--dry-run", "--format", "json", copy.site()});
  ASSERT_TRUE(look.Succeeded()) << look.Tail();
  EXPECT_EQ(testsupport::DescribeDifferences(site, testsupport::SnapshotTree(copy.site())), "");
  EXPECT_EQ(testsupport::DescribeDifferences(home, testsupport::SnapshotTree(copy.home())), "");
  const std::regex tagLine(R"re(^\{"page":"([^"]*)","src":"[^"]*","action":"(\w+)")re");
  const std::regex reasonOf(R"re("reason":"([^"]*)")re");
  std::map<std::string, int> tables;
  std::map<std::string, int> reasons;
  int slices = 0;
  std::istringstream lines(look.Output);
  std::string summary;
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (line.rfind("{\"summary\"", 0) == 0) summary = line;
    if (!std::regex_search(line, m, tagLine)) continue;
    const std::string page = fs::relative(m[1].str(), copy.site()).string();
    tables[page] += m[2] != "leave";
    slices += m[2] == "slice";
    if (std::regex_search(line, m, reasonOf)) ++reasons[m[1]];
  }
  // The tiles are shown between a table's rows too (quirks.html), as a
  // layered picture, whose pieces hold nothing of their neighbours: they are
  // cut twice.
  EXPECT_EQ(slices, 22);
  EXPECT_EQ(reasons["image set"], 2) << look.Output;
  EXPECT_EQ(reasons["remote or data address"], 1) << look.Output;
  EXPECT_EQ(reasons["NOPROTECT"], 1) << look.Output;
  EXPECT_EQ(reasons["smaller than the minimum"], 1) << look.Output;
  // Sizes of 100% and 25%, a picture a script swaps in and one it swaps by
  // name.
  EXPECT_EQ(reasons["excluded attribute"], 4) << look.Output;
  EXPECT_EQ(reasons["inside a script or server code"], 1) << look.Output;
  EXPECT_EQ(reasons["inside another tag's attribute"], 1) << look.Output;
  EXPECT_EQ(reasons["inside a comment of an XHTML page"], 1) << look.Output;
  EXPECT_NE(summary.find("\"slice\":22,\"reuse\":63"), std::string::npos) << summary;
  EXPECT_NE(summary.find("\"image set\":2"), std::string::npos) << summary;

  testsupport::ProgramResult run = copy.Cli({"protect", copy.site()});
  ASSERT_TRUE(run.Succeeded()) << run.Tail();
  EXPECT_NE(run.Output.find("Images sliced: " + std::to_string(slices) + " "), std::string::npos)
      << run.Output;
  for (const auto& item : fs::recursive_directory_iterator(copy.site())) {
    if (item.path().extension() != ".html") continue;
    const std::string page = fs::relative(item.path(), copy.site()).string();
    const std::string text = ReadPage(item.path().string());
    // Tables, and the layered pictures that stand between a table's rows.
    int found = 0;
    for (const char* made : {"<table data-vlm", "src=\"data:image/svg+xml"}) {
      for (size_t at = text.find(made); at != std::string::npos; at = text.find(made, at + 1)) {
        ++found;
      }
    }
    EXPECT_EQ(found, tables[page]) << page;
  }
}

}  // namespace
