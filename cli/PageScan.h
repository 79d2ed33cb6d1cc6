#pragma once

#include <string>
#include <vector>

// The page list of a run from command-line paths: folders are read as the
// windowed program's add-folder command reads them (with their subfolders
// when `subfolders`), files are taken whatever their extension; a page
// already listed under another name (the same PageKey) is skipped. Paths are
// made absolute first.
std::vector<std::string> CollectPages(const std::vector<std::string>& paths, bool subfolders);

// `path` made absolute against the current folder, "." and ".." resolved.
std::string AbsolutePath(const std::string& path);
