#include "storage/FolderScan.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "platform/File.h"
#include "platform/Path.h"
#include "storage/vlmOption.h"

namespace fs = std::filesystem;

namespace {

struct Entry {
  std::string name;
  bool folder;
};

// Letter case aside, byte by byte; names that differ only in case keep a
// fixed order.
bool NameBefore(const Entry& a, const Entry& b) {
  auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
  const size_t common = std::min(a.name.size(), b.name.size());
  for (size_t i = 0; i < common; ++i) {
    const int x = fold(static_cast<unsigned char>(a.name[i]));
    const int y = fold(static_cast<unsigned char>(b.name[i]));
    if (x != y) return x < y;
  }
  if (a.name.size() != b.name.size()) return a.name.size() < b.name.size();
  return a.name < b.name;
}

// The entries of `folder` without "." and "..", folders and files together,
// sorted by name as the user sees a folder listed, whatever order the file
// system keeps them in.
std::vector<Entry> ListFolder(const std::string& folder) {
  std::vector<Entry> entries;
  std::error_code error;
  fs::directory_iterator it(fs::path(folder), error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    std::error_code ignored;
    entries.push_back({it->path().filename().string(), it->is_directory(ignored)});
  }
  std::sort(entries.begin(), entries.end(), NameBefore);
  return entries;
}

bool ReadTreeOnce(const std::string& folder, std::vector<std::string>& found, const TScanStep& step,
                  std::set<std::string>& read, const TFolderFilter& enter) {
  std::error_code error;
  const fs::path real = fs::canonical(fs::path(folder), error);
  if (!error && !read.insert(real.string()).second) return true;
  for (const Entry& entry : ListFolder(folder)) {
    const std::string path = folder + entry.name;
    if (entry.folder) {
      if ((!enter || enter(entry.name)) && !ReadTreeOnce(path + "/", found, step, read, enter)) {
        return false;
      }
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

bool ReadTree(const std::string& folder, std::vector<std::string>& found, const TScanStep& step,
              const TFolderFilter& enter) {
  std::set<std::string> read;
  return ReadTreeOnce(folder, found, step, read, enter);
}

bool IsRegularFile(const std::string& path) {
  std::error_code error;
  return fs::is_regular_file(fs::path(path), error);
}

std::string PageKey(const std::string& path) {
  uint64_t device = 0, inode = 0;
  if (!platform::FileIdentity(path, device, inode)) return "path:" + path;
  return "file:" + std::to_string(device) + ":" + std::to_string(inode);
}
