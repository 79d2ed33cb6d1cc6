#include "engine/PictureLookAhead.h"

#include <algorithm>
#include <atomic>
#include <filesystem>

#include "engine/ImageTagRewriter.h"
#include "platform/File.h"
#include "platform/Path.h"
#include "storage/FolderScan.h"

// What the decoding on the workers shares with the run's thread; it may
// outlast the look-ahead.
struct TPictureLookAhead::TShared {
  std::atomic<int64_t> Held{0};  // pixels decoded and not taken
};

struct TPictureLookAhead::TEntry {
  std::string Path;
  ImageKind Kind = ImageKind::None;
  size_t Page = 0;  // the first page that names it
  std::string Bytes;
  // Written by the decoding task, read once it is done.
  bool Tried = false;    // decoding was tried
  bool Decoded = false;  // what DecodeImage gave
  TSourceImage Image;
  int64_t Held = 0;
  std::atomic<bool> Dropped{false};
  TWorkerPool::TPostedPtr Task;
};

namespace {

int64_t PixelBytesOf(const TSourceImage& image) {
  return static_cast<int64_t>(image.Bitmap.Pixels.size() + image.Alpha.Pixels.size());
}

// Never raises: a picture not decoded here is decoded by the run.
void DecodeEntry(TPictureLookAhead::TEntry& entry, TPictureLookAhead::TShared& shared,
                 bool anyway) {
  if (entry.Dropped || (!anyway && shared.Held >= TPictureLookAhead::kHeldBytes)) return;
  try {
    entry.Decoded = DecodeImage(entry.Kind, entry.Bytes, entry.Image);
    entry.Held = PixelBytesOf(entry.Image);
    entry.Tried = true;
    shared.Held += entry.Held;
  } catch (...) {
    entry.Image = TSourceImage();
  }
}

}  // namespace

TPictureLookAhead::TPictureLookAhead(TWorkerPool& pool, const TOptions& options)
    : Pool_(pool), Options_(options), Shared_(std::make_shared<TShared>()) {}

TPictureLookAhead::~TPictureLookAhead() {
  for (const auto& entry : Entries_) entry->Dropped = true;
}

void TPictureLookAhead::Drop(const std::shared_ptr<TEntry>& entry) {
  entry->Dropped = true;
  Pool_.Cancel(entry->Task);
  Shared_->Held -= entry->Held;
  entry->Image = TSourceImage();
  entry->Bytes.clear();
  entry->Bytes.shrink_to_fit();
  Entries_.erase(std::find(Entries_.begin(), Entries_.end(), entry));
}

void TPictureLookAhead::Foresee(const std::vector<std::string>& pages, size_t next) {
  // Pictures of pages gone by that the run did not take (a tag refused
  // before its picture was looked at) are of no more use.
  for (size_t i = Entries_.size(); i-- > 0;) {
    if (Entries_[i]->Page < next) Drop(Entries_[i]);
  }
  Announced_ = std::max(Announced_, next);
  auto fileBytes = [&] {
    int64_t bytes = 0;
    for (const auto& entry : Entries_) bytes += static_cast<int64_t>(entry->Bytes.size());
    return bytes;
  };
  while (Announced_ < pages.size() && Announced_ < next + kPagesAhead &&
         Entries_.size() < kPicturesAhead && fileBytes() < kFileBytesAhead) {
    const size_t page = Announced_++;
    const std::string& pagePath = pages[page];
    std::error_code error;
    std::string text;
    if (!IsRegularFile(pagePath)) continue;
    const auto size = std::filesystem::file_size(pagePath, error);
    if (error || size > static_cast<uintmax_t>(kLargestPage)) continue;
    if (!platform::ReadWholeFile(pagePath, text)) continue;
    for (TPictureGuess& picture : PicturesNamedBy(text, platform::FolderOf(pagePath), Options_)) {
      if (!Seen_.insert(picture.Path).second) continue;
      auto entry = std::make_shared<TEntry>();
      if (!IsRegularFile(picture.Path) || !platform::ReadWholeFile(picture.Path, entry->Bytes)) {
        continue;
      }
      entry->Path = std::move(picture.Path);
      entry->Kind = picture.Kind;
      entry->Page = page;
      // Before the encoding of the pictures cut so far: those are needed
      // only when their group is written.
      entry->Task = Pool_.Post(
          [entry, shared = Shared_](int) { DecodeEntry(*entry, *shared, false); }, true);
      Entries_.push_back(std::move(entry));
    }
  }
}

bool TPictureLookAhead::Take(const std::string& path, ImageKind kind, std::string_view fileBytes,
                             bool& decoded, TSourceImage& image) {
  auto it = std::find_if(Entries_.begin(), Entries_.end(),
                         [&](const auto& entry) { return entry->Path == path; });
  if (it == Entries_.end()) return false;
  const std::shared_ptr<TEntry> entry = *it;
  const bool same = entry->Kind == kind && entry->Bytes == fileBytes;
  if (same) {
    // Done here when no worker has begun it; helps with other work while
    // one does it.
    Pool_.Wait(entry->Task);
    if (!entry->Tried) DecodeEntry(*entry, *Shared_, true);
  }
  const bool taken = same && entry->Tried;
  if (taken) {
    decoded = entry->Decoded;
    image = std::move(entry->Image);
  }
  Drop(entry);
  return taken;
}

void TPictureLookAhead::Settle() {
  for (const auto& entry : Entries_) Pool_.Wait(entry->Task);
}
