#include "platform/Process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/File.h"
#include "testsupport/TempDir.h"
#include "testsupport/Wait.h"

namespace {

using testsupport::TempDir;

// A program that records its arguments, its folder and whether descriptor 7
// is open, each on a line, then renames the record into place.
std::string WriteRecorder(const TempDir& dir) {
  const std::string script = dir.Write("bin/recorder",
                                       "#!/bin/sh\n"
                                       "out=\"$(dirname \"$0\")/record\"\n"
                                       "{ for a in \"$@\"; do echo \"arg:$a\"; done\n"
                                       "  echo \"cwd:$(pwd)\"\n"
                                       "  if [ -e /proc/self/fd/7 ]; then echo fd7:open; "
                                       "else echo fd7:closed; fi\n"
                                       "} > \"$out.tmp\"\n"
                                       "mv \"$out.tmp\" \"$out\"\n");
  ::chmod(script.c_str(), 0755);
  return script;
}

TEST(ProcessTest, StartsDetachedWithArgumentsFolderAndOnlyStandardDescriptors) {
  TempDir dir;
  const std::string program = WriteRecorder(dir);
  const std::string work = dir.Write("work/.keep", "");
  // A descriptor the caller holds without close-on-exec must not leak.
  int leaked = ::open(program.c_str(), O_RDONLY);
  ASSERT_GE(leaked, 0);
  ASSERT_EQ(::dup2(leaked, 7), 7);

  ASSERT_TRUE(platform::StartDetached(program, {"/menu", "two words", ""}, dir / "work"));
  // The started program is no child of ours: nothing to reap, no zombie.
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);

  ASSERT_TRUE(testsupport::AwaitFile(dir / "bin/record"));
  EXPECT_EQ(TempDir::ReadFile(dir / "bin/record"),
            "arg:/menu\narg:two words\narg:\ncwd:" + dir.path() + "/work\nfd7:closed\n");
  ::close(7);
  ::close(leaked);
}

TEST(ProcessTest, ReportsProgramsThatCannotStart) {
  TempDir dir;
  EXPECT_FALSE(platform::StartDetached(dir / "missing", {}, dir.path()));
  EXPECT_EQ(errno, ENOENT);

  const std::string plain = dir.Write("plain", "#!/bin/sh\n");
  ::chmod(plain.c_str(), 0644);
  EXPECT_FALSE(platform::StartDetached(plain, {}, dir.path()));
  EXPECT_EQ(errno, EACCES);

  const std::string program = WriteRecorder(dir);
  EXPECT_FALSE(platform::StartDetached(program, {}, dir / "no/such/folder"));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
}

}  // namespace
