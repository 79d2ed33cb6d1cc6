#pragma once

#include <functional>
#include <string>
#include <vector>

// Appends to `found` the pages (names IsKnownFileType accepts) of `folder`
// (ending with "/"), in the order the file system lists them. With
// `subfolders`, each subfolder is read where its entry is met, depth first.
// A folder that cannot be listed gives nothing. Links to folders are not
// followed, so a loop of links cannot trap the reading.
void ReadPages(const std::string& folder, bool subfolders, std::vector<std::string>& found);

// The page list of a run from command-line paths: folders are read as
// above, files are taken whatever their extension; a path already listed
// (compared without regard to letter case) is skipped. Paths are made
// absolute first.
std::vector<std::string> CollectPages(const std::vector<std::string>& paths, bool subfolders);

// `path` made absolute against the current folder, "." and ".." resolved.
std::string AbsolutePath(const std::string& path);
