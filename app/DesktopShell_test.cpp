#include "app/DesktopShell.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "testsupport/TempDir.h"

namespace {

TEST(DesktopShell, HelpTopicsArePagesOfTheHelpFolderBesideTheProgram) {
  testsupport::ScopedEnv home("VLM_HOME", "/opt/velmora");
  EXPECT_EQ(HelpTopicUrl("main.htm").toString(), "file:///opt/velmora/Help/main.htm");
  EXPECT_EQ(HelpTopicUrl("index.htm#adddir").toString(),
            "file:///opt/velmora/Help/index.htm#adddir");
  EXPECT_EQ(HelpTopicUrl("option.htm#file").toLocalFile(), "/opt/velmora/Help/option.htm");
}

TEST(DesktopShell, TheBuildPutsEveryTopicOfTheProgramBesideIt) {
  const std::string help = std::filesystem::path(VLM_PROGRAM).parent_path().string() + "/Help/";
  const std::pair<const char*, const char*> topics[] = {{"main.htm", ""},
                                                        {"index.htm", "id=\"adddir\""},
                                                        {"option.htm", ""},
                                                        {"option.htm", "id=\"file\""}};
  for (auto [page, place] : topics) {
    const std::string text = testsupport::TempDir::ReadFile(help + page);
    EXPECT_NE(text.find("<title>"), std::string::npos) << page;
    EXPECT_NE(text.find(place), std::string::npos) << page << " " << place;
  }
}

}  // namespace
