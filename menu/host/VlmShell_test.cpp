// The vlm-shell program and the shipped file-manager actions, run as a user
// runs them, against a temporary installation.

#include <sys/stat.h>

#include <map>
#include <sstream>

#include "menu/MenuTesting.h"
#include "testsupport/ChildProcess.h"

namespace {

using testsupport::ScopedEnv;
using testsupport::TempDir;

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
  auto run = testsupport::RunShell(command);
  return {run.Status, run.Output};
}

// A desktop-entry file as the file managers read it: groups of "key=value"
// lines; comments and blank lines skipped.
using KeyFile = std::map<std::string, std::map<std::string, std::string>>;

KeyFile ParseKeyFile(const std::string& text) {
  KeyFile groups;
  std::istringstream in(text);
  std::string line, group;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      group = line.substr(1, line.size() - 2);
      continue;
    }
    const size_t equals = line.find('=');
    if (equals != std::string::npos)
      groups[group][line.substr(0, equals)] = line.substr(equals + 1);
  }
  return groups;
}

// A list value: items ended by ";".
std::vector<std::string> ListOf(const std::string& value) {
  std::vector<std::string> items;
  std::istringstream in(value);
  std::string item;
  while (std::getline(in, item, ';')) items.push_back(item);
  return items;
}

bool Holds(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

// The Exec line with %F replaced by `paths`, each quoted as the file manager
// quotes it, ready for a POSIX shell to split it into arguments as the file
// manager does.
std::string ExpandExec(const std::string& exec, const std::vector<std::string>& paths,
                       bool doubleQuotes) {
  std::string list;
  for (const auto& path : paths) {
    if (!list.empty()) list += ' ';
    list += doubleQuotes ? "\"" + path + "\"" : Quoted(path);
  }
  std::string command = exec;
  command.replace(command.find("%F"), 2, list);
  return command;
}

// The MIME type the shared MIME database gives to a file named *.`extension`,
// as a file manager finds it by name; empty when it names none.
std::string MimeTypeOf(const std::string& extension) {
  std::istringstream in(TempDir::ReadFile("/usr/share/mime/globs2"));
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string weight, type, glob;
    std::getline(fields, weight, ':');
    std::getline(fields, type, ':');
    std::getline(fields, glob, ':');
    if (glob == "*." + extension) return type;
  }
  return {};
}

// A program folder as an installation has it: vlm-shell, menu.so, vlm.ini
// and a stand-in for vlm that records how it was started. A stand-in for
// notify-send records what would be shown.
class InstalledProgramsTest : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(VLM_SHELL, folder + "/vlm-shell");
    std::filesystem::copy_file(MENU_LIBRARY, folder + "/menu.so");
    platform::ReplaceFile(folder + "/vlm.ini",
                          menutest::OptionsText({"htm,HTML Document", "stm,Server-parsed"}));
    menutest::WriteProgramRecorder(folder);
    dir.Write("bin/notify-send", "#!/bin/sh\nfor a in \"$@\"; do printf '%s|' \"$a\"; done >> " +
                                     Quoted(dir / "notified") + "\n");
    ::chmod((dir / "bin/notify-send").c_str(), 0755);
  }
  std::string Shell(const std::string& arguments) {
    return Quoted(folder + "/vlm-shell") + " " + arguments;
  }
  std::string HandOff() const { return TempDir::ReadFile(folder + "/files.tmp"); }
  std::string Notified() const { return TempDir::ReadFile(dir / "notified"); }
  std::string Install(const std::string& arguments) {
    return Quoted(std::string(DESKTOP_FILES) + "/install.sh") + " " + arguments;
  }

  TempDir dir;
  const std::string folder = dir / "Velmora 1.0";
  ScopedEnv registry{"VLM_REGISTRY", dir / "registry.reg"};
  ScopedEnv data{"XDG_DATA_HOME", dir / "data"};
  ScopedEnv config{"XDG_CONFIG_HOME", dir / "config"};
  ScopedEnv path{"PATH", dir / "bin:" + std::string(::getenv("PATH"))};
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
  Result after = RunShell(Shell("invoke --notify " + Quoted(site)));
  EXPECT_EQ(after.status, 1);
  EXPECT_NE(after.output.find("the selection has no \"&Protect Images\" item"), std::string::npos);
  EXPECT_NE(Notified().find("Velmora|the selection has no"), std::string::npos) << Notified();
}

