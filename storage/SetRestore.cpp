#include "storage/SetRestore.h"

#include <cerrno>
#include <unordered_map>
#include <vector>

#include "platform/File.h"
#include "platform/FileWriteBack.h"
#include "platform/Path.h"
#include "storage/Backup.h"
#include "storage/RestoreJournal.h"
#include "storage/DigestList.h"

namespace {

// Gives the complete file `temp` the name `name` only while nothing stands
// there, and drops the temporary name. Where the file system has no hard
// links the file is renamed instead, once the name is seen to be free.
bool GiveFreeName(const std::string& temp, const std::string& name) {
  bool named = platform::LinkNewName(temp, name);
  if (!named && errno != EEXIST && !platform::InspectFile(name).Exists) {
    named = platform::RenameOver(temp, name);
  }
  const int error = errno;
  platform::DeleteFile(temp);
  errno = error;
  return named;
}

class TSetRestorer {
 public:
  TSetRestorer(const TBackupSet& set, const TAccountFor& accountFor)
      : set_(set), accountFor_(accountFor), journal_(set.BaseName) {}

  TRestoreReport Run(const TRestoreProgress& progress);

 private:
  void RestoreEntry(size_t k, const std::string& original);
  bool IsOurs(const TBackupEntry& entry, const std::string& current,
              const std::string& original) const;
  // Keeps `current` under a free ".before-restore" name; false when it
  // could not be kept (reported).
  bool KeepAside(size_t k, const std::string& path, const std::string& current, uint32_t mode);
  bool CreateBack(const TBackupEntry& entry, const std::string& original);
  bool ReplaceBack(size_t k, const std::string& path, const std::string& original,
                   const platform::FileFacts& facts);
  bool WriteInPlace(size_t k, const std::string& path, const std::string& original);
  std::string Temporary(const std::string& path);
  void RemovePieces(const TBackupEntry& image);
  void ReportAside(size_t k, const std::string& path);
  // Restores entry `k` unless its journal says it is done, and reports it.
  // With `mayWait`, a file that found the disk full is only counted in
  // `full_`, to be tried again once the pieces are gone.
  void RestoreAndReport(size_t k, bool mayWait);
  // Reports `path` as not restored, for the reason the system gave.
  void Fail(const std::string& path, int error);

