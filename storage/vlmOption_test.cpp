#include "storage/vlmOption.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "platform/Exception.h"
#include "platform/File.h"
#include "testsupport/TempDir.h"
#include "storage/Convert.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ScopedEnv;
using testsupport::TempDir;

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

// The keyed form that SaveOptions writes for kFixed with the given tail.
std::string Keyed(const std::string& tail = "", const char* png = "1", const char* webp = "1") {
  return Lines({"[Velmora options 2]", "ATag=1", "WidthHeight=0", "ProtectBMP=1", "ProtectGIF=1",
                "ProtectJPG=1"}) +
         "ProtectPNG=" + png + "\r\nProtectWebP=" + webp + "\r\n" +
         Lines({"SliceByPixels=0", "InitialDirMode=1", "MinWidth=16", "MinHeight=16", "PieHor=3",
                "PieVer=3", "PixWidth=64", "PixHeight=64", "CustomDir=/custom", "LastDir=/last",
                "IncludeSubdir=1"}) +
         tail;
}

TEST_F(OptionsTest, SixteenLinesLoadWithTheNewKindsOnAndSaveInTheKeyedForm) {
  dir.Write("vlm.ini", Lines(kFixed));
  Options.FileTypes = {{"old", "Old"}};
  Options.SiteRoot = "/old";
  Options.Markup = TMarkup::Layered;
  LoadOptions();
  EXPECT_TRUE(Options.FileTypes.empty());
  EXPECT_EQ(Options.ProtectPNG, 1);
  EXPECT_EQ(Options.ProtectWebP, 1);
  EXPECT_EQ(Options.SiteRoot, "");
  EXPECT_EQ(Options.Markup, TMarkup::Table);
  SaveOptions();
  const std::string saved = dir.Read("vlm.ini");
  EXPECT_EQ(saved, Keyed("SiteRoot=\r\nMarkup=table\r\n"));
  // A reader of the positional form fails on the first line before it
  // changes any value, instead of taking the keys for file types.
  int32_t number = 0;
  EXPECT_FALSE(TryStrToInt(SplitTextLines(saved)[0], number));
}

TEST_F(OptionsTest, KeyedFormRoundTripsNewValuesUnknownLinesAndFileTypes) {
  const std::string text =
      Keyed("SiteRoot=/srv/www=site \r\nMarkup=layered\r\nFutureOption=7\r\nno equals sign\r\n"
            "FileType=htm,HTML, page\r\nFileType=nocomma\r\nFileType=\r\n",
            "0", "2");
  dir.Write("vlm.ini", text);
  LoadOptions();
  EXPECT_EQ(Options.ProtectPNG, 0);
  EXPECT_EQ(Options.ProtectWebP, 2);
  EXPECT_EQ(Options.SiteRoot, "/srv/www=site ");
  EXPECT_EQ(Options.Markup, TMarkup::Layered);
  EXPECT_EQ(Options.CustomDir, "/custom");
  ASSERT_EQ(Options.FileTypes.size(), 3u);
  EXPECT_EQ(Options.FileTypes[0].Description, "HTML, page");
  EXPECT_EQ(Options.FileTypes[1].Extension, "");
  EXPECT_EQ(Options.FileTypes[1].Description, "nocomma");
  EXPECT_EQ(Options.OtherLines, (std::vector<std::string>{"FutureOption=7", "no equals sign"}));
  SaveOptions();
  EXPECT_EQ(dir.Read("vlm.ini"),
            Keyed("SiteRoot=/srv/www=site \r\nMarkup=layered\r\nFutureOption=7\r\nno equals "
                  "sign\r\nFileType=htm,HTML, page\r\nFileType=,nocomma\r\nFileType=,\r\n",
                  "0", "2"));
}

TEST_F(OptionsTest, KeyedFormWithoutNewKeysTakesTheirFirstValues) {
  std::string text = Keyed("FileType=htm,x\n");
  for (const char* key : {"ProtectPNG=1\r\n", "ProtectWebP=1\r\n"}) {
    text.erase(text.find(key), std::string(key).size());
  }
  dir.Write("vlm.ini", text);
  LoadOptions();
  EXPECT_EQ(Options.ProtectPNG, 1);
  EXPECT_EQ(Options.ProtectWebP, 1);
  EXPECT_EQ(Options.Markup, TMarkup::Table);
  EXPECT_EQ(Options.FileTypes.size(), 1u);
}

TEST_F(OptionsTest, KeyedFormRefusals) {
  struct Case {
    std::string text;
    const char* message;
  } cases[] = {
      {"[Velmora options 3]\r\n",
       "'[Velmora options 3]' is not a form of vlm.ini that this version reads"},
      {Lines({"[Velmora options 2]", "ATag=1"}), "Option \"WidthHeight\" is missing"},
      {Keyed("Markup=frames\r\n"), "'frames' is not a valid markup (table or layered)"},
      {Keyed("ProtectPNG=yes\r\n"), "'yes' is not a valid integer value"},
  };
  for (const auto& c : cases) {
    dir.Write("vlm.ini", c.text);
    Options.FileTypes = {{"kept", "x"}};
    try {
      LoadOptions();
      ADD_FAILURE() << c.text;
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    EXPECT_EQ(Options.FileTypes.size(), 1u) << c.message;
  }
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
            Lines({"[Velmora options 2]", "ATag=2", "WidthHeight=0", "ProtectBMP=255",
                   "ProtectGIF=1", "ProtectJPG=0", "ProtectPNG=1", "ProtectWebP=1",
                   "SliceByPixels=0", "InitialDirMode=7", "MinWidth=-5", "MinHeight=16", "PieHor=3",
                   "PieVer=3", "PixWidth=64", "PixHeight=64", "CustomDir=  spaced  ", "LastDir=",
                   "IncludeSubdir=1", "SiteRoot=", "Markup=table", "FileType=,nocomma",
                   "FileType=htm,HTML, page"}));
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

TEST_F(OptionsTest, SaveFailuresNameTheFileThatCouldNotBeMadeAndLeaveTheOldOne) {
  const std::string ini = dir / "vlm.ini";
  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::string home;
    std::string message;
  };
  const Case cases[] = {
      {"a missing folder", [] {}, dir / "missing",
       "Cannot create file \"" + dir.path() + "/missing/vlm.ini\". No such file or directory"},
      {"a read-only file", [&] { ::chmod(ini.c_str(), 0444); }, dir.path(),
       "Cannot create file \"" + ini + "\". Permission denied"},
  };
  for (const Case& c : cases) {
    dir.Write("vlm.ini", "as the user left it\r\n");
    ::chmod(ini.c_str(), 0644);
    c.arrange();
    ScopedEnv home("VLM_HOME", c.home);
    try {
      SaveOptions();
      ADD_FAILURE() << c.what;
    } catch (const EStreamError& e) {
      EXPECT_EQ(std::string(e.what()), c.message) << c.what;
    }
    EXPECT_EQ(dir.Read("vlm.ini"), "as the user left it\r\n") << c.what;
  }
  struct stat st;
  ASSERT_EQ(::stat(ini.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u) << "the read-only file keeps its mode";

  // What stands at the name a save once used for its new file is the user's.
  ::chmod(ini.c_str(), 0644);
  fs::create_directory(ini + ".new");
  ScopedEnv home("VLM_HOME", dir.path());
  SaveOptions();
  EXPECT_TRUE(fs::is_directory(ini + ".new"));
  EXPECT_NE(dir.Read("vlm.ini"), "as the user left it\r\n");
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
