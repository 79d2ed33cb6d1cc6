#include "storage/FolderScan.h"

#include <filesystem>
#include <set>
#include <system_error>

#include "storage/vlmOption.h"

namespace fs = std::filesystem;

namespace {

struct Entry {
  std::string name;
  bool folder;
};

// The entries of `folder` without "." and "..", in the file system's order.
std::vector<Entry> ListFolder(const std::string& folder) {
  std::vector<Entry> entries;
  std::error_code error;
  fs::directory_iterator it(fs::path(folder), error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    std::error_code ignored;
    entries.push_back({it->path().filename().string(), it->is_directory(ignored)});
  }
  return entries;
}

bool ReadTreeOnce(const std::string& folder, std::vector<std::string>& found, const TScanStep& step,
                  std::set<std::string>& read) {
  std::error_code error;
  const fs::path real = fs::canonical(fs::path(folder), error);
  if (!error && !read.insert(real.string()).second) return true;
  for (const Entry& entry : ListFolder(folder)) {
    const std::string path = folder + entry.name;
    if (entry.folder) {
      if (!ReadTreeOnce(path + "/", found, step, read)) return false;
    } else if (IsKnownFileType(entry.name)) {
      found.push_back(path);
    }
    if (!step(path)) return false;
  }
  return true;
}

}  // namespace

bool ReadFolder(const std::string& folder, std::vector<std::string>& found, const TScanStep& step) {
  for (const Entry& entry : ListFolder(folder)) {
    const std::string path = folder + entry.name;
    if (!entry.folder && IsKnownFileType(entry.name)) found.push_back(path);
    if (!step(path)) return false;
  }
  return true;
}

bool ReadTree(const std::string& folder, std::vector<std::string>& found, const TScanStep& step) {
  std::set<std::string> read;
  return ReadTreeOnce(folder, found, step, read);
}

bool IsRegularFile(const std::string& path) {
  std::error_code error;
  return fs::is_regular_file(fs::path(path), error);
}
