#include "engine/PictureLookAhead.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <filesystem>

#include "engine/Grid.h"
#include "engine/ImageTagRewriter.h"
#include "engine/JpegCodec.h"
#include "engine/PageEncoding.h"
#include "engine/RandomFileName.h"
#include "platform/File.h"
#include "platform/Path.h"
#include "storage/FolderScan.h"

// What the decoding on the workers shares with the run's thread; it may
// outlast the look-ahead.
struct TPictureLookAhead::TShared {
  TWorkerPool& Pool;
  const TOptions Options;
  std::shared_ptr<std::vector<TPieceWriter>> Writers;
  std::atomic<int64_t> Held{0};  // pixels decoded and not taken

  TShared(TWorkerPool& pool, const TOptions& options,
          std::shared_ptr<std::vector<TPieceWriter>> writers)
      : Pool(pool), Options(options), Writers(std::move(writers)) {}
};

struct TPictureLookAhead::TEntry {
  std::string Path;
  ImageKind Kind = ImageKind::None;
  bool OwnSize = false;
  size_t Page = 0;    // the first page that names it
  TPixelBytes Bytes;  // the whole file, read without clearing memory first
  std::string_view Text() const {
    return {reinterpret_cast<const char*>(Bytes.data()), Bytes.size()};
  }
  // Written by the decoding task, read once it is done.
  bool Tried = false;    // decoding was tried
  bool Decoded = false;  // what DecodeImage gave
  TSourceImage Image;
  int64_t Held = 0;
  std::atomic<bool> Dropped{false};
  TWorkerPool::TPostedPtr Task;
  // Pieces encoded while it decodes: every band of piece rows is handed to
  // the workers once its rows are decoded. The tasks read Image, which
  // stays in place until they are done.
  TEarlyPieces Early;
  int32_t BandsPosted = 0;  // -1: too small, or too many pieces
  bool EarlyOn = false;
  std::vector<TWorkerPool::TPostedPtr> EarlyTasks;
};

namespace {

using TEntryPtr = std::shared_ptr<TPictureLookAhead::TEntry>;

int64_t PixelBytesOf(const TSourceImage& image) {
  return static_cast<int64_t>(image.Bitmap.Pixels.size() + image.Alpha.Pixels.size());
}

// Gives `early` the grid the options cut `bitmap` into, and a place for
// each piece; false when a run has too few names for its pieces.
bool PlanEarly(const TOptions& options, const TBitmap& bitmap, TEarlyPieces& early) {
  early.Grid = ComputeGrid(options, bitmap.Width, bitmap.Height);
  early.Grid.Bleed = PieceBleed(options.Markup);
  const TGrid& grid = early.Grid;
  if (int64_t{grid.Rows} * grid.Cols > TRandomFileName::kNameCount) return false;
  early.Bytes.resize(static_cast<size_t>(grid.Rows) * static_cast<size_t>(grid.Cols));
  return true;
}

// Hands the bands of piece rows whose pixels are all decoded (the first
// `rows` rows) to the workers.
void PostBands(const TEntryPtr& entry, TPictureLookAhead::TShared& shared, int32_t rows) {
  TPictureLookAhead::TEntry& e = *entry;
  const TBitmap& bitmap = e.Image.Bitmap;
  if (e.BandsPosted < 0) return;
  if (!e.EarlyOn) {
    if (int64_t{bitmap.Width} * bitmap.Height < TPictureLookAhead::kEarlyFrom ||
        !PlanEarly(shared.Options, bitmap, e.Early)) {
      e.BandsPosted = -1;
      return;
    }
    e.EarlyOn = true;
  }
  const TGrid& grid = e.Early.Grid;
  while (e.BandsPosted < grid.Rows) {
    // A band's files may reach into the band below.
    const TPieceRect band = PieceRect(grid, bitmap.Width, bitmap.Height, e.BandsPosted, 0);
    const int32_t end = band.FileTop() + band.FileHeight();
    if (rows < end) break;
    for (int32_t c = 0; c < grid.Cols; ++c) {
      const size_t index = static_cast<size_t>(e.BandsPosted) * static_cast<size_t>(grid.Cols) +
                           static_cast<size_t>(c);
      e.EarlyTasks.push_back(shared.Pool.Post([entry, writers = shared.Writers, index](int worker) {
        if (entry->Dropped) return;
        entry->Early.Bytes[index].assign(EncodePiece(entry->Image, entry->Kind, entry->Early.Grid,
                                                     index,
                                                     (*writers)[static_cast<size_t>(worker)]));
      }));
    }
    ++e.BandsPosted;
  }
}

// The whole file at `path` when it is a regular file that can be read.
bool ReadPicture(const std::string& path, TPixelBytes& bytes) {
  if (!IsRegularFile(path)) return false;
  platform::File file;
  if (!file.Open(path, platform::Access::Read, platform::Sharing::Shared)) return false;
  const int64_t length = file.Size();
  if (length < 0 || length > INT32_MAX) return false;
  bytes.resize(static_cast<size_t>(length));
  return file.Read(reinterpret_cast<char*>(bytes.data()), length) == length;
}

// Never raises: a picture not decoded here is decoded by the run.
void DecodeEntry(const TEntryPtr& entry, TPictureLookAhead::TShared& shared, bool anyway,
                 int worker) {
  TPictureLookAhead::TEntry& e = *entry;
  if (e.Dropped || (!anyway && shared.Held >= TPictureLookAhead::kHeldBytes)) return;
  try {
    if (e.Kind == ImageKind::JPEG && e.OwnSize && shared.Writers) {
      // As DecodeImage does, but its pixels stay in place when it fails:
      // the bands handed out may still be read.
      e.Image = TSourceImage();
      e.Decoded = DecodeJpeg(e.Text(), e.Image.Bitmap, e.Image.Progressive, &e.Image.IccProfile,
                             [&](int32_t rows) { PostBands(entry, shared, rows); });
    } else {
      e.Decoded = DecodeImage(e.Kind, e.Text(), e.Image);
    }
    e.Held = PixelBytesOf(e.Image);
    e.Tried = true;
    shared.Held += e.Held;
  } catch (...) {
    // Left to the run, once the bands handed out are done.
    return;
  }
  if (!e.Decoded || !e.OwnSize || !shared.Writers || e.EarlyOn || e.Dropped) return;
  // A picture the judging will refuse as too small is not worth it.
  const TBitmap& bitmap = e.Image.Bitmap;
  if (bitmap.Width < shared.Options.MinWidth || bitmap.Height < shared.Options.MinHeight) return;
  // A picture not handed out in bands has its pieces encoded here at once,
  // while its pixels are at hand on this worker.
  try {
    TEarlyPieces early;
    if (!PlanEarly(shared.Options, bitmap, early)) return;
    TPieceWriter& writer = (*shared.Writers)[static_cast<size_t>(worker)];
    for (size_t i = 0; i < early.Bytes.size(); ++i) {
      early.Bytes[i].assign(EncodePiece(e.Image, e.Kind, early.Grid, i, writer));
    }
    e.BandsPosted = early.Grid.Rows;
    e.Early = std::move(early);
    e.EarlyOn = true;
  } catch (...) {
    // The run encodes them.
  }
}

}  // namespace