TEST_F(InstalledProgramsTest, ShippedActionsOfferTheItemForFoldersAndPagesAndPassPathsWhole) {
  Result installed = RunShell(Install(Quoted(folder)));
  ASSERT_EQ(installed.status, 0) << installed.output;
  EXPECT_NE(installed.output.find("DllRegisterServer in " + folder + "/menu.so succeeded."),
            std::string::npos);
  const std::string site = files / "my site";
  const std::vector<std::string> selection = {site, files.Write("my site/a \"b\".htm", "")};
  const std::string handOff = selection[0] + "\r\n" + selection[1] + "\r\n";

  // Dolphin: every selected item must have one of the listed types.
  for (const char* menu : {"data/kio/servicemenus/velmora-protect-images.desktop",
                           "data/kservices5/ServiceMenus/velmora-protect-images.desktop"}) {
    struct stat info {};
    ASSERT_EQ(::stat((dir / menu).c_str(), &info), 0) << menu;
    EXPECT_TRUE(info.st_mode & S_IXUSR);  // local service menus must be executable
    KeyFile dolphin = ParseKeyFile(dir.Read(menu));
    EXPECT_EQ(dolphin["Desktop Entry"]["X-KDE-ServiceTypes"], "KonqPopupMenu/Plugin");
    EXPECT_EQ(dolphin["Desktop Entry"]["Actions"], "protectImages;");
    const auto types = ListOf(dolphin["Desktop Entry"]["MimeType"]);
    EXPECT_TRUE(Holds(types, "inode/directory"));
    EXPECT_TRUE(Holds(types, "text/html"));
    for (const char* extension : {"htm", "stm"}) {
      const std::string type = MimeTypeOf(extension);
      if (!type.empty()) {
        EXPECT_TRUE(Holds(types, type)) << extension << " " << type;
      }
    }
    EXPECT_FALSE(Holds(types, "image/jpeg"));
    const std::string exec = dolphin["Desktop Action protectImages"]["Exec"];
    EXPECT_EQ(exec, "\"" + folder + "/vlm-shell\" invoke --notify -- %F");
    std::filesystem::remove(folder + "/files.tmp");
    Result run = RunShell(ExpandExec(exec, selection, false));
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(HandOff(), handOff);
  }

  // Nemo: folders and the listed extensions only; paths in double quotes.
  KeyFile nemo = ParseKeyFile(dir.Read("data/nemo/actions/velmora-protect-images.nemo_action"));
  const auto extensions = ListOf(nemo["Nemo Action"]["Extensions"]);
  EXPECT_EQ(extensions, (std::vector<std::string>{"dir", "htm", "stm"}));
  EXPECT_EQ(nemo["Nemo Action"]["Quote"], "double");
  EXPECT_EQ(nemo["Nemo Action"]["Selection"], "notnone");
  std::filesystem::remove(folder + "/files.tmp");
  const std::vector<std::string> blanks = {site, files.Write("my site/a b.htm", "")};
  Result run = RunShell(ExpandExec(nemo["Nemo Action"]["Exec"], blanks, true));
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(HandOff(), blanks[0] + "\r\n" + blanks[1] + "\r\n");
  EXPECT_TRUE(platform::FileExists(dir / "config/caja/scripts/Protect Images"));

  // The options as the program saves them, in their keyed form.
  Result keyed = RunShell(
      Quoted(std::string(DESKTOP_FILES) + "/page-types.sh") + " --extensions " +
      Quoted(std::string(DESKTOP_FILES) + "/../../../tests/data/fuzz/options/vlm-keyed.ini"));
  EXPECT_EQ(keyed.output, "dir;htm;\n");
}

