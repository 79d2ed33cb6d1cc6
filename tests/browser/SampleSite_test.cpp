// The sample site through vlm-cli as the demo runs it: protect, then restore.

#include <gtest/gtest.h>

#include <filesystem>

#include "SampleCopy.h"

namespace {

namespace fs = std::filesystem;

// The paths that are missing, extra or different in `actual`; empty when the
// two trees are the same byte for byte.
std::string Differences(const std::map<std::string, std::string>& expected,
                        const std::map<std::string, std::string>& actual) {
  std::string out;
  for (const auto& [path, bytes] : expected) {
    auto it = actual.find(path);
    if (it == actual.end())
      out += "missing " + path + "\n";
    else if (it->second != bytes)
      out += "changed " + path + "\n";
  }
  for (const auto& [path, bytes] : actual) {
    if (!expected.count(path)) out += "extra " + path + "\n";
  }
  return out;
}

TEST(SampleSite, ProtectThenRestoreGivesTheSampleBack) {
  SampleCopy copy;
  const auto original = platform::SnapshotTree(SampleSiteDir());

  TChildResult run = copy.Cli({"protect", copy.site()});
  ASSERT_TRUE(run.Succeeded()) << run.Tail();
  EXPECT_NE(run.Output.find("Pages protected: 7 of 7"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("Images sliced: 10 (90 pieces)"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("Errors: 0"), std::string::npos) << run.Output;
  // Sliced pictures are gone (their bytes are in the backup set); those left
  // alone stay, or the pages that show them would break.
  for (const char* gone : {"images/mountains.gif", "images/harbour.jpg", "images/meadow.jpg",
                           "images/tiles.bmp", "sub/images/stone.bmp", "images/logo.gif"}) {
    EXPECT_FALSE(fs::exists(copy.site() + "/" + gone)) << gone;
  }
  for (const char* kept :
       {"images/button.gif", "images/keep.gif", "images/banner.gif", "images/dot.gif"}) {
    EXPECT_TRUE(fs::exists(copy.site() + "/" + kept)) << kept;
  }
  EXPECT_TRUE(fs::exists(copy.home() + "/Backup")) << "the backup set belongs in VLM_HOME";
  EXPECT_NE(Differences(original, platform::SnapshotTree(copy.site())), "");

  run = copy.Cli({"restore"});
  ASSERT_TRUE(run.Succeeded()) << run.Tail();
  EXPECT_EQ(Differences(original, platform::SnapshotTree(copy.site())), "")
      << "restore must give back the sample byte for byte";
}

}  // namespace
