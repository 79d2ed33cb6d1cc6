#include "storage/BackupSet.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <dirent.h>

#include "platform/Exception.h"
#include "platform/File.h"
#include "storage/Backup.h"

namespace {

bool IsPieceLine(const std::string& line) {
  if (line.empty() || line.size() % 4 != 0) return false;
  return std::all_of(line.begin(), line.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }

std::string ExtensionOf(const std::string& path) {
  size_t dot = path.rfind('.');
  size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return path.substr(dot);
}

// Writes `content` over `path` in one step, keeping the mode of a file that
// is there now, or else giving it `mode` when that is known.
bool WriteBack(const std::string& path, const std::string& content, int32_t mode) {
  struct stat st;
  bool existed = ::stat(path.c_str(), &st) == 0;
  if (!platform::ReplaceFile(path, content)) return false;
  if (existed) {
    ::chmod(path.c_str(), st.st_mode & 07777);
  } else if (mode >= 0) {
    ::chmod(path.c_str(), static_cast<mode_t>(mode));
  }
  return true;
}

}  // namespace

TBackupSet ReadBackupSet(const std::string& baseName) {
  TBackupSet set;
  set.BaseName = baseName;
  std::string index;
  if (!platform::ReadWholeFile(baseName + ".ind", index)) {
    int error = errno;
    throw Exception("Cannot open file \"" + baseName + ".ind\". " + platform::ErrorText(error));
  }
  std::string data;
  platform::File dataFile;
  if (dataFile.Open(baseName + ".dat", platform::Access::Read, platform::Sharing::Shared)) {
    set.DataLength = dataFile.Size();
  } else {
    set.Problems.push_back("the data file " + baseName + ".dat cannot be read");
  }
  if (index.size() % kBackupRecordSize != 0) {
    set.Problems.push_back("the index ends with an incomplete record of " +
                           std::to_string(index.size() % kBackupRecordSize) + " bytes, ignored");
  }
  int64_t offset = 0;
  size_t records = index.size() / kBackupRecordSize;
  for (size_t k = 0; k < records; ++k) {
    auto record = TBackupIndexRecord::Decode(index.data() + k * kBackupRecordSize);
    std::string name = record.NameText();
    if (record.Size < 0 || offset + record.Size > set.DataLength) {
      set.Problems.push_back("entry " + std::to_string(k + 1) + " (" + name +
                             ") has no complete data; it and any later entries are not trusted");
      break;
    }
    if (record.NameLength == 0) {
      set.Problems.push_back("entry " + std::to_string(k + 1) + " has no name, skipped");
    } else {
      TBackupEntry entry;
      entry.Name = name;
      entry.Size = record.Size;
      entry.Offset = offset;
      entry.IsImage = IsImageBackupPath(name);
      entry.Mode = record.Mode;
      set.Entries.push_back(std::move(entry));
    }
    offset += record.Size;
  }
  if (offset < set.DataLength && set.Problems.empty()) {
    set.Problems.push_back("the data file holds " + std::to_string(set.DataLength - offset) +
                           " bytes after the last entry (an entry was being added), ignored");
  }

  std::string list;
  if (platform::ReadWholeFile(baseName + ".img", list)) {
    size_t start = 0;
    while (start < list.size()) {
      size_t end = list.find("\r\n", start);
      if (end == std::string::npos) {
        set.Problems.push_back("the image list ends with an incomplete line, ignored");
        break;
      }
      std::string line = list.substr(start, end - start);
      if (!IsPieceLine(line)) {
        set.Problems.push_back("the image list holds a malformed line; it and later lines are ignored");
        break;
      }
      set.PieceLines.push_back(std::move(line));
      start = end + 2;
    }
  } else {
    set.Problems.push_back("the image list " + baseName + ".img cannot be read");
  }
  int line = 0;
  for (auto& entry : set.Entries) {
    if (entry.IsImage && line < static_cast<int>(set.PieceLines.size())) entry.PieceLine = line++;
  }
  if (line < static_cast<int>(set.PieceLines.size())) {
    set.Problems.push_back("the image list has more lines than the index has images");
  }
  return set;
}

std::vector<int> ListBackupSets(const std::string& folder) {
  std::vector<int> numbers;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return numbers;
  while (dirent* item = ::readdir(dir)) {
    std::string name = item->d_name;
    if (name.size() < 5 || name.compare(name.size() - 4, 4, ".ind") != 0) continue;
    std::string digits = name.substr(0, name.size() - 4);
    if (digits.size() > 9 || !std::all_of(digits.begin(), digits.end(), ::isdigit)) continue;
    if (digits.size() > 1 && digits[0] == '0') continue;
    numbers.push_back(std::stoi(digits));
  }
  ::closedir(dir);
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

std::string ReadBackupContent(const TBackupSet& set, const TBackupEntry& entry) {
  platform::File data;
  std::string content(static_cast<size_t>(entry.Size), '\0');
  if (!data.Open(set.BaseName + ".dat", platform::Access::Read, platform::Sharing::Shared) ||
      ::lseek(data.Descriptor(), entry.Offset, SEEK_SET) != entry.Offset ||
      data.Read(content.data(), entry.Size) != entry.Size) {
    throw Exception("Cannot read file \"" + set.BaseName + ".dat\"");
  }
  return content;
}

TRestoreReport RestoreBackupSet(const TBackupSet& set, const TAccountFor& accountFor) {
  TRestoreReport report;
  // Files that found the disk full: tried again once the pieces are gone.
  // A run that ended early keeps its sources beside the pieces, so the room
  // the pieces take may be the room the pages need.
  std::vector<const TBackupEntry*> full;
  for (auto it = set.Entries.rbegin(); it != set.Entries.rend(); ++it) {
    const TBackupEntry& entry = *it;
    // An older entry of the same path (handled later) wins; skip the newer.
    bool olderExists = std::any_of(it + 1, set.Entries.rend(),
                                   [&](const TBackupEntry& e) { return e.Name == entry.Name; });
    if (olderExists) continue;
    if (entry.Name.size() == kBackupNameSize) {
      report.Skipped.push_back(entry.Name + ": the recorded path may be cut short");
      continue;
    }
    std::string original = ReadBackupContent(set, entry);
    std::string current;
    if (platform::ReadWholeFile(entry.Name, current)) {
      if (current == original) {
        report.Restored.push_back(entry.Name);
        continue;
      }
      if (!(accountFor && accountFor(entry, current, original))) {
        std::string aside = entry.Name + ".before-restore";
        if (!platform::ReplaceFile(aside, current)) {
          report.Skipped.push_back(entry.Name + ": changed since the run, and no copy could be kept: " +
                                   platform::ErrorText(errno));
          continue;
        }
        report.KeptAside.push_back(aside);
      }
    }
    if (!WriteBack(entry.Name, original, entry.Mode)) {
      if (errno == ENOSPC || errno == EDQUOT) {
        full.push_back(&entry);
      } else {
        report.Skipped.push_back(entry.Name + ": " + platform::ErrorText(errno));
      }
      continue;
    }
    report.Restored.push_back(entry.Name);
  }
  for (const auto& entry : set.Entries) {
    if (entry.PieceLine < 0) continue;
    const std::string& names = set.PieceLines[static_cast<size_t>(entry.PieceLine)];
    const std::string folder = FolderOf(entry.Name);
    const std::string ext = ExtensionOf(entry.Name);
    for (size_t i = 0; i + 4 <= names.size(); i += 4) {
      std::string piece = folder + names.substr(i, 4) + ext;
      if (platform::DeleteFile(piece)) report.Removed.push_back(piece);
    }
  }
  for (const TBackupEntry* entry : full) {
    if (WriteBack(entry->Name, ReadBackupContent(set, *entry), entry->Mode)) {
      report.Restored.push_back(entry->Name);
    } else {
      report.Skipped.push_back(entry->Name + ": " + platform::ErrorText(errno));
    }
  }
  return report;
}
