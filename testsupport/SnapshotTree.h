#pragma once

#include <map>
#include <string>

namespace testsupport {

struct EntryState {
  bool Folder = false;
  unsigned Mode = 0;  // permission bits
  std::string Content;
  bool operator==(const EntryState&) const = default;
};

// Every file and folder under `root` by its path relative to it, with its
// permission bits and, for files, its bytes: two snapshots are equal when the
// trees hold the same entries byte for byte.
using TreeSnapshot = std::map<std::string, EntryState>;

TreeSnapshot SnapshotTree(const std::string& root);

// The files of `tree` with their bytes, folders and modes left out.
std::map<std::string, std::string> FilesOf(const TreeSnapshot& tree);

// A readable list of what differs, empty when the snapshots are equal.
std::string DescribeDifferences(const TreeSnapshot& before, const TreeSnapshot& after);

}  // namespace testsupport
