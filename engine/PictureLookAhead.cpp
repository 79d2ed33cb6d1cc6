#include "engine/PictureLookAhead.h"

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "engine/ImageTagRewriter.h"
#include "platform/File.h"
#include "platform/Path.h"
#include "storage/FolderScan.h"

namespace {

struct TEntry {
  enum class Step { Listed, Decoding, Ready, Gone };
  std::string Path;
  ImageKind Kind = ImageKind::None;
  size_t Page = 0;  // the first page that names it
  Step At = Step::Listed;
  bool Read = false;     // the file could be read into Bytes
  bool Decoded = false;  // what DecodeImage gave
  std::string Bytes;
  TSourceImage Image;
  int64_t Held = 0;
};

using TEntryPtr = std::shared_ptr<TEntry>;

int64_t PixelBytesOf(const TSourceImage& image) {
  return static_cast<int64_t>(image.Bitmap.Pixels.size() + image.Alpha.Pixels.size());
}

}  // namespace

// Shared with the work on the pool, which may outlast the look-ahead.
struct TPictureLookAhead::TState {
  TWorkerPool& Pool;
  const TOptions Options;
  std::mutex Mutex;
  std::condition_variable Ready;
  bool Stopping = false;
  // A step of the look-ahead is queued and not begun.
  bool Busy = false;
  int Running = 0;  // steps under way
  TWorkerPool::TPostedPtr Posted;
  size_t Announced = 0;  // pages of the list handed over so far
  std::deque<std::pair<size_t, std::string>> Pages;  // to look at, in order
  std::deque<TEntryPtr> Listed;                       // to decode, in order
  std::unordered_map<std::string, TEntryPtr> Entries;
  std::unordered_set<std::string> Seen;
  size_t InHand = 0;  // entries being decoded or ready
  int64_t Held = 0;

  TState(TWorkerPool& pool, const TOptions& options) : Pool(pool), Options(options) {}

  bool CanDecode() const { return !Listed.empty() && InHand < kPicturesAhead && Held < kHeldBytes; }
  bool CanLook() const { return !Pages.empty() && Listed.size() < kPicturesAhead; }

  // Posts the next step when there is one to do and none is posted. Mutex
  // held.
  static void Kick(const std::shared_ptr<TState>& state) {
    if (state->Stopping || state->Busy || !(state->CanDecode() || state->CanLook())) return;
    state->Busy = true;
    std::weak_ptr<TState> weak = state;
    state->Posted = state->Pool.Post(
        [weak](int) {
          if (std::shared_ptr<TState> s = weak.lock()) Step(s);
        },
        true);
  }

  // One piece of work on the pool: a picture decoded, else a page looked at.
  static void Step(const std::shared_ptr<TState>& state) {
    std::unique_lock<std::mutex> lock(state->Mutex);
    state->Busy = false;
    if (state->Stopping) return;
    ++state->Running;
    try {
      if (state->CanDecode()) {
        TEntryPtr entry = state->Listed.front();
        state->Listed.pop_front();
        entry->At = TEntry::Step::Decoding;
        ++state->InHand;
        lock.unlock();
        Decode(*entry);
        lock.lock();
        entry->At = TEntry::Step::Ready;
        state->Held += entry->Held;
        state->Ready.notify_all();
      } else if (state->CanLook()) {
        auto [page, path] = std::move(state->Pages.front());
        state->Pages.pop_front();
        lock.unlock();
        std::vector<TPictureGuess> pictures = Look(path, state->Options);
        lock.lock();
        for (TPictureGuess& picture : pictures) {
          if (!state->Seen.insert(picture.Path).second) continue;
          auto entry = std::make_shared<TEntry>();
          entry->Path = picture.Path;
          entry->Kind = picture.Kind;
          entry->Page = page;
          state->Entries.emplace(entry->Path, entry);
          state->Listed.push_back(entry);
        }
      }
    } catch (...) {
      // Out of memory: the run decodes for itself.
      if (!lock.owns_lock()) lock.lock();
    }
    --state->Running;
    Kick(state);
    state->Ready.notify_all();
  }

  static std::vector<TPictureGuess> Look(const std::string& pagePath, const TOptions& options) {
    std::error_code error;
    if (!IsRegularFile(pagePath)) return {};
    const auto size = std::filesystem::file_size(pagePath, error);
    if (error || size > static_cast<uintmax_t>(kLargestPage)) return {};
    std::string text;
    if (!platform::ReadWholeFile(pagePath, text)) return {};
    return PicturesNamedBy(text, platform::FolderOf(pagePath), options);
  }

