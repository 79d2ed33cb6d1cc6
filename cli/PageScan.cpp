#include "cli/PageScan.h"

#include <filesystem>
#include <unordered_set>

#include "platform/File.h"
#include "storage/FolderScan.h"

std::string AbsolutePath(const std::string& path) {
  std::string normal = std::filesystem::absolute(path).lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

std::vector<std::string> CollectPages(const std::vector<std::string>& paths, bool subfolders) {
  std::vector<std::string> pages;
  std::unordered_set<std::string> listed;
  auto add = [&](const std::string& page) {
    if (listed.insert(PageKey(page)).second) pages.push_back(page);
  };
  for (const auto& path : paths) {
    std::string full = AbsolutePath(path);
    if (platform::DirectoryExists(full)) {
      std::vector<std::string> found;
      const std::string folder = full == "/" ? full : full + "/";
      const TScanStep all = [](const std::string&) { return true; };
      subfolders ? ReadTree(folder, found, all) : ReadFolder(folder, found, all);
      for (const auto& page : found) add(page);
    } else {
      add(full);
    }
  }
  return pages;
}
