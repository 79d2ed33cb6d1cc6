#include "storage/RestoreJournal.h"

#include <cerrno>
#include <charconv>

#include "platform/Path.h"

namespace {

// One step: "<word> <k> <length of path> <path>\n".
struct TStep {
  std::string Word;
  size_t K = 0;
  std::string Path;
};

bool ReadNumber(const std::string& text, size_t& at, size_t& value) {
  const size_t space = text.find(' ', at);
  if (space == std::string::npos || space == at) return false;
  auto [end, error] = std::from_chars(text.data() + at, text.data() + space, value);
  if (error != std::errc() || end != text.data() + space) return false;
  at = space + 1;
  return true;
}

// The whole steps of `text`; a torn last step is left out.
std::vector<TStep> ParseSteps(const std::string& text) {
  std::vector<TStep> steps;
  size_t at = 0;
  while (at < text.size()) {
    TStep step;
    const size_t space = text.find(' ', at);
    if (space == std::string::npos) break;
    step.Word = text.substr(at, space - at);
    at = space + 1;
    size_t length = 0;
    if (!ReadNumber(text, at, step.K) || !ReadNumber(text, at, length)) break;
    if (at + length >= text.size() || text[at + length] != '\n') break;
    step.Path = text.substr(at, length);
    at += length + 1;
    steps.push_back(std::move(step));
  }
  return steps;
}

std::string ReadJournal(const std::string& name, bool& exists) {
  std::string text;
  exists = platform::ReadWholeFile(name, text);
  return text;
}

}  // namespace

const char* SetStateText(TSetState state) {
  switch (state) {
    case TSetState::Applied:
      return "applied";
    case TSetState::PartlyRestored:
      return "partly restored";
    case TSetState::Restored:
      return "restored";
  }
  return "";
}

TSetState SetStateOf(const std::string& baseName) {
  bool exists = false;
  const std::string text = ReadJournal(baseName + ".done", exists);
  if (!exists) return TSetState::Applied;
  for (const TStep& step : ParseSteps(text)) {
    if (step.Word == "complete") return TSetState::Restored;
  }
  return TSetState::PartlyRestored;
}

void ForgetRestore(const std::string& baseName) { platform::DeleteFile(baseName + ".done"); }

TRestoreJournal::TRestoreJournal(const std::string& baseName) : Name_(baseName + ".done") {
  bool exists = false;
  const std::string text = ReadJournal(Name_, exists);
  if (!File_.Create(Name_, platform::Sharing::Exclusive, /*truncate=*/false)) {
    const int error = errno;
    Problem_ = "Cannot create file \"" + Name_ + "\". " + platform::ErrorText(error);
  }
  if (!exists) platform::SyncFolder(platform::FolderOf(Name_));
  Length_ = 0;
  for (const TStep& step : ParseSteps(text)) {
    if (step.Word == "temp") Temporaries_.push_back(step.Path);
    if (step.Word == "aside") Asides_[step.K] = step.Path;
    if (step.Word == "write") Writing_[step.K] = true;
    if (step.Word == "done") Done_[step.K] = true;
    Length_ += static_cast<int64_t>(step.Word.size() + 4 + std::to_string(step.K).size() +
                                    std::to_string(step.Path.size()).size() + step.Path.size());
  }
  // A torn step of a killed restore is cut away.
  if (Length_ < static_cast<int64_t>(text.size())) File_.Truncate(Length_);
}

bool TRestoreJournal::EntryDone(size_t k) const { return Done_.count(k) > 0; }

bool TRestoreJournal::Writing(size_t k) const { return Writing_.count(k) > 0; }

std::string TRestoreJournal::AsideOf(size_t k) const {
  auto it = Asides_.find(k);
  return it == Asides_.end() ? std::string() : it->second;
}

void TRestoreJournal::Append(const std::string& word, size_t k, const std::string& path) {
  if (!Problem_.empty()) return;
  const std::string line =
      word + " " + std::to_string(k) + " " + std::to_string(path.size()) + " " + path + "\n";
  if (!File_.WriteAt(line.data(), static_cast<int64_t>(line.size()), Length_) || !File_.Sync()) {
    const int error = errno;
    Problem_ = "Cannot write file \"" + Name_ + "\". " + platform::ErrorText(error);
    // A torn step must not stand for one that was taken.
    File_.Truncate(Length_);
    return;
  }
  Length_ += static_cast<int64_t>(line.size());
}

void TRestoreJournal::NoteTemporary(const std::string& path) {
  Append("temp", 0, path);
  Temporaries_.push_back(path);
}

void TRestoreJournal::NoteAside(size_t k, const std::string& path) {
  Append("aside", k, path);
  Asides_[k] = path;
}

void TRestoreJournal::NoteWriting(size_t k) {
  Append("write", k, "");
  Writing_[k] = true;
}

void TRestoreJournal::NoteDone(size_t k) {
  Append("done", k, "");
  Done_[k] = true;
}

void TRestoreJournal::NoteComplete() { Append("complete", 0, ""); }
