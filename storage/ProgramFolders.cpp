#include "storage/ProgramFolders.h"

#include <cstdlib>

#include "platform/File.h"
#include "platform/ModulePath.h"
#include "platform/UserFolders.h"

namespace {

constexpr char kOwnFolder[] = "/velmora";

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string FolderOf(const std::string& file) {
  const size_t slash = file.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : file.substr(0, slash);
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
  facts.Installation = FolderOf(platform::ModulePath());
  facts.InstallationWritable = platform::IsWritableFolder(facts.Installation);
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
