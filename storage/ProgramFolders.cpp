#include "storage/ProgramFolders.h"

#include <cstdlib>

#include "platform/File.h"
#include "platform/InstallLayout.h"
#include "platform/UserFolders.h"

namespace {

constexpr char kOwnFolder[] = "/velmora";

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

TProgramFolders ChooseProgramFolders(const TFolderFacts& facts) {
  if (!facts.Home.empty()) {
    const std::string home = WithoutTrailingSlash(facts.Home);
    return {home, home, home, home};
  }
  const std::string& program = facts.Installation;
  if (facts.InstallationWritable) return {program, program, program, program};
  const std::string options = facts.ConfigHome + kOwnFolder;
  const std::string handOff =
      facts.RuntimeFolder.empty() ? options : facts.RuntimeFolder + kOwnFolder;
  return {program, options, facts.DataHome + kOwnFolder, handOff};
}

TFolderFacts CurrentFolderFacts() {
  TFolderFacts facts;
  if (const char* home = std::getenv("VLM_HOME"); home && *home) facts.Home = home;
  // An installation spread over a prefix (/usr/bin, /usr/share/velmora)
  // ships its files in share/velmora/ and belongs to the package manager:
  // not even root's programs write there.
  const platform::InstallLayout layout = platform::CurrentInstallLayout();
  facts.Installation = layout.Shared;
  facts.InstallationWritable = !layout.Spread && platform::IsWritableFolder(facts.Installation);
  facts.ConfigHome = platform::ConfigHome();
  facts.DataHome = platform::DataHome();
  facts.RuntimeFolder = platform::RuntimeFolder();
  return facts;
}

TProgramFolders GetProgramFolders() { return ChooseProgramFolders(CurrentFolderFacts()); }

std::string GetOptionsFile() { return OptionsFileIn(GetProgramFolders()); }

std::string OptionsFileIn(const TProgramFolders& folders) {
  const std::string path = folders.Options + "/vlm.ini";
  if (folders.Options != folders.Program && !platform::FileExists(path) &&
      platform::ForceDirectories(folders.Options)) {
    std::string shipped;
    if (platform::ReadWholeFile(folders.Program + "/vlm.ini", shipped)) {
      platform::ReplaceFile(path, shipped);
    }
  }
  return path;
}

std::string GetBackupDir() { return GetProgramFolders().Data + "/Backup/"; }

std::string GetHandOffFile() {
  const std::string folder = GetProgramFolders().HandOff;
  platform::ForceDirectories(folder);
  return folder + "/files.tmp";
}
