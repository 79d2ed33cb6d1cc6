// vlm-shell's commands run in this process against copies of the real
// library.

#include "menu/host/ShellCommand.h"

#include <sstream>

#include "menu/MenuTesting.h"

namespace {

using menutest::MenuInstallation;
using platform::ScopedEnv;
using platform::TempDir;

struct Command {
  explicit Command(std::vector<std::string> arguments) {
    status = RunShellCommand(arguments, out, err);
  }
  int status;
  std::ostringstream out;
  std::ostringstream err;
};

class ShellCommandTest : public testing::Test {
 protected:
  std::string Page(const std::string& name) { return files.Write(name, "<html></html>"); }
  int Register() { return Command({"register", install.LibraryPath()}).status; }

  MenuInstallation install;
  TempDir files;
};

TEST_F(ShellCommandTest, WrongUseShowsTheUsage) {
  for (const std::vector<std::string>& arguments :
       std::vector<std::vector<std::string>>{{},
                                             {"frobnicate"},
                                             {"query"},
                                             {"invoke"},
                                             {"query", "--flags"},
                                             {"query", "--flags", "x1", "/"},
                                             {"register", "a", "b"}}) {
    Command run(arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.str().find("usage: vlm-shell"), std::string::npos);
  }
  Command missing({"query", files / "nothing.htm"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.str().find("nothing.htm: no such file or folder"), std::string::npos);
}

TEST_F(ShellCommandTest, RegisterAndUnregisterReportTheirResult) {
  Command registered({"register", install.LibraryPath()});
  EXPECT_EQ(registered.status, 0) << registered.err.str();
  EXPECT_EQ(registered.out.str(),
            "DllRegisterServer in " + install.LibraryPath() + " succeeded.\n");
  Command unregistered({"unregister", install.LibraryPath()});
  EXPECT_EQ(unregistered.status, 0);
  EXPECT_EQ(unregistered.out.str(),
            "DllUnregisterServer in " + install.LibraryPath() + " succeeded.\n");

  Command absent({"register", files / "absent.so"});
  EXPECT_EQ(absent.status, 1);
  EXPECT_NE(absent.err.str().find("cannot load " + files / "absent.so"), std::string::npos);
}

TEST_F(ShellCommandTest, ARegistrationFailureShowsTheLibrarysReason) {
  files.Write("plain", "");
  ScopedEnv registry("VLM_REGISTRY", files / "plain/registry.reg");
  Command run({"register", install.LibraryPath()});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.str(), "vlm-shell: DllRegisterServer in " + install.LibraryPath() +
                               " failed (0x80004005): Error creating system registry entry\n");
}

TEST_F(ShellCommandTest, QueryListsTheItemOnlyWhenRegisteredAndWanted) {
  const std::string page = Page("index.htm");
  Command unregistered({"query", page});
  EXPECT_EQ(unregistered.status, 0);
  EXPECT_EQ(unregistered.out.str(), "");

  ASSERT_EQ(Register(), 0);
  Command registered({"query", page, files.path()});
  EXPECT_EQ(registered.out.str(), "&Protect Images\tProtect images on the Web page(s)\n");
  EXPECT_EQ(registered.err.str(), "");
  EXPECT_EQ(Command({"query", Page("photo.jpg")}).out.str(), "");
  EXPECT_EQ(Command({"query", "--flags", "1", page}).out.str(), "");
  EXPECT_NE(Command({"query", "--flags", "0x5", page}).out.str(), "");
}

TEST_F(ShellCommandTest, InvokeHandsTheSelectionToTheProgram) {
  ASSERT_EQ(Register(), 0);
  menutest::WriteProgramRecorder(install.Folder());
  const std::string page = Page("site/index.htm");
  Command run({"invoke", files / "site/", page, Page("site/photo.jpg")});
  EXPECT_EQ(run.status, 0) << run.err.str();
  EXPECT_EQ(TempDir::ReadFile(install.Folder() + "/files.tmp"),
            files / "site" + "\r\n" + page + "\r\n");
  ASSERT_TRUE(menutest::AwaitFile(install.Folder() + "/started"));
  EXPECT_EQ(TempDir::ReadFile(install.Folder() + "/started"),
            "arg:/menu\ncwd:" + install.Folder() + "\n");

  Command nothing({"invoke", Page("photo.png")});
  EXPECT_EQ(nothing.status, 1);
  EXPECT_EQ(nothing.err.str(), "vlm-shell: the selection has no \"&Protect Images\" item\n");
}

TEST_F(ShellCommandTest, ALibraryThatRefusesToLoadIsReported) {
  ASSERT_EQ(Register(), 0);
  std::filesystem::remove(install.Folder() + "/vlm.ini");
  Command run({"query", Page("index.htm")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.str(), "");
  EXPECT_NE(
      run.err.str().find(install.LibraryPath() + ": failed (0x8000FFFF): Cannot open file \"" +
                         install.Folder() + "/vlm.ini\""),
      std::string::npos)
      << run.err.str();
  EXPECT_EQ(Command({"invoke", Page("index.htm")}).status, 1);
}

TEST_F(ShellCommandTest, ABrokenRegistryIsReported) {
  platform::ReplaceFile(install.RegistryPath(), "garbage\n");
  Command run({"query", Page("index.htm")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.str().find("Cannot read the registry"), std::string::npos);
}

}  // namespace
