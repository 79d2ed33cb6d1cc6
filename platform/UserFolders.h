#pragma once

#include <string>

namespace platform {

// The user's home folder: $HOME, else the password database's entry, else "/".
std::string HomeFolder();

// The user's base folders for configuration and data: $XDG_CONFIG_HOME and
// $XDG_DATA_HOME when they hold an absolute path, else ~/.config and
// ~/.local/share. Without a trailing "/".
std::string ConfigHome();
std::string DataHome();

// The user's runtime folder, $XDG_RUNTIME_DIR when it holds an absolute
// path; empty when the session has none.
std::string RuntimeFolder();

// True when this process may create and delete entries in the folder `path`
// (a read-only file system counts as not writable, also for root).
bool IsWritableFolder(const std::string& path);

}  // namespace platform
