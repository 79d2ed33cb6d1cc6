#include "storage/BackupSet.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>

#include "platform/Exception.h"
#include "platform/File.h"
#include "storage/Backup.h"
#include "storage/DigestList.h"

namespace {

bool IsPieceLine(const std::string& line) {
  if (line.empty() || line.size() % 4 != 0) return false;
  return std::all_of(line.begin(), line.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

}  // namespace

TBackupSet ReadBackupSet(const std::string& baseName) {
  TBackupSet set;
  set.BaseName = baseName;
  std::string index;
  if (!platform::ReadWholeFile(baseName + ".ind", index)) {
    throw Exception(platform::CannotOpenFileText(baseName + ".ind", errno));
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
  std::string digests;
  if (platform::ReadWholeFile(baseName + ".sum", digests)) {
    bool damaged = false;
    set.HasDigests = true;
    set.Digests = ParseDigestList(digests, damaged);
    if (damaged) set.Problems.push_back("the digest list ends with a torn line, ignored");
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
