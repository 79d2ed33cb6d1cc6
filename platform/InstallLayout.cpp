#include "platform/InstallLayout.h"

#include "platform/File.h"
#include "platform/ModulePath.h"

namespace platform {

namespace {

// The folders of a prefix installation, relative to the prefix; the build
// passes the ones it installs into.
constexpr char kProgramsFolder[] = VLM_INSTALL_BINDIR;
constexpr char kLibraryFolder[] = VLM_INSTALL_PKGLIBDIR;
constexpr char kSharedFolder[] = VLM_INSTALL_PKGDATADIR;

// True when `folder` is `prefix` + "/" + `tail`; sets `prefix` ("" for "/").
bool IsFolderOfPrefix(const std::string& folder, const std::string& tail, std::string& prefix) {
  if (folder.size() <= tail.size() || folder.compare(folder.size() - tail.size(), tail.size(), tail) != 0 ||
      folder[folder.size() - tail.size() - 1] != '/') {
    return false;
  }
  prefix = folder.substr(0, folder.size() - tail.size() - 1);
  return true;
}

}  // namespace

InstallLayout InstallLayoutAround(const std::string& moduleFolder) {
  InstallLayout flat{moduleFolder, moduleFolder, moduleFolder, false};
  std::string prefix;
  if (!IsFolderOfPrefix(moduleFolder, kProgramsFolder, prefix) &&
      !IsFolderOfPrefix(moduleFolder, kLibraryFolder, prefix)) {
    return flat;
  }
  const std::string shared = prefix + "/" + kSharedFolder;
  if (FileExists(moduleFolder + "/vlm.ini") || !FileExists(shared + "/vlm.ini")) return flat;
  return {prefix + "/" + kProgramsFolder, prefix + "/" + kLibraryFolder, shared, true};
}

InstallLayout CurrentInstallLayout() {
  const std::string module = ModulePath();
  const size_t slash = module.rfind('/');
  if (slash == std::string::npos) return InstallLayoutAround(".");
  return InstallLayoutAround(slash == 0 ? "/" : module.substr(0, slash));
}

}  // namespace platform
