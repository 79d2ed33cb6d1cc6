#include "storage/GlobalLib.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "testsupport/TempDir.h"

namespace {

using testsupport::TempDir;

template <typename F>
EFileHandlerError CatchFileError(F f) {
  try {
    f();
  } catch (const EFileHandlerError& e) {
    return e;
  }
  ADD_FAILURE() << "no file error raised";
  return EFileHandlerError(0, "");
}

TEST(FileHandler, CreateAppendFlushWritesExactlyTheBytes) {
  TempDir dir;
  std::string path = dir / "out.dat";
  {
    TFileHandler file(path, TFileHandler::CreateTag{});
    EXPECT_EQ(file.FileSize(), 0);
    file.Append("ab");
    file.Append(std::string("\0\r\n", 3));
    file.Append("");
    EXPECT_EQ(file.BufferLength(), 5);
    file.Flush();
    file.Flush();  // same bytes again at offset 0
  }
  EXPECT_EQ(dir.Read("out.dat"), std::string("ab\0\r\n", 5));
}

TEST(FileHandler, FlushWithoutAppendLeavesFileEmptyAndDestructionDoesNotFlush) {
  TempDir dir;
  { TFileHandler file(dir / "empty", TFileHandler::CreateTag{}); file.Flush(); }
  EXPECT_EQ(dir.Read("empty"), "");
  { TFileHandler file(dir / "lost", TFileHandler::CreateTag{}); file.Append("never written"); }
  EXPECT_EQ(dir.Read("lost"), "");
}

TEST(FileHandler, OpenReadsWholeFileAndFlushOverwritesFromStart) {
  TempDir dir;
  std::string path = dir.Write("page.htm", "0123456789");
  TFileHandler file(path, fmOpenReadWrite | fmShareExclusive);
  EXPECT_EQ(file.FileSize(), 10);
  std::string text = "stale";
  file.Read(text, 0);
  EXPECT_EQ(text, "0123456789");
  file.Append("abc");
  file.Flush();
  EXPECT_EQ(dir.Read("page.htm"), "abc3456789") << "a longer tail stays";
}

TEST(FileHandler, ReadOfEmptyFileGivesEmptyText) {
  TempDir dir;
  std::string path = dir.Write("empty.htm", "");
  TFileHandler file(path, fmOpenRead);
  std::string text = "x";
  file.Read(text, 0);
  EXPECT_EQ(text, "");
}

TEST(FileHandler, ErrorsCarryCodeAndTheNameAsGiven) {
  TempDir dir;
  auto open = CatchFileError([&] { TFileHandler f(dir / "missing.htm", fmOpenRead); });
  EXPECT_EQ(open.ErrorCode, 102);
  EXPECT_EQ(std::string(open.what()), "Can not open file " + (dir / "missing.htm"));

  auto create = CatchFileError([&] { TFileHandler f(dir / "no/such/dir/x", TFileHandler::CreateTag{}); });
  EXPECT_EQ(create.ErrorCode, 101);
  EXPECT_EQ(std::string(create.what()), "Can not create file " + (dir / "no/such/dir/x"));

  auto size = CatchFileError([&] { FileSizeOf("relative-missing.htm"); });
  EXPECT_EQ(size.ErrorCode, 102);
  EXPECT_STREQ(size.what(), "Can not open file relative-missing.htm");
}

TEST(FileHandler, ShortReadRaisesReadErrorInsteadOfInventingBytes) {
  TempDir dir;
  std::string path = dir.Write("page.htm", "0123456789");
  TFileHandler file(path, fmOpenRead | fmShareDenyNone);
  ASSERT_EQ(::truncate(path.c_str(), 4), 0);  // the file shrinks after it was opened
  std::string text;
  auto error = CatchFileError([&] { file.Read(text, 0); });
  EXPECT_EQ(error.ErrorCode, 103);
  EXPECT_EQ(std::string(error.what()), "Can not read file " + path);
}

TEST(FileHandler, FailedFlushKeepsBufferForRetry) {
  TempDir dir;
  std::string path = dir.Write("page.htm", "old");
  TFileHandler file(path, fmOpenRead | fmShareExclusive);  // read only: writing fails
  file.Append("new");
  auto error = CatchFileError([&] { file.Flush(); });
  EXPECT_EQ(error.ErrorCode, 104);
  EXPECT_EQ(file.Buffer(), "new");
  EXPECT_EQ(dir.Read("page.htm"), "old");
}

TEST(FileHandler, ExclusiveHandlersExcludeEachOther) {
  TempDir dir;
  std::string path = dir.Write("page.htm", "x");
  {
    TFileHandler page(path, fmOpenReadWrite | fmShareExclusive);
    EXPECT_EQ(CatchFileError([&] { TFileHandler other(path, fmOpenReadWrite | fmShareExclusive); })
                  .ErrorCode, 102);
    EXPECT_EQ(CatchFileError([&] { TFileHandler image(path, fmOpenRead); }).ErrorCode, 102);
    EXPECT_EQ(CatchFileError([&] { FileSizeOf(path); }).ErrorCode, 102);
  }
  EXPECT_EQ(FileSizeOf(path), 1);
  TFileHandler reader1(path, fmOpenRead | fmShareDenyNone);
  TFileHandler reader2(path, fmOpenRead | fmShareDenyWrite);
  EXPECT_EQ(CatchFileError([&] { TFileHandler page(path, fmOpenReadWrite | fmShareExclusive); })
                .ErrorCode, 102);
}

TEST(FileHandler, PageHeldByAnotherProcessCannotBeOpened) {
  TempDir dir;
  std::string path = dir.Write("page.htm", "x");
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t child = fork();
  if (child == 0) {
    TFileHandler held(path, fmOpenReadWrite | fmShareExclusive);
    char c = '1';
    (void)!write(ready[1], &c, 1);
    (void)!read(release[0], &c, 1);
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  EXPECT_EQ(CatchFileError([&] { TFileHandler page(path, fmOpenReadWrite | fmShareExclusive); })
                .ErrorCode, 102);
  (void)!write(release[1], "x", 1);
  waitpid(child, nullptr, 0);
  TFileHandler page(path, fmOpenReadWrite | fmShareExclusive);
  EXPECT_EQ(page.FileSize(), 1);
}

TEST(ShowError, DefaultPrintsAndHandlerCanBeReplaced) {
  std::vector<std::pair<int, std::string>> seen;
  auto old = SetShowErrorHandler([&](int n, const std::string& m) { seen.emplace_back(n, m); });
  ShowError(102, "Can not open file a.htm");
  EXPECT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].first, 102);
  SetShowErrorHandler(old);
  testing::internal::CaptureStderr();
  ShowError(201, "Division by zero");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error #201: Division by zero\n");
}

}  // namespace
