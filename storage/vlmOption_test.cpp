#include "storage/vlmOption.h"

#include <gtest/gtest.h>

#include "platform/Exception.h"
#include "platform/File.h"
#include "platform/TempDir.h"

namespace {

using platform::ScopedEnv;
using platform::TempDir;

std::string Lines(std::initializer_list<const char*> lines, const char* end = "\r\n") {
  std::string text;
  for (const char* line : lines) text += std::string(line) + end;
  return text;
}

const std::initializer_list<const char*> kFixed = {"1", "0", "1", "1", "1", "0", "1", "16",
                                                   "16", "3", "3", "64", "64", "/custom",
                                                   "/last", "1"};

class OptionsTest : public testing::Test {
 protected:
  void SetUp() override { Options = TOptions{}; }
  void TearDown() override { Options = TOptions{}; }
  TempDir dir;
  ScopedEnv home{"VLM_HOME", dir.path()};
};

TEST_F(OptionsTest, LoadsSixteenLinesAndFileTypesInAnyLineEndForm) {
  for (const char* end : {"\r\n", "\n", "\r"}) {
    dir.Write("vlm.ini", Lines(kFixed, end) + "htm,HTML Document" + end + "php,PHP, Page" + end +
                             "nocomma" + end + end + ",empty ext");
    LoadOptions();
    EXPECT_EQ(Options.ATag, 1);
    EXPECT_EQ(Options.WidthHeight, 0);
    EXPECT_EQ(Options.InitialDirMode, 1);
    EXPECT_EQ(Options.PieHor, 3);
    EXPECT_EQ(Options.PixHeight, 64);
    EXPECT_EQ(Options.CustomDir, "/custom");
    EXPECT_EQ(Options.LastDir, "/last");
    EXPECT_EQ(Options.IncludeSubdir, 1);
    ASSERT_EQ(Options.FileTypes.size(), 5u) << "line end " << int(end[0]);
    EXPECT_EQ(Options.FileTypes[1].Extension, "php");
    EXPECT_EQ(Options.FileTypes[1].Description, "PHP, Page");
    EXPECT_EQ(Options.FileTypes[2].Extension, "");
    EXPECT_EQ(Options.FileTypes[2].Description, "nocomma");
    EXPECT_EQ(Options.FileTypes[3].Extension, "");
    EXPECT_EQ(Options.FileTypes[3].Description, "");
    EXPECT_EQ(Options.FileTypes[4].Description, "empty ext");
  }
}

TEST_F(OptionsTest, SixteenLinesGiveNoFileTypesAndSaveBackSixteen) {
  dir.Write("vlm.ini", Lines(kFixed));
  Options.FileTypes = {{"old", "Old"}};
  LoadOptions();
  EXPECT_TRUE(Options.FileTypes.empty());
  SaveOptions();
  EXPECT_EQ(dir.Read("vlm.ini"), Lines(kFixed));
}

TEST_F(OptionsTest, SaveNormalisesNumbersAndKeepsTextsAndBooleanBytes) {
  dir.Write("vlm.ini", Lines({"2", "256", "-1", "$1", "0x0", "  0", "007", "-5", "x10", "3", "3",
                              "64", "64", "  spaced  ", "", "1", "nocomma", "htm,HTML, page"}));
  LoadOptions();
  EXPECT_EQ(Options.ATag, 2);
  EXPECT_EQ(Options.WidthHeight, 0);
  EXPECT_EQ(Options.ProtectBMP, 255);
  EXPECT_EQ(Options.MinHeight, 16);
  SaveOptions();
  EXPECT_EQ(dir.Read("vlm.ini"),
            Lines({"2", "0", "255", "1", "0", "0", "7", "-5", "16", "3", "3", "64", "64",
                   "  spaced  ", "", "1", ",nocomma", "htm,HTML, page"}));
}

TEST_F(OptionsTest, MissingFileChangesNothing) {
  Options.PieHor = 9;
  try {
    LoadOptions();
    FAIL();
  } catch (const EStreamError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot open file \"" + dir.path() + "/vlm.ini\". No such file or directory");
  }
  EXPECT_EQ(Options.PieHor, 9);
}

