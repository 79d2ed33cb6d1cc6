#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/File.h"

// A backup set is three files in the backup folder, N being the first number
// whose N.ind does not exist yet:
//   N.ind  260-byte records: name length (1 byte), name (255 bytes), size
//          (32-bit little-endian); one per backed-up file, in order.
//   N.dat  the backed-up contents, concatenated in the order of the index.
//   N.img  one CR LF line per sliced image: its piece names, 4 letters each.
//   N.sum  the digest of every file the run wrote (see DigestList.h).
//
// Entries reach the disk before the files they save change: the data first,
// then the records, so a record never points past the data, then the image
// lines, so a line never names an image the index lacks; a crash at any
// moment leaves a set that restores every file changed so far.
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

// The four files of one set, open for the whole run. Not copyable. Raises
// Exception from the constructor when any of them cannot be made; nothing
// else is left open then.
//
// Entries are added in groups: StageEntry writes a file's old bytes and
// keeps its record, StagePieceNames keeps an image's line, and Commit forces
// the data to the disk, then writes and forces the records, then the lines,
// then the digests of the files about to be written. Nothing staged may be
// relied on before Commit returns; one Commit costs one forced write per
// file however many entries it carries. AddEntry and AddPieceNames stage
// and commit one thing.
class TImageBackupMaker {
 public:
  explicit TImageBackupMaker(const std::string& folder);
  TImageBackupMaker(const TImageBackupMaker&) = delete;
  TImageBackupMaker& operator=(const TImageBackupMaker&) = delete;
  // Writes and forces the digests still pending, as Close does.
  ~TImageBackupMaker();

  // Adds one file's old bytes (exactly `size` of them) and its record, both
  // forced to the disk. The record keeps the permission bits `fileName` has
  // now. Raises EFileWriteError (104) when they cannot be
  // written; the set is then cut back to its last complete entry.
  void AddEntry(int32_t size, const std::string& fileName, std::string_view content);

  // Appends `names` and CR LF to the image list, forced to the disk. Raises
  // EFileWriteError (104).
  void AddPieceNames(const std::string& names);

  // Writes a file's old bytes after those staged before, without forcing
  // them, and keeps its record for the next Commit. Raises EFileWriteError
  // (104) when the bytes cannot be written: only this entry is dropped.
  void StageEntry(int32_t size, const std::string& fileName, std::string_view content);
  // Keeps the piece names of the image staged or added last for the next
  // Commit.
  void StagePieceNames(const std::string& names);
  // Forces everything staged to the disk, in the order that keeps the set
  // readable at any moment: data, records, lines, digests. Raises
  // EFileWriteError (104); every staged entry and line is then cut away
  // (the set takes nothing more when that fails, or when an image already
  // on disk thereby lost its line).
  void Commit();
  bool HasStaged() const { return !StagedRecords_.empty() || !StagedLines_.empty(); }
  // Bytes of old contents staged since the last Commit.
  int64_t StagedBytes() const { return DataLength_ - CommittedData_; }

  // Notes that the run is about to write `bytes` over `path` (a page whose
  // entry is staged). The digest reaches the disk with the next Commit, so
  // before the page changes: a restore then always knows whether the page
  // still holds what the run left. A Commit that fails drops it.
  void AddWriting(const std::string& path, std::string_view bytes);
  // The same for a page whose new bytes are the pieces one after the other.
  void AddWriting(const std::string& path, const std::vector<std::string_view>& pieces);
  // Notes that the run has written `bytes` to the new file `path` (a
  // piece), once the file is complete. The digest may lag the file: it is
  // written at the next Commit that writes digests, or by Close. A piece
  // without one is removed by a restore all the same.
  void AddWritten(const std::string& path, std::string_view bytes);
  // Writes the digests still pending and forces them. Raises nothing: a
  // digest that cannot be written only leaves that file to be judged as in
  // a set without digests.
  void Close();

  const std::string& BaseName() const { return BaseName_; }
  // True while every entry handed in so far is complete on disk.
  bool Complete() const { return !Broken_; }

 private:
  void CutBack();
  void WriteDigests();

  std::string BaseName_;
  platform::File IndexFile_;
  platform::File DataFile_;
  platform::File ImageListFile_;
  platform::File DigestFile_;
  // Lengths on disk; DataLength_ includes the staged, unforced data.
  int64_t DataLength_ = 0;
  int64_t CommittedData_ = 0;
  int64_t IndexLength_ = 0;
  int64_t ListLength_ = 0;
  int64_t DigestLength_ = 0;
  std::string StagedRecords_;
  std::string StagedLines_;
  int StagedImages_ = 0;
  int StagedLineCount_ = 0;
  // Images on disk in the index, and lines on disk in the list.
  int64_t CommittedImages_ = 0;
  int64_t CommittedLines_ = 0;
  std::string PendingDigests_;
  // Pending digests from DueFrom_ on belong to files of the staged group,
  // not written yet; they go to the disk with it, or go with it.
  bool DigestsDue_ = false;
  size_t DueFrom_ = 0;
  bool DigestsBroken_ = false;
  bool Broken_ = false;
};

// Whether a backed-up path names a file the run sliced (as opposed to a
// page): images are recognised by their extension.
bool IsImageBackupPath(std::string_view path);
