#pragma once

#include <functional>
#include <string>
#include <vector>

// Reading folders for pages. Each folder's entries are taken sorted by name,
// folders and files alike, without regard to letter case and character by
// character (page124 before page34), so that pages are added in an order
// the user can follow. Hidden entries are read like any other. A folder that cannot be listed yields no entries and no error.

// Called after every entry with the entry's full path; returns false to stop
// the reading after that entry.
using TScanStep = std::function<bool(const std::string& path)>;

// Appends to `found` the files directly in `folder` (which ends with "/")
// whose name IsKnownFileType accepts. Returns false when `step` stopped it.
bool ReadFolder(const std::string& folder, std::vector<std::string>& found, const TScanStep& step);

// Given a subfolder's name, whether a tree reading goes into it.
using TFolderFilter = std::function<bool(const std::string& name)>;

// As ReadFolder, and reads every subfolder where its entry is met, depth
// first, so that the pages of a subfolder stand in `found` at the place of
// the subfolder's entry. Each real folder is read once: a symbolic link that
// leads back to a folder already read is not followed again, so link loops
// end. With `enter`, only the subfolders it accepts are read. Returns false
// when `step` stopped it; the callers stop with it.
bool ReadTree(const std::string& folder, std::vector<std::string>& found, const TScanStep& step,
              const TFolderFilter& enter = nullptr);

// True when `path` names a regular file (after following links). Folders,
// devices, sockets and pipes are not pages: opening a pipe to measure it
// would wait for a writer for ever.
bool IsRegularFile(const std::string& path);

// The key under which a page is listed once, the same in every program: its
// file identity (device and inode), so that a page reached through a
// symbolic or hard link, or spelt differently, counts once; the path as
// spelt when the file cannot be looked at.
std::string PageKey(const std::string& path);