TEST_F(OptionsTest, ShortFileFailsAtFirstMissingLineKeepingEarlierValues) {
  dir.Write("vlm.ini", Lines({"1", "1", "1", "1", "1", "1", "2", "10", "20", "4"}));
  Options.PieVer = 77;
  Options.FileTypes = {{"htm", "x"}};
  try {
    LoadOptions();
    FAIL();
  } catch (const EListError& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds (10)");
  }
  EXPECT_EQ(Options.PieHor, 4);
  EXPECT_EQ(Options.PieVer, 77);
  EXPECT_EQ(Options.FileTypes.size(), 1u);
}

TEST_F(OptionsTest, BadNumbersFailWithTheirLineText) {
  struct Case {
    int line;
    const char* text;
  } cases[] = {{0, ""}, {6, "5 "}, {12, "abc"}, {15, ""}, {8, "1.0"}};
  for (const auto& c : cases) {
    std::vector<const char*> lines(kFixed);
    lines[c.line] = c.text;
    std::string text;
    for (const char* l : lines) text += std::string(l) + "\r\n";
    dir.Write("vlm.ini", text);
    Options = TOptions{};
    try {
      LoadOptions();
      FAIL() << c.line;
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string(e.what()), "'" + std::string(c.text) + "' is not a valid integer value");
    }
  }
}

TEST_F(OptionsTest, EmptyTextLinesAreValid) {
  std::vector<const char*> lines(kFixed);
  lines[13] = "";
  lines[14] = "";
  std::string text;
  for (const char* l : lines) text += std::string(l) + "\n";
  dir.Write("vlm.ini", text + std::string("htm,x\n\0junk,after nul\n", 22));
  LoadOptions();
  EXPECT_EQ(Options.CustomDir, "");
  EXPECT_EQ(Options.LastDir, "");
  ASSERT_EQ(Options.FileTypes.size(), 1u) << "a NUL ends the data";
}

TEST_F(OptionsTest, SaveIntoUnwritableFolderFails) {
  ScopedEnv missing("VLM_HOME", dir / "missing");
  try {
    SaveOptions();
    FAIL();
  } catch (const EStreamError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot create file \"" + dir.path() + "/missing/vlm.ini\". No such file or directory");
  }
}

TEST_F(OptionsTest, IsKnownFileType) {
  Options.FileTypes = {{"htm", "HTML"}};
  EXPECT_TRUE(IsKnownFileType("/site/INDEX.HTM"));
  EXPECT_TRUE(IsKnownFileType("a.b.htm"));
  EXPECT_FALSE(IsKnownFileType("/site/index.html"));
  EXPECT_FALSE(IsKnownFileType("/my.site/readme"));
  EXPECT_FALSE(IsKnownFileType("/my.htm/readme"));
  Options.FileTypes = {{"HTM", "upper"}};
  EXPECT_FALSE(IsKnownFileType("INDEX.HTM"));
  EXPECT_FALSE(IsKnownFileType("index.htm"));
  Options.FileTypes = {{"htm", "x"}, {"", "no extension"}};
  EXPECT_TRUE(IsKnownFileType("/my.site/readme"));
  EXPECT_TRUE(IsKnownFileType("trailingdot."));
  Options.FileTypes.clear();
  EXPECT_FALSE(IsKnownFileType("index.htm"));
  EXPECT_FALSE(IsKnownFileType("readme"));
}

TEST(ProgramDir, FolderOfTheRunningProgramOrVlmHome) {
  {
    ScopedEnv home("VLM_HOME", "/some/where/");
    EXPECT_EQ(GetProgramDir(), "/some/where");
  }
  ::unsetenv("VLM_HOME");
  std::string dir = GetProgramDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_NE(dir.back(), '/');
  EXPECT_TRUE(platform::FileExists(dir + "/storage_test"));
}

TEST(TextLines, SplitAndJoin) {
  EXPECT_EQ(SplitTextLines(""), std::vector<std::string>{});
  EXPECT_EQ(SplitTextLines("a\r\n\r\nb\rc\nd"), (std::vector<std::string>{"a", "", "b", "c", "d"}));
  EXPECT_EQ(SplitTextLines("a\n\n"), (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(JoinTextLines({"a", ""}), "a\r\n\r\n");
  EXPECT_EQ(JoinTextLines({}), "");
}

}  // namespace