TPictureLookAhead::TPictureLookAhead(TWorkerPool& pool, const TOptions& options,
                                     std::shared_ptr<std::vector<TPieceWriter>> writers)
    : Pool_(pool),
      Options_(options),
      Shared_(std::make_shared<TShared>(pool, options, std::move(writers))) {}

TPictureLookAhead::~TPictureLookAhead() {
  for (const auto& entry : Entries_) entry->Dropped = true;
}

void TPictureLookAhead::Drop(const std::shared_ptr<TEntry>& entry) {
  entry->Dropped = true;
  Pool_.Cancel(entry->Task);
  for (const auto& task : entry->EarlyTasks) Pool_.Cancel(task);
  Shared_->Held -= entry->Held;
  entry->Image = TSourceImage();
  entry->Early = TEarlyPieces();
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
    Utf16AsUtf8(text);
    for (TPictureGuess& picture : PicturesNamedBy(
             text, PageBaseAddress(text, platform::FolderOf(pagePath), Options_.SiteRoot),
             Options_)) {
      if (!Seen_.insert(picture.Path).second) continue;
      auto entry = std::make_shared<TEntry>();
      if (!ReadPicture(picture.Path, entry->Bytes)) continue;
      entry->Path = std::move(picture.Path);
      entry->Kind = picture.Kind;
      entry->OwnSize = picture.OwnSize;
      entry->Page = page;
      // Before the encoding of the pictures cut so far: those are needed
      // only when their group is written.
      entry->Task = Pool_.Post(
          [entry, shared = Shared_](int worker) { DecodeEntry(entry, *shared, false, worker); },
          true);
      Entries_.push_back(std::move(entry));
    }
  }
}

bool TPictureLookAhead::Take(const std::string& path, ImageKind kind, std::string_view fileBytes,
                             bool& decoded, TSourceImage& image, TEarlyPieces* early) {
  auto it = std::find_if(Entries_.begin(), Entries_.end(),
                         [&](const auto& entry) { return entry->Path == path; });
  if (it == Entries_.end()) return false;
  const std::shared_ptr<TEntry> entry = *it;
  const bool same = entry->Kind == kind && entry->Text() == fileBytes;
  if (same) {
    // Done here when no worker has begun it; helps with other work (the
    // bands of its pieces first) while one does it.
    Pool_.Wait(entry->Task);
    for (const auto& task : entry->EarlyTasks) Pool_.Wait(task);
    if (!entry->Tried) {
      entry->EarlyTasks.clear();
      entry->EarlyOn = false;
      entry->BandsPosted = 0;
      DecodeEntry(entry, *Shared_, true, 0);
      for (const auto& task : entry->EarlyTasks) Pool_.Wait(task);
    }
  }
  const bool taken = same && entry->Tried;
  if (taken) {
    decoded = entry->Decoded;
    image = decoded ? std::move(entry->Image) : TSourceImage();
    const bool whole = entry->EarlyOn && entry->BandsPosted == entry->Early.Grid.Rows;
    if (early != nullptr && decoded && whole) *early = std::move(entry->Early);
  }
  Drop(entry);
  return taken;
}

void TPictureLookAhead::Settle() {
  for (const auto& entry : Entries_) {
    Pool_.Wait(entry->Task);
    for (const auto& task : entry->EarlyTasks) Pool_.Wait(task);
  }
}
