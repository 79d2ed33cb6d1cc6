#include "storage/Backup.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/Exception.h"
#include "platform/Path.h"
#include "storage/DigestList.h"
#include "storage/GlobalLib.h"

namespace {

constexpr uint16_t kModeMark = 0xA000;

}  // namespace

TBackupIndexRecord TBackupIndexRecord::Make(const std::string& name, int32_t size, int32_t mode) {
  TBackupIndexRecord record;
  size_t length = std::min<size_t>(name.size(), kBackupNameSize);
  record.NameLength = static_cast<uint8_t>(length);
  std::memcpy(record.Name.data(), name.data(), length);
  record.Size = size;
  if (mode >= 0 && length <= kBackupModeOffset) record.Mode = mode & 0777;
  return record;
}

std::array<char, kBackupRecordSize> TBackupIndexRecord::Encode() const {
  std::array<char, kBackupRecordSize> bytes{};
  bytes[0] = static_cast<char>(NameLength);
  std::memcpy(bytes.data() + 1, Name.data(), kBackupNameSize);
  if (Mode >= 0 && NameLength <= kBackupModeOffset) {
    const uint16_t mode = kModeMark | static_cast<uint16_t>(Mode & 0777);
    bytes[1 + kBackupModeOffset] = static_cast<char>(mode & 0xFF);
    bytes[2 + kBackupModeOffset] = static_cast<char>(mode >> 8);
  }
  uint32_t size = static_cast<uint32_t>(Size);
  for (int i = 0; i < 4; ++i) bytes[256 + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
  return bytes;
}

TBackupIndexRecord TBackupIndexRecord::Decode(const char* bytes) {
  TBackupIndexRecord record;
  record.NameLength = static_cast<uint8_t>(bytes[0]);
  std::memcpy(record.Name.data(), bytes + 1, kBackupNameSize);
  uint32_t size = 0;
  for (int i = 0; i < 4; ++i) size |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[256 + i])) << (8 * i);
  record.Size = static_cast<int32_t>(size);
  if (record.NameLength <= kBackupModeOffset) {
    const uint16_t mode =
        static_cast<uint16_t>(static_cast<uint8_t>(bytes[1 + kBackupModeOffset]) |
                              static_cast<uint8_t>(bytes[2 + kBackupModeOffset]) << 8);
    if ((mode & 0xF000) == kModeMark) record.Mode = mode & 0777;
  }
  return record;
}

std::string UniqueBaseName(const std::string& folder) {
  for (uint64_t n = 0;; ++n) {
    std::string base = folder + std::to_string(n);
    if (!platform::FileExists(base + ".ind")) return base;
  }
}

namespace {

void CreateSetFile(platform::File& file, const std::string& path) {
  if (!file.Create(path, platform::Sharing::Exclusive)) {
    int error = errno;
    throw Exception("Cannot create backup file \"" + path + "\". " + platform::ErrorText(error));
  }
}

// Writes `bytes` at `at` and forces them to the disk.
bool WriteForced(platform::File& file, const std::string& bytes, int64_t at) {
  return file.WriteAt(bytes.data(), static_cast<int64_t>(bytes.size()), at) && file.Sync();
}

}  // namespace

TImageBackupMaker::TImageBackupMaker(const std::string& folder) {
  if (!platform::ForceDirectories(folder)) {
    int error = errno;
    throw Exception("Cannot create backup folder \"" + folder + "\". " + platform::ErrorText(error));
  }
  BaseName_ = UniqueBaseName(folder);
  try {
    CreateSetFile(IndexFile_, BaseName_ + ".ind");
    CreateSetFile(DataFile_, BaseName_ + ".dat");
    CreateSetFile(ImageListFile_, BaseName_ + ".img");
    CreateSetFile(DigestFile_, BaseName_ + ".sum");
  } catch (...) {
    IndexFile_.Close();
    DataFile_.Close();
    ImageListFile_.Close();
    DigestFile_.Close();
    platform::DeleteFile(BaseName_ + ".ind");
    throw;
  }
  // The new names themselves must survive a crash for the set to be found.
  platform::SyncFolder(platform::FolderOf(BaseName_));
}

TImageBackupMaker::~TImageBackupMaker() { Close(); }

void TImageBackupMaker::CutBack() {
  bool ok = DataFile_.Truncate(CommittedData_) && IndexFile_.Truncate(IndexLength_) &&
            ImageListFile_.Truncate(ListLength_);
  DataLength_ = CommittedData_;
  StagedRecords_.clear();
  StagedLines_.clear();
  StagedImages_ = StagedLineCount_ = 0;
  // The files of the group will not be written.
  if (DigestsDue_) PendingDigests_.resize(DueFrom_);
  DigestsDue_ = false;
  // A set that cannot be cut back to its last complete entry takes no more:
  // anything added after it could not be told apart from the torn entry.
  // Nor does one whose last image on disk lost its line: later lines would
  // be matched to the wrong images.
  if (!ok || CommittedImages_ > CommittedLines_) Broken_ = true;
}

