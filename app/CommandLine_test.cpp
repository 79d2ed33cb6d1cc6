#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include "app/AppTest.h"
#include "platform/Exception.h"
#include "platform/File.h"

namespace {

using Paths = std::vector<std::string>;
using namespace std::string_literals;

TEST(CommandLine, ArgumentsArePathsUnlessTheOnlyOneIsExactlyMenu) {
  apptest::ProgramFolder home;
  home.Write("files.tmp", "/never/read\r\n");
  EXPECT_EQ(CommandLinePaths({}), Paths{});
  EXPECT_EQ(CommandLinePaths({"/a b/page.htm", "/site"}), (Paths{"/a b/page.htm", "/site"}));
  EXPECT_EQ(CommandLinePaths({"/MENU"}), Paths{"/MENU"});
  EXPECT_EQ(CommandLinePaths({"/menu", "/site/page.htm"}), (Paths{"/menu", "/site/page.htm"}));
  EXPECT_TRUE(platform::FileExists(home / "files.tmp"));
}

TEST(CommandLine, HandOffFileIsReadInEveryLineEndFormAndDeleted) {
  apptest::ProgramFolder home;
  const Paths expected = {"/site", "/site/page one.htm"};
  for (const std::string& text :
       {"/site\r\n/site/page one.htm\r\n"s, "/site\r/site/page one.htm\r"s,
        "/site\n/site/page one.htm"s, "/site\n/site/page one.htm\n"s,
        "/site\r\n/site/page one.htm\0/ignored\r\n"s}) {
    home.Write("files.tmp", text);
    EXPECT_EQ(CommandLinePaths({"/menu"}), expected) << text;
    EXPECT_FALSE(platform::FileExists(home / "files.tmp"));
  }
  home.Write("files.tmp", "");
  EXPECT_EQ(CommandLinePaths({"/menu"}), Paths{});
}

TEST(CommandLine, MissingHandOffFileIsAnErrorNamingFileAndCause) {
  apptest::ProgramFolder home;
  try {
    CommandLinePaths({"/menu"});
    FAIL() << "no error";
  } catch (const Exception& error) {
    EXPECT_EQ(std::string(error.what()),
              "Cannot open file \"" + home / "files.tmp" + "\". No such file or directory");
  }
}

}  // namespace
