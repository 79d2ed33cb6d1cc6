#pragma once

#include <set>
#include <string>

// Forces everything written to the file systems that hold `folders` to the
// disk, each file system once. A folder that cannot be looked at is no
// reason to skip its data: then every file system is forced instead.
// Reports nothing; forcing data out is done as well as the system allows.
void SyncFileSystemsOf(const std::set<std::string>& folders);
