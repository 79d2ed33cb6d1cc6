#include "platform/File.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/FileWriteBack.h"
#include "testsupport/SnapshotTree.h"
#include "testsupport/TempDir.h"

namespace platform {

using testsupport::ScopedEnv;
using testsupport::TempDir;
namespace {

TEST(File, ExclusiveAndSharedLocksExcludeEachOtherInOneProcess) {
  TempDir dir;
  std::string path = dir.Write("page.htm", "abc");
  File first;
  ASSERT_TRUE(first.Open(path, Access::ReadWrite, Sharing::Exclusive));
  File second;
  EXPECT_FALSE(second.Open(path, Access::Read, Sharing::Shared));
  EXPECT_FALSE(second.Open(path, Access::Read, Sharing::Exclusive));
  first.Close();
  EXPECT_TRUE(second.Open(path, Access::Read, Sharing::Shared));
  File third;
  EXPECT_TRUE(third.Open(path, Access::Read, Sharing::Shared));
  File writer;
  EXPECT_FALSE(writer.Create(path, Sharing::Exclusive));
  second.Close();
  third.Close();
  EXPECT_EQ(TempDir::ReadFile(path), "abc") << "a refused create must not empty the file";
}

TEST(File, LockHeldByAnotherProcessRefusesOpen) {
  TempDir dir;
  std::string path = dir.Write("page.htm", "abc");
  int ready[2];
  int release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t child = fork();
  if (child == 0) {
    File held;
    bool ok = held.Open(path, Access::ReadWrite, Sharing::Exclusive);
    char c = ok ? '1' : '0';
    (void)!write(ready[1], &c, 1);
    (void)!read(release[0], &c, 1);
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, '1');
  File mine;
  EXPECT_FALSE(mine.Open(path, Access::Read, Sharing::Shared));
  (void)!write(release[1], "x", 1);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(mine.Open(path, Access::Read, Sharing::Shared));
}

TEST(File, ReplaceFileSwapsContentAndLeavesNoTemporary) {
  TempDir dir;
  std::string path = dir.Write("vlm.ini", "old");
  dir.Write("vlm.ini.new", "the user's own file");
  ASSERT_TRUE(ReplaceFile(path, "new\r\n"));
  EXPECT_EQ(TempDir::ReadFile(path), "new\r\n");
  EXPECT_EQ(dir.Read("vlm.ini.new"), "the user's own file");
  EXPECT_EQ(testsupport::FilesOf(testsupport::SnapshotTree(dir.path())).size(), 2u) << "no temporary is left";
  std::string failed;
  EXPECT_FALSE(ReplaceFile(dir / "missing/vlm.ini", "x", &failed));
  EXPECT_EQ(failed, dir / "missing/vlm.ini");
}

TEST(File, ReplaceFileKeepsModeOwnerAndLink) {
  TempDir dir;
  const std::string path = dir.Write("vlm.ini", "old");
  // The administrator can give the file another owner; anyone else keeps
  // their own.
  const bool root = ::geteuid() == 0;
  const uid_t owner = root ? 4321 : ::geteuid();
  const gid_t group = root ? 4321 : ::getegid();
  ASSERT_EQ(::chown(path.c_str(), owner, group), 0);
  for (mode_t mode : {0600, 0664, 0640, 0755}) {
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    ASSERT_TRUE(ReplaceFile(path, "new"));
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode);
    EXPECT_EQ(st.st_uid, owner);
    EXPECT_EQ(st.st_gid, group);
  }
  const std::string link = dir / "link.ini";
  ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
  ASSERT_TRUE(ReplaceFile(link, "through the link"));
  struct stat st;
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(TempDir::ReadFile(path), "through the link");
}

TEST(File, IsReadOnlyFileLooksAtThePermissionBits) {
  TempDir dir;
  const std::string path = dir.Write("page.htm", "x");
  EXPECT_FALSE(IsReadOnlyFile(path));
  ::chmod(path.c_str(), 0444);
  EXPECT_TRUE(IsReadOnlyFile(path)) << "even for the administrator";
  EXPECT_FALSE(IsReadOnlyFile(dir / "missing.htm"));
}

TEST(File, WriteBackKeepsTheFileAndNeverTakesAName) {
  TempDir dir;
  const std::string page = dir.Write("page.htm", "protected text");
  ASSERT_EQ(::symlink(page.c_str(), (dir / "link.htm").c_str()), 0);
  ASSERT_EQ(::link(page.c_str(), (dir / "twin.htm").c_str()), 0);
  FileFacts facts = InspectFile(dir / "link.htm");
  EXPECT_TRUE(facts.Exists && facts.IsSymlink && facts.Regular);
  EXPECT_EQ(facts.Links, 2u);
  EXPECT_FALSE(InspectFile(page).IsSymlink);
  EXPECT_FALSE(InspectFile(dir / "none").Exists);

  ASSERT_TRUE(OverwriteInPlace(dir / "link.htm", "old"));
  EXPECT_EQ(dir.Read("twin.htm"), "old") << "written into the file the link leads to";
  EXPECT_TRUE(InspectFile(dir / "link.htm").IsSymlink);

  EXPECT_FALSE(CreateNewFile(page, "x", 0644));
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(dir.Read("page.htm"), "old");
  ASSERT_TRUE(CreateNewFile(dir / "new.gif", "GIF", 0640, true, ::getuid(), ::getgid()));
  EXPECT_EQ(InspectFile(dir / "new.gif").Mode, 0640u);
  EXPECT_FALSE(LinkNewName(dir / "new.gif", page));
  EXPECT_NE(RandomSuffix(), RandomSuffix());
}

TEST(File, GatheredWriteHoldsEveryPieceInOrderPastTheSystemsLimitPerCall) {
  TempDir dir;
  dir.Write("f", "0123456789");
  // More pieces than one call takes (1024), empty ones among them, and
  // pieces of a page's size beside single bytes.
  std::string text, big(70000, 'b');
  std::vector<std::string_view> pieces;
  for (int i = 0; i < 3000; ++i) {
    const std::string_view piece = i % 7 == 0   ? std::string_view()
                                   : i % 500 == 1 ? std::string_view(big)
                                                  : std::string_view("abc").substr(i % 2, 1 + i % 2);
    pieces.push_back(piece);
    text += piece;
  }
  File file;
  ASSERT_TRUE(file.Open(dir / "f", Access::ReadWrite, Sharing::Exclusive));
  ASSERT_TRUE(file.WriteAt(pieces, 3));
  ASSERT_TRUE(file.WriteAt(std::vector<std::string_view>(), 1));
  EXPECT_EQ(dir.Read("f"), "012" + text);
}

TEST(File, ForceDirectoriesMakesParents) {
  TempDir dir;
  EXPECT_TRUE(ForceDirectories(dir / "a/b/c"));
  EXPECT_TRUE(DirectoryExists(dir / "a/b/c"));
  EXPECT_TRUE(ForceDirectories(dir / "a/b/c"));
  dir.Write("file", "x");
  EXPECT_FALSE(ForceDirectories(dir / "file/sub"));
}

}  // namespace
}  // namespace platform
