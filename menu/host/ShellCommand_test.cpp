// vlm-shell's commands run in this process against copies of the real
// library.

#include "menu/host/ShellCommand.h"

#include <sstream>

#include "menu/MenuTesting.h"

namespace {

using menutest::MenuInstallation;
using testsupport::ScopedEnv;
using testsupport::TempDir;

// Records what vlm-shell would show the user.
class RecordingNotifier final : public Notifier {
 public:
  void Notify(const std::string& message) override { messages.push_back(message); }
  std::vector<std::string> messages;
};

struct Command {
  explicit Command(std::vector<std::string> arguments) {
    status = RunShellCommand(arguments, out, err, notifier);
  }
  // The one notification shown, or "" when none was.
  std::string Shown() const {
    EXPECT_LE(notifier.messages.size(), 1u);
    return notifier.messages.empty() ? "" : notifier.messages[0];
  }
  int status;
  std::ostringstream out;
  std::ostringstream err;
  RecordingNotifier notifier;
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
  Command missing({"query", "--", files / "nothing.htm"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err.str(), "vlm-shell: \"" + files / "nothing.htm" +
                                   "\" does not exist; it is left out.\n"
                                   "vlm-shell: Nothing to protect: none of the selected items "
                                   "exists.\n");
  EXPECT_TRUE(missing.notifier.messages.empty());
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
  EXPECT_EQ(nothing.err.str(),
            "vlm-shell: the selection has no \"&Protect Images\" item: it holds no folder and no "
            "page whose extension is in the file-type list of vlm.ini.\n");
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

TEST_F(ShellCommandTest, WithNotifyEveryFailureIsShownToTheUser) {
  ASSERT_EQ(Register(), 0);
  menutest::WriteProgramRecorder(install.Folder());
  const std::string page = Page("site/index.htm");
  const std::string handOff = install.Folder() + "/files.tmp";

  // Options that cannot be read.
  const std::string options = TempDir::ReadFile(install.Folder() + "/vlm.ini");
  std::filesystem::remove(install.Folder() + "/vlm.ini");
  Command broken({"invoke", "--notify", page});
  EXPECT_EQ(broken.status, 1);
  EXPECT_NE(broken.Shown().find("Cannot open file \"" + install.Folder() + "/vlm.ini\""),
            std::string::npos)
      << broken.Shown();
  platform::ReplaceFile(install.Folder() + "/vlm.ini", options);

  // A selection without pages.
  Command photo({"invoke", "--notify", Page("site/photo.jpg")});
  EXPECT_EQ(photo.status, 1);
  EXPECT_NE(photo.Shown().find("holds no folder and no page"), std::string::npos) << photo.Shown();
  // The same without --notify says it on standard error only.
  Command quiet({"invoke", Page("site/photo.jpg")});
  EXPECT_TRUE(quiet.notifier.messages.empty());
  EXPECT_NE(quiet.err.str().find("holds no folder and no page"), std::string::npos);

  // A hand-off file that cannot be written.
  std::filesystem::create_directory(handOff);
  Command blocked({"invoke", "--notify", page});
  EXPECT_EQ(blocked.status, 1);
  EXPECT_NE(blocked.Shown().find(handOff), std::string::npos) << blocked.Shown();
  std::filesystem::remove(handOff);

  // A path that vanished is left out, and the rest goes on.
  Command vanished({"invoke", "--notify", "--", files / "gone", page});
  EXPECT_EQ(vanished.status, 0) << vanished.err.str();
  EXPECT_EQ(vanished.Shown(), "\"" + files / "gone" + "\" does not exist; it is left out.");
  EXPECT_EQ(TempDir::ReadFile(handOff), page + "\r\n");
  Command allGone({"invoke", "--notify", files / "gone"});
  EXPECT_EQ(allGone.status, 1);
  EXPECT_NE(allGone.Shown().find("none of the selected items exists"), std::string::npos);
}

TEST_F(ShellCommandTest, ANameWithALineBreakIsRefusedWithItsPath) {
  ASSERT_EQ(Register(), 0);
  menutest::WriteProgramRecorder(install.Folder());
  Page("site/photos/index.htm");
  Page("site/index.htm");
  for (const std::string name : {"photos\nold", "photos\rold", "index.htm\nold.htm"}) {
    const bool isPage = name.find(".htm") != std::string::npos;
    Page("site/" + name + (isPage ? "" : "/index.htm"));
    Command run({"invoke", "--notify", "--", files / "site/" + name});
    EXPECT_EQ(run.status, 1);
    std::string shown = name;
    const size_t at = shown.find_first_of("\r\n");
    shown.replace(at, 1, shown[at] == '\n' ? "\\n" : "\\r");
    EXPECT_EQ(run.Shown(), "\"&Protect Images\" failed (0x8007007B): Cannot hand \"" +
                               files / "site/" + shown +
                               "\" to the program: its name holds a line break. Rename it to "
                               "protect its images.");
  }
  EXPECT_FALSE(platform::FileExists(install.Folder() + "/files.tmp"));
  EXPECT_FALSE(platform::FileExists(install.Folder() + "/starts"));
}

}  // namespace