void TImageBackupMaker::StageEntry(int32_t size, const std::string& fileName,
                                   std::string_view content) {
  const std::string dataName = BaseName_ + ".dat";
  if (Broken_) throw EFileWriteError(dataName);
  content = content.substr(0, static_cast<size_t>(std::max(size, 0)));
  if (!DataFile_.WriteAt(content.data(), static_cast<int64_t>(content.size()), DataLength_)) {
    // Only this entry's bytes go; those staged before stay where they are.
    if (!DataFile_.Truncate(DataLength_)) Broken_ = true;
    throw EFileWriteError(dataName);
  }
  struct stat st;
  const int32_t mode =
      ::stat(fileName.c_str(), &st) == 0 ? static_cast<int32_t>(st.st_mode & 0777) : -1;
  const auto record = TBackupIndexRecord::Make(fileName, size, mode).Encode();
  StagedRecords_.append(record.data(), record.size());
  StagedImages_ += IsImageBackupPath(fileName);
  DataLength_ += static_cast<int64_t>(content.size());
}

void TImageBackupMaker::StagePieceNames(const std::string& names) {
  StagedLines_ += names + "\r\n";
  ++StagedLineCount_;
}

void TImageBackupMaker::Commit() {
  // The records forced before a failing step go too, and with them any
  // image whose line was lost with this group.
  auto fail = [&](const char* extension) {
    CutBack();
    throw EFileWriteError(BaseName_ + extension);
  };
  if (Broken_ || (DataLength_ != CommittedData_ && !DataFile_.Sync())) fail(".dat");
  if (!StagedRecords_.empty() && !WriteForced(IndexFile_, StagedRecords_, IndexLength_)) {
    fail(".ind");
  }
  const int64_t indexLength = IndexLength_ + static_cast<int64_t>(StagedRecords_.size());
  if (!StagedLines_.empty() && !WriteForced(ImageListFile_, StagedLines_, ListLength_)) {
    fail(".img");
  }
  CommittedData_ = DataLength_;
  IndexLength_ = indexLength;
  ListLength_ += static_cast<int64_t>(StagedLines_.size());
  CommittedImages_ += StagedImages_;
  CommittedLines_ += StagedLineCount_;
  StagedRecords_.clear();
  StagedLines_.clear();
  StagedImages_ = StagedLineCount_ = 0;
  if (DigestsDue_) WriteDigests();
}

void TImageBackupMaker::AddEntry(int32_t size, const std::string& fileName,
                                 std::string_view content) {
  StageEntry(size, fileName, content);
  Commit();
}

void TImageBackupMaker::AddPieceNames(const std::string& names) {
  StagePieceNames(names);
  Commit();
}

void TImageBackupMaker::AddWriting(const std::string& path, std::string_view bytes) {
  AddWriting(path, std::vector{bytes});
}

void TImageBackupMaker::AddWriting(const std::string& path,
                                   const std::vector<std::string_view>& pieces) {
  if (!DigestsDue_) DueFrom_ = PendingDigests_.size();
  PendingDigests_ += DigestLine(path, pieces);
  DigestsDue_ = true;
}

void TImageBackupMaker::AddWritten(const std::string& path, std::string_view bytes) {
  PendingDigests_ += DigestLine(path, bytes);
}

void TImageBackupMaker::WriteDigests() {
  DigestsDue_ = false;
  if (PendingDigests_.empty() || DigestsBroken_) {
    PendingDigests_.clear();
    return;
  }
  if (!WriteForced(DigestFile_, PendingDigests_, DigestLength_)) {
    // A torn line ends the list for readers: when it cannot be cut away,
    // nothing may follow it.
    if (!DigestFile_.Truncate(DigestLength_)) DigestsBroken_ = true;
  } else {
    DigestLength_ += static_cast<int64_t>(PendingDigests_.size());
  }
  PendingDigests_.clear();
}

void TImageBackupMaker::Close() {
  if (!PendingDigests_.empty()) WriteDigests();
}

bool IsImageBackupPath(std::string_view path) {
  size_t slash = path.rfind('/');
  size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return false;
  const std::string ext = platform::AsciiUpper(path.substr(dot + 1));
  return ext == "GIF" || ext == "JPG" || ext == "JPEG" || ext == "BMP" || ext == "PNG" ||
         ext == "WEBP";
}
