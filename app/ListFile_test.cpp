#include "app/ListFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/Exception.h"
#include "testsupport/TempDir.h"

namespace {

using Lines = std::vector<std::string>;

TEST(ListFile, WritesEveryLineWithCrLfAndReadsItBack) {
  testsupport::TempDir dir;
  const std::string list = dir / "pages.lst";
  const Lines paths = {"/web/a.htm", "/web/sub dir/b.html", "/web/\xe4.htm"};
  WriteListFile(list, paths);
  EXPECT_EQ(dir.Read("pages.lst"), "/web/a.htm\r\n/web/sub dir/b.html\r\n/web/\xe4.htm\r\n");
  EXPECT_EQ(ReadListFile(list), paths);

  WriteListFile(list, {});
  EXPECT_EQ(dir.Read("pages.lst"), "");
  EXPECT_TRUE(ReadListFile(list).empty());
}

TEST(ListFile, ReadsEveryKindOfLineEndAndStopsAtNul) {
  testsupport::TempDir dir;
  dir.Write("mixed.lst", std::string("a\r\nb\nc\rd\r\n\r\ne\0f\r\n", 19));
  EXPECT_EQ(ReadListFile(dir / "mixed.lst"), (Lines{"a", "b", "c", "d", "", "e"}));
  dir.Write("open.lst", "x\r\ny");
  EXPECT_EQ(ReadListFile(dir / "open.lst"), (Lines{"x", "y"}));
}

TEST(ListFile, FailuresNameTheFileAndTheCause) {
  testsupport::TempDir dir;
  try {
    ReadListFile(dir / "missing.lst");
    FAIL() << "read a missing file";
  } catch (const EStreamError& error) {
    EXPECT_EQ(std::string(error.what()),
              "Cannot open file \"" + dir / "missing.lst" + "\". No such file or directory");
  }
  dir.Write("kept.lst", "old\r\n");
  try {
    WriteListFile(dir / "no/such/folder.lst", {"a"});
    FAIL() << "wrote into a missing folder";
  } catch (const EStreamError& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot create file \"" + dir / "no/such/folder.lst" +
                                             "\". No such file or directory");
  }
}

}  // namespace
