// The backup-set reader and restore on arbitrary sets. The input is split
// into the three files of a set:
//
//   bytes 0-1  length of the index part (little-endian), bytes 2-3 length of
//   the image-list part, byte 4 which files exist before the restore, then
//   the index, the image list and, with everything left, the data file.
//
// What the reader trusts must lie inside the data file. The restore then
// puts the trusted entries back - renamed into the scratch folder, so a set
// can name any path without touching it - and every file must end up with
// the content of its oldest entry, a file that was there being kept aside.

#include <filesystem>
#include <map>

#include "engine/RunRestore.h"
#include "fuzz/FuzzSupport.h"
#include "platform/File.h"
#include "storage/Backup.h"
#include "storage/BackupSet.h"

namespace {

// The extension of `name` when it is plain letters, so restored files keep
// their image or page kind.
std::string PlainExtension(const std::string& name) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || name.size() - dot > 6) return "";
  for (size_t i = dot + 1; i < name.size(); ++i) {
    if (!std::isalpha(static_cast<unsigned char>(name[i]))) return "";
  }
  return name.substr(dot);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return -1;
  const std::string folder = fuzz::ScratchFolder();
  fuzz::EmptyFolder(folder);
  const size_t indexLength = std::min<size_t>(data[0] | data[1] << 8, size - 5);
  const size_t listLength = std::min<size_t>(data[2] | data[3] << 8, size - 5 - indexLength);
  const uint8_t existing = data[4];
  std::string_view rest = fuzz::Bytes(data + 5, size - 5);
  const std::string base = folder + "/0";
  fuzz::WriteFileOrDie(base + ".ind", rest.substr(0, indexLength));
  fuzz::WriteFileOrDie(base + ".img", rest.substr(indexLength, listLength));
  fuzz::WriteFileOrDie(base + ".dat", rest.substr(indexLength + listLength));

  TBackupSet set = ReadBackupSet(base);
  int64_t offset = 0;
  int line = 0;
  for (const auto& entry : set.Entries) {
    FUZZ_CHECK(entry.Size >= 0 && entry.Offset >= offset);
    FUZZ_CHECK(entry.Offset + entry.Size <= set.DataLength);
    FUZZ_CHECK(entry.PieceLine < static_cast<int>(set.PieceLines.size()));
    if (entry.PieceLine >= 0) FUZZ_CHECK(entry.PieceLine == line++);
    FUZZ_CHECK(ReadBackupContent(set, entry).size() == static_cast<size_t>(entry.Size));
    offset = entry.Offset + entry.Size;
  }
  for (const auto& names : set.PieceLines) {
    FUZZ_CHECK(!names.empty() && names.size() % 4 == 0);
  }

  // Every distinct path becomes a file of the scratch folder; a path that
  // may have been cut keeps its full length so the restore still refuses it.
  std::map<std::string, std::string> renamed;
  std::map<std::string, std::string> oldest;
  for (auto& entry : set.Entries) {
    auto [it, added] = renamed.emplace(entry.Name, "");
    if (added) {
      std::string name =
          folder + "/site/f" + std::to_string(renamed.size()) + PlainExtension(entry.Name);
      if (entry.Name.size() == kBackupNameSize) {
        name = folder + "/" + std::string(kBackupNameSize - folder.size() - 1, 'c');
      }
      it->second = name;
      oldest[name] = ReadBackupContent(set, entry);
      if (name.size() != kBackupNameSize && (existing & (1u << (renamed.size() % 8))) != 0) {
        std::filesystem::create_directories(folder + "/site");
        fuzz::WriteFileOrDie(name, "changed since the run");
      }
    }
    entry.Name = it->second;
  }
  std::filesystem::create_directories(folder + "/site");
  TRestoreReport report = RestoreRun(set);
  for (const auto& [name, content] : oldest) {
    if (name.size() == kBackupNameSize) continue;
    std::string now;
    FUZZ_CHECK(platform::ReadWholeFile(name, now));
    FUZZ_CHECK(now == content);
  }
  for (const auto& aside : report.KeptAside) {
    std::string kept;
    FUZZ_CHECK(platform::ReadWholeFile(aside.Copy, kept) && kept == "changed since the run");
  }
  return 0;
}