TEST_F(InstalledProgramsTest, TheScriptPassesItsArgumentsWholeAndRefusesLineBreaks) {
  ASSERT_EQ(RunShell(Install(Quoted(folder))).status, 0);
  const std::string script = Quoted(dir / "data/nautilus/scripts/Protect Images");
  const std::string site = files / "site";
  files.Write("site/photos/index.htm", "<html></html>");
  files.Write("site/index.htm", "<html></html>");

  // The names are the arguments, relative to the current folder.
  Result byArguments = RunShell("cd " + Quoted(site) + " && " + script + " index.htm photos");
  EXPECT_EQ(byArguments.status, 0) << byArguments.output;
  EXPECT_EQ(HandOff(), site + "/index.htm\r\n" + site + "/photos\r\n");
  std::filesystem::remove(folder + "/files.tmp");

  // A name with a line break is refused, never split into the names beside it,
  // whatever the file manager's variable says.
  for (const std::string name : {"photos\nold", "photos\rold", "index.htm\nold.htm"}) {
    const bool isPage = name.find(".htm") != std::string::npos;
    files.Write("site/" + name + (isPage ? "" : "/index.htm"), "<html></html>");
    Result refused = RunShell("cd " + Quoted(site) + " && NAUTILUS_SCRIPT_SELECTED_FILE_PATHS=" +
                              Quoted(site + "/" + name) + " " + script + " " + Quoted(name));
    EXPECT_EQ(refused.status, 1) << refused.output;
    std::string shown = site + "/" + name;
    const size_t at = shown.find_first_of("\r\n");
    shown.replace(at, 1, shown[at] == '\n' ? "\\n" : "\\r");
    EXPECT_NE(Notified().find("Cannot hand \"" + shown + "\" to the program"), std::string::npos)
        << Notified();
  }
  EXPECT_FALSE(platform::FileExists(folder + "/files.tmp"));
  EXPECT_EQ(TempDir::ReadFile(folder + "/starts"), "start\n");  // the first run only
}

TEST_F(InstalledProgramsTest, RemoveTakesEverythingAwayWithoutOptionsOrPrograms) {
  const std::string page = files.Write("page.htm", "<html></html>");
  for (bool programsGone : {false, true}) {
    ASSERT_EQ(RunShell(Install(Quoted(folder))).status, 0);
    // Options that cannot be read; then no program folder at all.
    std::filesystem::remove(folder + "/vlm.ini");
    Result removed = RunShell(Install("--remove " + Quoted(programsGone ? dir / "gone" : folder)));
    EXPECT_EQ(removed.status, 0) << removed.output;
    for (const char* file :
         {"data/kio/servicemenus/velmora-protect-images.desktop",
          "data/kservices5/ServiceMenus/velmora-protect-images.desktop",
          "data/nautilus/scripts/Protect Images", "config/caja/scripts/Protect Images",
          "data/nemo/actions/velmora-protect-images.nemo_action"}) {
      EXPECT_FALSE(platform::FileExists(dir / file)) << file;
    }
    // The handler keys and class keys go; the approval stays, as unregistering leaves it.
    const std::string registry = dir.Read("registry.reg");
    EXPECT_EQ(registry.find("ContextMenuHandlers\\Velmora"), std::string::npos) << registry;
    EXPECT_EQ(registry.find("CLSID\\{19741013"), std::string::npos) << registry;
    platform::ReplaceFile(folder + "/vlm.ini", menutest::OptionsText({"htm,HTML Document"}));
    EXPECT_EQ(RunShell(Shell("query " + Quoted(page))).output, "");
  }
}

TEST_F(InstalledProgramsTest, InstallerRefusesAFolderWithoutTheShell) {
  Result result = RunShell(Install(Quoted(files.path())));
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.output.find("no vlm-shell in"), std::string::npos);
}

}  // namespace
