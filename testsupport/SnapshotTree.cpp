#include "testsupport/SnapshotTree.h"

#include <sys/stat.h>

#include <filesystem>
#include <sstream>

#include "testsupport/TempDir.h"

namespace testsupport {

namespace fs = std::filesystem;

TreeSnapshot SnapshotTree(const std::string& root) {
  TreeSnapshot tree;
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    struct stat st;
    if (::lstat(item.path().c_str(), &st) != 0) continue;
    EntryState state;
    state.Folder = S_ISDIR(st.st_mode);
    state.Mode = st.st_mode & 07777;
    if (S_ISREG(st.st_mode)) state.Content = TempDir::ReadFile(item.path().string());
    tree[fs::relative(item.path(), root).string()] = std::move(state);
  }
  return tree;
}

std::string DescribeDifferences(const TreeSnapshot& before, const TreeSnapshot& after) {
  std::ostringstream out;
  for (const auto& [path, state] : before) {
    auto it = after.find(path);
    if (it == after.end()) {
      out << "missing: " << path << "\n";
    } else if (it->second.Folder != state.Folder) {
      out << "kind changed: " << path << "\n";
    } else if (it->second.Content != state.Content) {
      out << "content changed: " << path << " (" << state.Content.size() << " -> "
          << it->second.Content.size() << " bytes)\n";
    } else if (it->second.Mode != state.Mode) {
      out << "mode changed: " << path << std::oct << " (" << state.Mode << " -> " << it->second.Mode
          << ")" << std::dec << "\n";
    }
  }
  for (const auto& [path, state] : after) {
    if (!before.count(path)) out << "new: " << path << "\n";
  }
  return out.str();
}

std::map<std::string, std::string> FilesOf(const TreeSnapshot& tree) {
  std::map<std::string, std::string> files;
  for (const auto& [path, state] : tree) {
    if (!state.Folder) files[path] = state.Content;
  }
  return files;
}

}  // namespace testsupport
