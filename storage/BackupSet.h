#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Reading a backup set back and putting its files where they were.

struct TBackupEntry {
  std::string Name;     // the path as recorded (cut to 255 bytes when longer)
  int32_t Size = 0;     // bytes of the entry in the data file
  int64_t Offset = 0;   // where they start in the data file
  bool IsImage = false; // a sliced source image (its pieces are in the list)
  int PieceLine = -1;   // its line of the image list, -1 if it has none
  int32_t Mode = -1;    // the file's permission bits when it was backed up, -1 unknown
};

struct TBackupSet {
  std::string BaseName;  // folder + number, without extension
  std::vector<TBackupEntry> Entries;      // only entries whose data is whole
  std::vector<std::string> PieceLines;    // the valid lines of the image list
  std::vector<std::string> Problems;      // what was found wrong, for the user
  int64_t DataLength = 0;
};

// Reads and checks `baseName`.ind/.dat/.img. Entries are trusted only as far
// as their records are whole and their data lies inside the data file; all
// else is described in Problems. Raises Exception when the index cannot be
// read at all.
TBackupSet ReadBackupSet(const std::string& baseName);

// The numbers of the sets in `folder` (those with an N.ind), ascending.
std::vector<int> ListBackupSets(const std::string& folder);

// Reads the content of one entry from the set's data file.
std::string ReadBackupContent(const TBackupSet& set, const TBackupEntry& entry);

struct TRestoreReport {
  std::vector<std::string> Restored;  // files written back
  std::vector<std::string> Removed;   // piece files deleted
  std::vector<std::string> KeptAside; // copies made of files changed since the run
  std::vector<std::string> Skipped;   // "path: reason", files left as they are
  bool Ok() const { return Skipped.empty(); }
};

// Decides whether a file now holding `current` may be replaced by the
// backed-up `original`: it must be a state the run could have left behind.
using TAccountFor = std::function<bool(const TBackupEntry& entry, const std::string& current,
                                       const std::string& original)>;

// Puts every file of the set back, newest entries first so the oldest copy of
// a file wins, then deletes the piece files listed for each image. A file
// that exists keeps its permissions; one that is gone gets those recorded. A file
// that exists, differs from its backup and is not accounted for by
// `accountFor` is first copied to its path + ".before-restore" and reported,
// so nothing the user changed since the run is lost. An entry whose recorded
// path may have been cut (255 bytes) is not written and is reported.
TRestoreReport RestoreBackupSet(const TBackupSet& set, const TAccountFor& accountFor);
