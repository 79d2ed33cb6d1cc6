#pragma once

#include <string>
#include <vector>

namespace platform {

struct DirectoryEntry {
  std::string Name;
  bool IsDirectory = false;  // a real folder; a link to one does not count
};

// The entries of `folder` in the order the file system delivers them,
// without "." and "..". Empty when the folder cannot be listed.
std::vector<DirectoryEntry> ListDirectory(const std::string& folder);

}  // namespace platform
