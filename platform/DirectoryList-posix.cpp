#include "platform/DirectoryList.h"

#include <dirent.h>
#include <sys/stat.h>

namespace platform {

std::vector<DirectoryEntry> ListDirectory(const std::string& folder) {
  std::vector<DirectoryEntry> entries;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return entries;
  while (dirent* item = ::readdir(dir)) {
    std::string name = item->d_name;
    if (name == "." || name == "..") continue;
    bool isDirectory = item->d_type == DT_DIR;
    if (item->d_type == DT_UNKNOWN) {
      struct stat st;
      std::string path = folder + (folder.empty() || folder.back() == '/' ? "" : "/") + name;
      isDirectory = ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    entries.push_back({std::move(name), isDirectory});
  }
  ::closedir(dir);
  return entries;
}

}  // namespace platform