  // Never raises: a picture that could not be decoded here is left to the
  // run.
  static void Decode(TEntry& entry) {
    try {
      if (!IsRegularFile(entry.Path) || !platform::ReadWholeFile(entry.Path, entry.Bytes)) return;
      entry.Decoded = DecodeImage(entry.Kind, entry.Bytes, entry.Image);
      entry.Read = true;
      entry.Held = PixelBytesOf(entry.Image);
    } catch (...) {
      entry.Read = false;
      entry.Image = TSourceImage();
      entry.Held = 0;
    }
  }

  // Mutex held.
  void Drop(const TEntryPtr& entry) {
    if (entry->At == TEntry::Step::Ready) {
      Held -= entry->Held;
      --InHand;
    }
    entry->At = TEntry::Step::Gone;
    entry->Image = TSourceImage();
    entry->Bytes.clear();
    Entries.erase(entry->Path);
  }
};

TPictureLookAhead::TPictureLookAhead(TWorkerPool& pool, const TOptions& options)
    : State_(std::make_shared<TState>(pool, options)) {}

TPictureLookAhead::~TPictureLookAhead() {
  TWorkerPool::TPostedPtr posted;
  {
    std::lock_guard<std::mutex> lock(State_->Mutex);
    State_->Stopping = true;
    posted = State_->Posted;
  }
  if (posted) State_->Pool.Cancel(posted);
}

void TPictureLookAhead::Foresee(const std::vector<std::string>& pages, size_t next) {
  std::lock_guard<std::mutex> lock(State_->Mutex);
  TState& s = *State_;
  if (s.Announced < next) s.Announced = next;
  while (s.Announced < pages.size() && s.Announced < next + kPagesAhead) {
    s.Pages.emplace_back(s.Announced, pages[s.Announced]);
    ++s.Announced;
  }
  while (!s.Pages.empty() && s.Pages.front().first < next) s.Pages.pop_front();
  // Pictures of pages gone by that the run did not take (a tag it refused
  // before looking at the picture) are of no more use.
  while (!s.Listed.empty() && s.Listed.front()->Page < next) {
    s.Drop(s.Listed.front());
    s.Listed.pop_front();
  }
  std::vector<TEntryPtr> stale;
  for (const auto& [path, entry] : s.Entries) {
    if (entry->Page < next && entry->At == TEntry::Step::Ready) stale.push_back(entry);
  }
  for (const TEntryPtr& entry : stale) s.Drop(entry);
  TState::Kick(State_);
}

void TPictureLookAhead::Settle() {
  std::unique_lock<std::mutex> lock(State_->Mutex);
  State_->Ready.wait(lock, [&] { return !State_->Busy && State_->Running == 0; });
}

bool TPictureLookAhead::Take(const std::string& path, ImageKind kind, std::string_view fileBytes,
                             bool& decoded, TSourceImage& image) {
  std::unique_lock<std::mutex> lock(State_->Mutex);
  TState& s = *State_;
  auto it = s.Entries.find(path);
  if (it == s.Entries.end()) return false;
  TEntryPtr entry = it->second;
  if (entry->At == TEntry::Step::Listed) {
    // Not begun: the run decodes it now rather than wait for it.
    for (auto at = s.Listed.begin(); at != s.Listed.end(); ++at) {
      if (*at != entry) continue;
      s.Listed.erase(at);
      break;
    }
    s.Drop(entry);
    TState::Kick(State_);
    return false;
  }
  // While a worker decodes it, this thread does what else is queued.
  while (entry->At == TEntry::Step::Decoding) {
    lock.unlock();
    const bool helped = s.Pool.HelpOnce();
    lock.lock();
    if (!helped) s.Ready.wait(lock, [&] { return entry->At != TEntry::Step::Decoding; });
  }
  if (entry->At != TEntry::Step::Ready) return false;
  const bool same = entry->Read && entry->Kind == kind && entry->Bytes == fileBytes;
  if (same) {
    decoded = entry->Decoded;
    image = std::move(entry->Image);
  }
  s.Drop(entry);
  TState::Kick(State_);
  return same;
}
