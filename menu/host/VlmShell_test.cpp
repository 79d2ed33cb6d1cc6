// The vlm-shell program and the shipped file-manager actions, run as a user
// runs them, against a temporary installation.

#include <sys/stat.h>

#include <cstdio>

#include "menu/MenuTesting.h"

namespace {

using platform::ScopedEnv;
using platform::TempDir;

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct Result {
  int status = -1;
  std::string output;  // standard output and error
};

Result RunShell(const std::string& command) {
  Result result;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  const int status = ::pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// A program folder as an installation has it: vlm-shell, menu.so, vlm.ini
// and a stand-in for vlm that records how it was started.
class InstalledProgramsTest : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(VLM_SHELL, folder + "/vlm-shell");
    std::filesystem::copy_file(MENU_LIBRARY, folder + "/menu.so");
    platform::ReplaceFile(folder + "/vlm.ini", menutest::OptionsText({"htm,HTML Document"}));
    menutest::WriteProgramRecorder(folder);
  }
  std::string Shell(const std::string& arguments) {
    return Quoted(folder + "/vlm-shell") + " " + arguments;
  }
  std::string HandOff() const { return TempDir::ReadFile(folder + "/files.tmp"); }

  TempDir dir;
  const std::string folder = dir / "Velmora 1.0";
  ScopedEnv registry{"VLM_REGISTRY", dir / "registry.reg"};
  TempDir files;
};

TEST_F(InstalledProgramsTest, RegisterThenInvokeStartsTheProgramWithTheSelection) {
  Result registered = RunShell(Shell("register"));
  EXPECT_EQ(registered.status, 0);
  EXPECT_EQ(registered.output, "DllRegisterServer in " + folder + "/menu.so succeeded.\n");

  const std::string site = files.Write("my site/index.htm", "<html></html>");
  Result query = RunShell(Shell("query " + Quoted(site)));
  EXPECT_EQ(query.output, "&Protect Images\tProtect images on the Web page(s)\n");

  Result invoked = RunShell(Shell("invoke " + Quoted(files / "my site") + " " + Quoted(site)));
  EXPECT_EQ(invoked.status, 0) << invoked.output;
  EXPECT_EQ(HandOff(), files / "my site" + "\r\n" + site + "\r\n");
  ASSERT_TRUE(menutest::AwaitFile(folder + "/started"));
  EXPECT_EQ(TempDir::ReadFile(folder + "/started"), "arg:/menu\ncwd:" + folder + "\n");

  EXPECT_EQ(RunShell(Shell("unregister")).status, 0);
  Result after = RunShell(Shell("invoke " + Quoted(site)));
  EXPECT_EQ(after.status, 1);
  EXPECT_EQ(after.output, "vlm-shell: the selection has no \"&Protect Images\" item\n");
}

TEST_F(InstalledProgramsTest, ShippedActionsCallTheShellWithTheSelection) {
  ScopedEnv data("XDG_DATA_HOME", dir / "data");
  ScopedEnv config("XDG_CONFIG_HOME", dir / "config");
  const std::string install = Quoted(std::string(DESKTOP_FILES) + "/install.sh");
  Result installed = RunShell(install + " " + Quoted(folder));
  ASSERT_EQ(installed.status, 0) << installed.output;
  EXPECT_NE(installed.output.find("DllRegisterServer in " + folder + "/menu.so succeeded."),
            std::string::npos);

  const std::string dolphin =
      TempDir::ReadFile(dir / "data/kio/servicemenus/velmora-protect-images.desktop");
  EXPECT_NE(dolphin.find("\nExec=\"" + folder + "/vlm-shell\" invoke %F\n"), std::string::npos);
  EXPECT_NE(TempDir::ReadFile(dir / "data/nemo/actions/velmora-protect-images.nemo_action")
                .find("\nExec=\"" + folder + "/vlm-shell\" invoke %F\n"),
            std::string::npos);
  struct stat info {};
  ASSERT_EQ(::stat((dir / "data/kio/servicemenus/velmora-protect-images.desktop").c_str(), &info),
            0);
  EXPECT_TRUE(info.st_mode & S_IXUSR);  // local service menus must be executable
  EXPECT_TRUE(platform::FileExists(dir / "config/caja/scripts/Protect Images"));

  // Nautilus hands the selection in its variable, one path a line.
  const std::string script = Quoted(dir / "data/nautilus/scripts/Protect Images");
  const std::string page = files.Write("a b/page.htm", "<html></html>");
  const std::string folderPath = files / "a b";
  Result byVariable =
      RunShell("NAUTILUS_SCRIPT_SELECTED_FILE_PATHS=" + Quoted(folderPath + "\n" + page + "\n") +
               " " + script);
  EXPECT_EQ(byVariable.status, 0) << byVariable.output;
  EXPECT_EQ(HandOff(), folderPath + "\r\n" + page + "\r\n");

  // Without it, the names are the arguments, relative to the current folder.
  Result byArguments = RunShell("cd " + Quoted(folderPath) + " && " + script + " page.htm");
  EXPECT_EQ(byArguments.status, 0) << byArguments.output;
  EXPECT_EQ(HandOff(), page + "\r\n");

  Result removed = RunShell(install + " --remove " + Quoted(folder));
  EXPECT_EQ(removed.status, 0) << removed.output;
  EXPECT_FALSE(platform::FileExists(dir / "data/nautilus/scripts/Protect Images"));
  EXPECT_FALSE(platform::FileExists(dir / "data/kio/servicemenus/velmora-protect-images.desktop"));
  EXPECT_EQ(RunShell(Shell("query " + Quoted(page))).output, "");
}

TEST_F(InstalledProgramsTest, InstallerRefusesAFolderWithoutTheShell) {
  Result result =
      RunShell(Quoted(std::string(DESKTOP_FILES) + "/install.sh") + " " + Quoted(files.path()));
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.output.find("no vlm-shell in"), std::string::npos);
}

}  // namespace
