#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/File.h"

// A backup set is three files in the backup folder, N being the first number
// whose N.ind does not exist yet:
//   N.ind  260-byte records: name length (1 byte), name (255 bytes), size
//          (32-bit little-endian); one per backed-up file, in order.
//   N.dat  the backed-up contents, concatenated in the order of the index.
//   N.img  one CR LF line per sliced image: its piece names, 4 letters each.
//   N.sum  the digest of every file the run wrote (see DigestList.h).
//
// Every entry reaches the disk before the caller goes on: the data first,
// then its record, so a record never points past the data, and a crash at
// any moment leaves a set that restores every file changed so far.
//
// The name field's bytes past the name are free. When the name leaves the
// last two of them free (252 bytes or fewer), they hold the file's read,
// write and execute bits, little-endian, marked by 0xA000 in the top four
// bits, so that a file the run deleted comes back with its old permissions.
// Readers that know nothing of this ignore them.

inline constexpr int kBackupRecordSize = 260;
inline constexpr int kBackupNameSize = 255;

inline constexpr int kBackupModeOffset = kBackupNameSize - 2;

struct TBackupIndexRecord {
  uint8_t NameLength = 0;
  std::array<char, kBackupNameSize> Name{};
  int32_t Size = 0;
  int32_t Mode = -1;  // read, write and execute bits kept with the name, -1 when none

  // `name` cut to its first 255 bytes. `mode` (permission bits, or -1) is
  // kept only when the name leaves room for it.
  static TBackupIndexRecord Make(const std::string& name, int32_t size, int32_t mode = -1);
  std::array<char, kBackupRecordSize> Encode() const;
  static TBackupIndexRecord Decode(const char* bytes);
  std::string NameText() const { return std::string(Name.data(), NameLength); }
};

// `folder` (ending with "/") followed by the first N from 0 for which
// folder + N + ".ind" does not exist.
std::string UniqueBaseName(const std::string& folder);

// The index, data and image-list files of one set, open for the whole run.
// Not copyable. Raises Exception from the constructor when any of the three
// files cannot be made; nothing else is left open then.
class TImageBackupMaker {
 public:
  explicit TImageBackupMaker(const std::string& folder);
  TImageBackupMaker(const TImageBackupMaker&) = delete;
  TImageBackupMaker& operator=(const TImageBackupMaker&) = delete;

  // Adds one file's old bytes (exactly `size` of them) and its record, both
  // forced to the disk. The record keeps the permission bits `fileName` has
  // now. Raises EFileWriteError (104) when they cannot be
  // written; the set is then cut back to its last complete entry.
  void AddEntry(int32_t size, const std::string& fileName, std::string_view content);

  // Appends `names` and CR LF to the image list, forced to the disk. Raises
  // EFileWriteError (104).
  void AddPieceNames(const std::string& names);

  // Notes that the run has written `bytes` to `path` (a page or a piece), once
  // the file is complete, forced to the disk. A restore then knows whether
  // the file still holds what the run left. Raises nothing: a digest that
  // cannot be written only leaves that file to be judged as in a set
  // without digests.
  void AddWritten(const std::string& path, std::string_view bytes);

  const std::string& BaseName() const { return BaseName_; }
  // True while every entry handed in so far is complete on disk.
  bool Complete() const { return !Broken_; }

 private:
  void CutBack(int64_t dataLength, int64_t indexLength, int64_t listLength);

  std::string BaseName_;
  platform::File IndexFile_;
  platform::File DataFile_;
  platform::File ImageListFile_;
  platform::File DigestFile_;
  int64_t DataLength_ = 0;
  int64_t DigestLength_ = 0;
  bool DigestsBroken_ = false;
  int64_t IndexLength_ = 0;
  int64_t ListLength_ = 0;
  bool Broken_ = false;
};

// Whether a backed-up path names a file the run sliced (as opposed to a
// page): images are recognised by their extension.
bool IsImageBackupPath(std::string_view path);