  const TBackupSet& set_;
  const TAccountFor& accountFor_;
  TRestoreJournal journal_;
  TRestoreReport report_;
  int lastError_ = 0;
  std::vector<size_t> full_;
};

void TSetRestorer::Fail(const std::string& path, int error) {
  lastError_ = error;
  report_.Skipped.push_back(path + ": " + platform::ErrorText(error));
}

std::string TSetRestorer::Temporary(const std::string& path) {
  // In the file's folder, so that it can be renamed or linked there; short,
  // so that it fits wherever the file's own name fits.
  const std::string temp = platform::FolderOf(path) + ".vlm-" + platform::RandomSuffix() + ".tmp";
  journal_.NoteTemporary(temp);
  return temp;
}

void TSetRestorer::ReportAside(size_t k, const std::string& path) {
  const std::string copy = journal_.AsideOf(k);
  if (!copy.empty() && platform::InspectFile(copy).Exists)
    report_.KeptAside.push_back({path, copy});
}

bool TSetRestorer::IsOurs(const TBackupEntry& entry, const std::string& current,
                          const std::string& original) const {
  auto digest = set_.Digests.find(entry.Name);
  if (digest != set_.Digests.end()) return DigestMatches(digest->second, current);
  return accountFor_ && accountFor_(entry, current, original);
}

bool TSetRestorer::KeepAside(size_t k, const std::string& path, const std::string& current,
                             uint32_t mode) {
  auto noCopy = [&](int error) {
    lastError_ = error;
    report_.Skipped.push_back(
        path + ": changed since the run, and no copy could be kept: " + platform::ErrorText(error));
    return false;
  };
  for (int n = 0; n < 1000; ++n) {
    const std::string name = path + ".before-restore" + (n ? "." + std::to_string(n) : "");
    if (platform::InspectFile(name).Exists) continue;
    const std::string temp = Temporary(path);
    if (!platform::CreateNewFile(temp, current, mode & 0777)) return noCopy(errno);
    journal_.NoteAside(k, name);
    if (GiveFreeName(temp, name)) return true;
    if (errno != EEXIST) return noCopy(errno);
  }
  report_.Skipped.push_back(path + ": changed since the run, and every name for a copy is taken");
  return false;
}

bool TSetRestorer::CreateBack(const TBackupEntry& entry, const std::string& original) {
  // Made complete under a fresh name, then given its own name only if that
  // is still free: a restore stopped half way leaves no torn file.
  const uint32_t mode =
      entry.Mode >= 0 ? static_cast<uint32_t>(entry.Mode) : platform::DefaultFileMode();
  const std::string temp = Temporary(entry.Name);
  if (!platform::CreateNewFile(temp, original, mode)) {
    Fail(entry.Name, errno);
    return false;
  }
  if (!GiveFreeName(temp, entry.Name)) {
    Fail(entry.Name, errno);
    return false;
  }
  return true;
}

bool TSetRestorer::WriteInPlace(size_t k, const std::string& path, const std::string& original) {
  journal_.NoteWriting(k);
  if (!platform::OverwriteInPlace(path, original)) {
    Fail(path, errno);
    return false;
  }
  return true;
}

bool TSetRestorer::ReplaceBack(size_t k, const std::string& path, const std::string& original,
                               const platform::FileFacts& facts) {
  if (facts.IsSymlink || facts.Links > 1) return WriteInPlace(k, path, original);
  const std::string temp = Temporary(path);
  if (!platform::CreateNewFile(temp, original, facts.Mode, true, facts.Owner, facts.Group)) {
    // The old owner cannot be given by this user: the file is kept and
    // written into, so that it stays theirs.
    if (errno == EPERM) return WriteInPlace(k, path, original);
    Fail(path, errno);
    return false;
  }
  if (!platform::RenameOver(temp, path)) {
    const int error = errno;
    platform::DeleteFile(temp);
    Fail(path, error);
    return false;
  }
  return true;
}

void TSetRestorer::RestoreEntry(size_t k, const std::string& original) {
  const TBackupEntry& entry = set_.Entries[k];
  const std::string& path = entry.Name;
  if (journal_.Writing(k)) {
    // Stopped while writing into the file: what it holds now is ours.
    if (WriteInPlace(k, path, original)) journal_.NoteDone(k);
    return;
  }
  const platform::FileFacts facts = platform::InspectFile(path);
  if (!facts.Exists) {
    if (CreateBack(entry, original)) journal_.NoteDone(k);
    return;
  }
  if (!facts.Regular) {
    report_.Skipped.push_back(path + ": not a regular file now; left alone");
    return;
  }
  std::string current;
  if (!platform::ReadWholeFile(path, current)) {
    Fail(path, errno);
    return;
  }
  if (current != original) {
    if (!IsOurs(entry, current, original)) {
      const std::string kept = journal_.AsideOf(k);
      if ((kept.empty() || !platform::InspectFile(kept).Exists) &&
          !KeepAside(k, path, current, facts.Mode)) {
        return;
      }
    }
    if (!ReplaceBack(k, path, original, facts)) return;
  }
  journal_.NoteDone(k);
}

void TSetRestorer::RemovePieces(const TBackupEntry& image) {
  const std::string& names = set_.PieceLines[static_cast<size_t>(image.PieceLine)];
  const std::string folder = platform::FolderOf(image.Name);
  const std::string ext = platform::ExtensionOf(image.Name);
  for (size_t i = 0; i + 4 <= names.size(); i += 4) {
    const std::string piece = folder + names.substr(i, 4) + ext;
    const platform::FileFacts facts = platform::InspectFile(piece);
    if (!facts.Exists) continue;
    // The run only ever made plain files; anything else is not its piece.
    if (facts.IsSymlink || !facts.Regular) {
      report_.LeftAlone.push_back(piece);
      continue;
    }
    auto digest = set_.Digests.find(piece);
    if (digest != set_.Digests.end()) {
      std::string current;
      if (!platform::ReadWholeFile(piece, current) || !DigestMatches(digest->second, current)) {
        report_.LeftAlone.push_back(piece);
        continue;
      }
    }
    if (platform::DeleteFile(piece)) {
      report_.Removed.push_back(piece);
    } else if (errno != ENOENT) {
      Fail(piece, errno);
    }
  }
}

void TSetRestorer::RestoreAndReport(size_t k, bool mayWait) {
  const TBackupEntry& entry = set_.Entries[k];
  const size_t skippedBefore = report_.Skipped.size();
  lastError_ = 0;
  if (!journal_.EntryDone(k)) RestoreEntry(k, ReadBackupContent(set_, entry));
  if (report_.Skipped.size() != skippedBefore && mayWait &&
      (lastError_ == ENOSPC || lastError_ == EDQUOT)) {
    report_.Skipped.resize(skippedBefore);
    full_.push_back(k);
    return;
  }
  if (report_.Skipped.size() == skippedBefore) report_.Restored.push_back(entry.Name);
  ReportAside(k, entry.Name);
}

TRestoreReport TSetRestorer::Run(const TRestoreProgress& progress) {
  // Temporary files of a restore that was stopped: made exclusively under
  // random names, so whatever stands there is ours.
  for (const std::string& temp : journal_.Temporaries()) {
    const platform::FileFacts facts = platform::InspectFile(temp);
    if (facts.Exists && facts.Regular && !facts.IsSymlink) platform::DeleteFile(temp);
  }
  const auto& entries = set_.Entries;
  size_t images = 0;
  for (const auto& entry : entries) images += entry.PieceLine >= 0;
  const size_t total = entries.size() + images;
  // The oldest entry of each path holds what stood there before the run.
  std::unordered_map<std::string, size_t> oldest;
  for (size_t k = 0; k < entries.size(); ++k) oldest.emplace(entries[k].Name, k);
  size_t done = 0;
  for (size_t k = entries.size(); k-- > 0;) {
    const TBackupEntry& entry = entries[k];
    if (progress) progress(entry.Name, done, total);
    ++done;
    // An older entry of the same path (handled later) wins; skip the newer.
    if (oldest.at(entry.Name) != k) continue;
    if (entry.Name.size() == static_cast<size_t>(kBackupNameSize)) {
      report_.Skipped.push_back(entry.Name + ": the recorded path may be cut short");
      continue;
    }
    RestoreAndReport(k, true);
  }
  for (const auto& entry : entries) {
    if (entry.PieceLine < 0) continue;
    if (progress) progress(entry.Name, done, total);
    ++done;
    RemovePieces(entry);
  }
  // A run that ended early keeps its sources beside the pieces, so the room
  // the pieces took may be the room the files need.
  for (size_t k : full_) RestoreAndReport(k, false);
  if (progress) progress(std::string(), done, total);
  if (report_.Ok()) journal_.NoteComplete();
  report_.JournalProblem = journal_.Problem();
  return std::move(report_);
}

}  // namespace

TRestoreReport RestoreBackupSet(const TBackupSet& set, const TAccountFor& accountFor,
                                const TRestoreProgress& progress) {
  TSetRestorer restorer(set, accountFor);
  return restorer.Run(progress);
}
