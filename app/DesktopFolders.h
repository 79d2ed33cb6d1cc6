#pragma once

#include <string>
#include <vector>

// What the folder chooser shows at its top level and which folders the
// desktop keeps out of sight. One header; the code for each system lies in
// a file of its own.

struct TFolderRoot {
  enum class Kind { FileSystem, Home, Volume };
  std::string path;     // full path, ending with "/"
  std::string caption;  // what the tree shows for it
  Kind kind;
};

// The top-level entries of the folder chooser, in the order shown. On POSIX
// systems: the file system root "/", the user's home folder, and the mounted
// volumes a desktop user sees in a file manager: those mounted under /media,
// /run/media or /mnt that are local (no network share) and not optical discs.
std::vector<TFolderRoot> DesktopFolderRoots();

// True when the folder named `name` is hidden from the user: on POSIX
// systems a name that starts with ".".
bool IsHiddenFolderName(const std::string& name);
