#pragma once

#include <cstdint>
#include <map>
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
  // What the run left in each file it wrote, by path (N.sum); HasDigests is
  // false for a set made before sets had one.
  bool HasDigests = false;
  std::map<std::string, std::string> Digests;
};

// Reads and checks `baseName`.ind/.dat/.img/.sum. Entries are trusted only as far
// as their records are whole and their data lies inside the data file; all
// else is described in Problems. Raises Exception when the index cannot be
// read at all.
TBackupSet ReadBackupSet(const std::string& baseName);

// The numbers of the sets in `folder` (those with an N.ind), ascending.
std::vector<int> ListBackupSets(const std::string& folder);

// Reads the content of one entry from the set's data file.
std::string ReadBackupContent(const TBackupSet& set, const TBackupEntry& entry);
