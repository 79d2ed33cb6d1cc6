// The context-menu hand-off as a user meets it: vlm-shell registers menu.so
// and chooses "Protect Images" for a folder and a page, which starts vlm with
// "/menu"; vlm takes the selection from the hand-off file and protects it.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "engine/BmpCodec.h"
#include "testsupport/TestImages.h"
#include "testsupport/TempDir.h"
#include "testsupport/Wait.h"

namespace {

using testsupport::ScopedEnv;
using testsupport::TempDir;
namespace fs = std::filesystem;

constexpr char kPage[] = "<html><head></head><body><img src=photo.bmp></body></html>";

int Shell(const std::string& arguments) {
  const std::string command = "'" VLM_PROGRAM_DIR "/vlm-shell' " + arguments;
  return WEXITSTATUS(std::system(command.c_str()));
}

// The vlm processes that run in `folder`: those the context menu started for
// this test, since it starts vlm in the program folder, here VLM_HOME.
std::vector<pid_t> ProgramsIn(const std::string& folder) {
  std::vector<pid_t> found;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator("/proc", ignored)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const fs::path exe = fs::read_symlink(entry.path() / "exe", ignored);
    if (ignored || exe != fs::path(VLM_PROGRAM_DIR "/vlm")) continue;
    if (fs::read_symlink(entry.path() / "cwd", ignored) == fs::path(folder)) {
      found.push_back(static_cast<pid_t>(std::stoi(name)));
    }
  }
  return found;
}

class ContextMenuRun : public testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(VLM_PROGRAM_DIR "/vlm.ini", home / "vlm.ini");
    page = site.Write("index.htm", kPage);
    site.Write("photo.bmp", EncodeBmp(testimages::Gradient(90, 60)));
    other = site.Write("folder/other.html", kPage);
    site.Write("folder/photo.bmp", EncodeBmp(testimages::Gradient(80, 60)));
  }
  void TearDown() override {
    // The program stays open after its run, as for a user; end it as the
    // system does.
    for (pid_t pid : ProgramsIn(home.path())) ::kill(pid, SIGTERM);
    EXPECT_TRUE(testsupport::WaitFor([&] { return ProgramsIn(home.path()).empty(); }));
    for (pid_t pid : ProgramsIn(home.path())) ::kill(pid, SIGKILL);
  }

  TempDir home, site, config;
  ScopedEnv homeVariable{"VLM_HOME", home.path()};
  ScopedEnv runtime{"XDG_RUNTIME_DIR", home.path()};
  ScopedEnv registry{"VLM_REGISTRY", config / "registry.reg"};
  ScopedEnv platformPlugin{"QT_QPA_PLATFORM", "offscreen"};
  std::string page, other;
};

TEST_F(ContextMenuRun, InvokingTheItemProtectsTheFolderAndThePage) {
  ASSERT_EQ(Shell("register >/dev/null"), 0);
  ASSERT_EQ(Shell("invoke '" + site / "folder" + "' '" + page + "'"), 0);
  ASSERT_TRUE(testsupport::WaitFor([&] {
    return !fs::exists(site / "photo.bmp") && !fs::exists(site / "folder/photo.bmp");
  })) << "the run did not end";
  EXPECT_NE(TempDir::ReadFile(page).find("<table "), std::string::npos);
  EXPECT_NE(TempDir::ReadFile(other).find("<table "), std::string::npos);
  EXPECT_FALSE(fs::exists(home / "files.tmp")) << "the program deletes the hand-off file";
  EXPECT_TRUE(fs::exists(home / "Backup"));
  EXPECT_EQ(ProgramsIn(home.path()).size(), 1u);
}

TEST_F(ContextMenuRun, WithoutRegistrationNothingStarts) {
  EXPECT_EQ(Shell("invoke '" + page + "' 2>/dev/null"), 1);
  EXPECT_FALSE(fs::exists(home / "files.tmp"));
  EXPECT_TRUE(ProgramsIn(home.path()).empty());
  EXPECT_EQ(TempDir::ReadFile(page), kPage);
}

}  // namespace
