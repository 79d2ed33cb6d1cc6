#pragma once

#include <cstdint>
#include <string>

// Putting a file back where another one stands, without disturbing what
// the path leads to: links, owner, group and permission bits.

namespace platform {

// What a path leads to now. `Links`, `Owner`, `Group` and `Mode` describe
// the file the path resolves to (after following symbolic links).
struct FileFacts {
  bool Exists = false;     // something is there (a dangling link counts)
  bool Regular = false;    // the path resolves to a regular file
  bool IsSymlink = false;  // the path itself is a symbolic link
  uint64_t Links = 0;
  uint32_t Owner = 0;
  uint32_t Group = 0;
  uint32_t Mode = 0;       // permission bits, 07777
  int64_t ModifiedAt = 0;  // last change of the content, seconds since 1970
};
FileFacts InspectFile(const std::string& path);

// Writes `data` into the file `path` resolves to, from its first byte, cuts
// it to that length and forces it to the disk. The file stays the same file:
// its other names, owner, group and mode are kept. Not one step: a crash
// half way leaves a mix of old and new bytes. False with errno set.
bool OverwriteInPlace(const std::string& path, const std::string& data);

// Creates `path` only when nothing is there (fails with EEXIST otherwise),
// writes `data`, gives it `owner` and `group` (when `setOwner`) and `mode`,
// and forces it to the disk. On failure nothing is left at `path` unless the
// process dies on the way; errno is set.
bool CreateNewFile(const std::string& path, const std::string& data, uint32_t mode,
                   bool setOwner = false, uint32_t owner = 0, uint32_t group = 0);

// The permission bits a new file gets by default (0666 less the umask).
uint32_t DefaultFileMode();

// Renames `from` over `to` and forces the folder entry to the disk.
bool RenameOver(const std::string& from, const std::string& to);

// Gives `existing` the further name `name`, which must not exist (EEXIST).
bool LinkNewName(const std::string& existing, const std::string& name);

// Sixteen hexadecimal digits from the system's random source: a temporary
// name made with it does not exist yet, and nobody can guess it.
std::string RandomSuffix();

}  // namespace platform
