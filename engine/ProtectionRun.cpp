#include "engine/ProtectionRun.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <optional>

#include "engine/DocumentMode.h"
#include "engine/FileSystemSync.h"
#include "engine/Grid.h"
#include "engine/ImageTagRewriter.h"
#include "engine/PageEncoding.h"
#include "engine/PagePolicy.h"
#include "engine/PageProcessor.h"
#include "engine/PieceFile.h"
#include "engine/ScriptNames.h"
#include "engine/SiteTexts.h"
#include "engine/TableMarkup.h"
#include "engine/TagScan.h"
#include "engine/WorkerPool.h"
#include "platform/File.h"
#include "platform/Path.h"
#include "storage/Convert.h"
#include "storage/FolderScan.h"
#include "storage/GlobalLib.h"

namespace {

// Backup records keep 255 bytes of a path; a page whose path is longer
// could not be put back, so it is never changed.
constexpr size_t kLongestBackupPath = 254;

constexpr char kKeptUnfinished[] = "the run did not finish its list";
constexpr char kKeptUnwritten[] =
    "a page showing it was left unwritten, or its backup is incomplete";
constexpr char kKeptStillShown[] = "a page or file of the site still refers to it";
constexpr char kKeptUnchecked[] =
    "the folders around the run are too large to look through for pages that show it";

EFileHandlerError PathTooLongError(const std::string& pagePath) {
  return EFileHandlerError(
      104, "Can not back up file " + pagePath + ": its path is longer than 254 bytes");
}

}  // namespace

TProtectionRun::TProtectionRun(const TOptions& options, const std::string& backupFolder,
                               TRunErrorSink errors, TRunMode mode)
    : Options_(options),
      Mode_(mode),
      Pool_(RunWorkers()),
      Writers_(std::make_shared<std::vector<TPieceWriter>>(static_cast<size_t>(Pool_.Size()))),
      Errors_(std::move(errors)) {
  CheckSlicingOptions(Options_);
  if (Pool_.Size() > 1) {
    // A judging-only run cuts nothing: no pieces are encoded ahead.
    LookAhead_ = std::make_unique<TPictureLookAhead>(
        Pool_, Options_, Mode_ == TRunMode::Protect ? Writers_ : nullptr);
  }
  if (Mode_ == TRunMode::Protect) {
    Backup_ = std::make_unique<TImageBackupMaker>(backupFolder);
    BackupSetName_ = Backup_->BaseName();
  }
  WidthHeightText_ = Options_.WidthHeight ? WidthHeightTemplate() : std::string();
  CloseLinkText_ = Options_.ATag ? "</a>" : "";
}

TProtectionRun::~TProtectionRun() {
  for (TStagedPage& slot : Staged_) DropPieces(slot.Pieces);
}

void TProtectionRun::Foresee(const std::vector<std::string>& pages, size_t next) {
  if (LookAhead_) LookAhead_->Foresee(pages, next);
}

void TProtectionRun::ReportError(int number, const std::string& message) {
  ++PageErrors_;
  if (Errors_) Errors_(number, message);
}

void TProtectionRun::KeepSourcesOfPage() {
  // Entries of a group that could not be committed are gone already.
  for (int32_t index : PageImages_) {
    if (index >= 0 && index <= Saved_.LastIndex()) Saved_.KeepSource(index);
  }
  PageImages_.clear();
}

// The new text is written from where its pieces lie, the old text's spans
// and the run's additions, in one gathered write: a page that may be large
// is never copied into a second buffer. It is longer than the old text, so
// the file then holds exactly `output`.
void TProtectionRun::WritePage(TFileHandler& page, const TPageText& output,
                               const std::string& old) {
  try {
    page.WriteWhole(output.Pieces(old));
  } catch (const EFileHandlerError&) {
    try {
      page.WriteWhole(old);
    } catch (const EFileHandlerError&) {
    }
    throw;
  }
}

void TProtectionRun::CountSlice(int64_t pieces) {
  Figures_.ImagesSliced += 1;
  Figures_.PiecesWritten += pieces;
  Staged_.back().ImagesSliced += 1;
  Staged_.back().PiecesMade += pieces;
}

void TProtectionRun::NoteCut(const std::string& path, int32_t ownWidth, int32_t ownHeight,
                             int32_t width, int32_t height, int32_t bleed) {
  Cuts_.Add(path, ownWidth, ownHeight, width, height, bleed);
  Staged_.back().Cuts.emplace_back(path, width, height, bleed);
}

namespace {

// Pixels a task of encoding takes at most, unless one piece is larger: a
// small picture is one task, a large one is spread over the workers.
constexpr int64_t kPixelsPerTask = int64_t{1} << 18;

}  // namespace

void TProtectionRun::KeepPieces(std::shared_ptr<const TSourceImage> image, ImageKind kind,
                                const TGrid& grid, std::vector<std::string>&& paths,
                                TEarlyPieces&& early) {
  auto pending = std::make_shared<TPendingPieces>();
  pending->Image = std::move(image);
  pending->Kind = kind;
  pending->Grid = grid;
  pending->Paths = std::move(paths);
  pending->Bytes.resize(pending->Paths.size());
  pending->Held = static_cast<int64_t>(pending->Image->Bitmap.Pixels.size() +
                                       pending->Image->Alpha.Pixels.size());
  size_t count = pending->Paths.size();
  if (early.Bytes.size() == count && early.Grid == grid) {
    // Encoded while the picture was decoded: nothing is left to do.
    pending->Bytes = std::move(early.Bytes);
    pending->Image.reset();
    count = 0;
  }
  const int64_t piecePixels = std::max<int64_t>(LargestFilePixels(grid), 1);
  const size_t perTask =
      static_cast<size_t>(std::clamp<int64_t>(kPixelsPerTask / piecePixels, 1, INT32_MAX));
  pending->Unfinished = (count + perTask - 1) / perTask;
  for (size_t first = 0; first < count; first += perTask) {
    const size_t last = std::min(count, first + perTask);
    pending->Tasks.push_back(Pool_.Post([pending, writers = Writers_, first, last](int worker) {
      TPieceWriter& writer = (*writers)[static_cast<size_t>(worker)];
      for (size_t i = first; i < last && !pending->Dropped; ++i) {
        pending->Bytes[i].assign(
            EncodePiece(*pending->Image, pending->Kind, pending->Grid, i, writer));
      }
      // The last task of the picture lets its pixels go.
      if (--pending->Unfinished == 0) pending->Image.reset();
    }));
  }
  UnsettledPixels_ += pending->Held;
  TStagedPage& current = Staged_.back();
  current.Pieces.push_back(std::move(pending));
  // The pixels waiting for their pieces stay bounded: the oldest are
  // settled first. Which ones depends only on their sizes, so the groups
  // do not depend on the number of workers.
  for (TStagedPage& slot : Staged_) {
    for (const auto& held : slot.Pieces) {
      if (UnsettledPixels_ <= kGroupBytes) break;
      if (!held->Settled) Settle(*held, true);
    }
  }
  if (StagedBytes_ < kGroupBytes) return;
  // The pictures of the page in progress fill the group alone: the group is
  // committed with what of this page is staged (its pictures' entries and
  // lines), and their pieces are written now rather than held.
  current.InProgress = true;
  const bool committed = FlushGroup();
  current.InProgress = false;
  if (!committed) {
    // The group's pictures, this page's too, were taken back: the page
    // cannot go on.
    DropPieces(current.Pieces);
    throw Exception("The backup set " + BackupSetName_ + " cannot be written");
  }
  WritePieces(current);
}

void TProtectionRun::Settle(TPendingPieces& pending, bool count) {
  for (const TWorkerPool::TPostedPtr& task : pending.Tasks) Pool_.Wait(task);
  if (pending.Settled) return;
  pending.Settled = true;
  UnsettledPixels_ -= pending.Held;
  if (!count) return;
  for (const std::string& bytes : pending.Bytes) StagedBytes_ += static_cast<int64_t>(bytes.size());
}

void TProtectionRun::DropPieces(TPendingList& pieces) {
  for (const auto& pending : pieces) {
    pending->Dropped = true;
    if (!pending->Settled) UnsettledPixels_ -= pending->Held;
    pending->Settled = true;
  }
  for (const auto& pending : pieces) {
    for (const TWorkerPool::TPostedPtr& task : pending->Tasks) Pool_.Cancel(task);
  }
  pieces.clear();
}

TPageOutcome TProtectionRun::ProtectPage(const std::string& pagePath) {
  StagePage(pagePath);
  Flush();
  std::vector<TPageOutcome> outcomes = TakeOutcomes();
  return outcomes.back();
}

std::vector<TPageOutcome> TProtectionRun::TakeOutcomes() {
  std::vector<TPageOutcome> outcomes;
  size_t taken = 0;
  while (taken < Staged_.size() && Staged_[taken].Final) {
    outcomes.push_back(std::move(Staged_[taken].Outcome));
    ++taken;
  }
  Staged_.erase(Staged_.begin(), Staged_.begin() + static_cast<std::ptrdiff_t>(taken));
  return outcomes;
}

TPageOutcome TProtectionRun::StagePage(const std::string& pagePath) {
  // A page already in the group is read again only once it is written; a
  // page larger than what the group may still take starts a group of its
  // own.
  bool flush = false;
  for (const TStagedPage& staged : Staged_)
    flush = flush || (!staged.Final && staged.Path == pagePath);
  std::error_code error;
  const auto size = std::filesystem::file_size(pagePath, error);
  if (!error && StagedBytes_ > 0 && StagedBytes_ + 2 * static_cast<int64_t>(size) > kGroupBytes) {
    flush = true;
  }
  if (flush) Flush();
  Staged_.emplace_back();
  TStagedPage& slot = Staged_.back();
  slot.Path = pagePath;
  try {
    StageInto(slot);
  } catch (...) {
    // The run ends here; what came before this page is written first, as
    // it would have been one page at a time, with the pictures of this page
    // that were cut whole. A failure there counts less than the error that
    // ended the run. This page has no outcome.
    try {
      Flush();
    } catch (...) {
    }
    Staged_.pop_back();
    throw;
  }
  if (!slot.Write && slot.Pieces.empty()) slot.Final = true;
  TPageOutcome outcome = slot.Outcome;
  if (StagedBytes_ >= kGroupBytes || Staged_.size() >= kGroupPages) Flush();
  return outcome;
}

// No page shows a cut made for a page that stays as it was, so its pieces
// would only litter the folder: they are never written, and a later page
// showing the picture cuts it afresh. When the page's pictures alone filled
// a group, their pieces are on disk already and stay.
void TProtectionRun::DropPageCuts(TStagedPage& slot, int32_t firstImage) {
  if (slot.Pieces.size() != static_cast<size_t>(slot.ImagesSliced)) return;
  for (const auto& pending : slot.Pieces) {
    if (!pending->Settled) continue;
    for (const std::string& bytes : pending->Bytes)
      StagedBytes_ -= static_cast<int64_t>(bytes.size());
  }
  ForgetCuts(slot);
  while (Saved_.LastIndex() >= firstImage) Saved_.DropNewest();
}

void TProtectionRun::ForgetCuts(TStagedPage& slot) {
  Figures_.ImagesSliced -= slot.ImagesSliced;
  Figures_.PiecesWritten -= slot.PiecesMade;
  for (const auto& [path, width, height, bleed] : slot.Cuts)
    Cuts_.Forget(path, width, height, bleed);
  DropPieces(slot.Pieces);
  slot.Cuts.clear();
  slot.ImagesSliced = slot.PiecesMade = 0;
}

void TProtectionRun::StageInto(TStagedPage& slot) {
  const std::string& pagePath = slot.Path;
  TPageOutcome& outcome = slot.Outcome;
  const int32_t firstImage = Saved_.LastIndex() + 1;
  PageErrors_ = 0;
  PageImages_.clear();
  PageVerdicts_.clear();
  std::unique_ptr<TFileHandler> page;
  std::string text;
  try {
    // A judging-only run opens the page as a run would, so a page the run
    // could not open for writing gives the same error there; it writes
    // nothing through the handle.
    const int32_t mode = fmOpenReadWrite | fmShareExclusive;
    try {
      page = TFileHandler::Open(pagePath, mode);
    } catch (const EFileHandlerError&) {
      // The run itself may hold the file open: a page of the group under
      // another name (a link). Once the group is written, it is free.
      if (std::none_of(Staged_.begin(), Staged_.end() - 1,
                       [](const TStagedPage& staged) { return !staged.Final; })) {
        throw;
      }
      slot.InProgress = true;
      Flush();
      slot.InProgress = false;
      page = TFileHandler::Open(pagePath, mode);
    }
    page->Read(text, 0);
  } catch (const EFileHandlerError& e) {
    ReportError(e.ErrorCode, e.what());
    outcome.FileErrors = PageErrors_;
    return;
  }
  outcome.Read = true;
  PagesRead_.insert(PageKey(pagePath));
  // A UTF-16 page is read and rewritten as UTF-8, and written in UTF-16 again.
  std::string wide;
  const size_t pageSize = text.size();
  if (StartsAsUtf16(text)) {
    wide = text;
    if (!Utf16AsUtf8(text)) {
      References_.NoteText(text);
      outcome.Error = "not valid UTF-16; the page was left as it is";
      return;
    }
  }

  const std::string pageFolder = platform::FolderOf(pagePath);
  PageFolders_.insert(pageFolder);
  PageTraits_.Responsive = DeclaresViewport(text);
  // Browsers read a .xhtml page as XML, whatever it declares.
  const std::string pageExt = platform::AsciiLower(platform::ExtensionOf(pagePath));
  PageTraits_.Quirks = InQuirksMode(text, pageExt == ".xhtml" || pageExt == ".xht");
  const TImageAddress base = PageBaseAddress(text, pageFolder, Options_.SiteRoot);
  TPageText output;
  std::vector<std::pair<int, int>> replaced;
  TScriptNames scripts(text);
  // Read once the first picture is met: a page without one needs no policy.
  std::optional<TPagePolicy> policy;
  const auto leave = [&](const std::string& tag, TLeaveReason reason) {
    TImageCandidate unjudged;
    unjudged.Reason = reason;
    NoteVerdict(TagVerdictOf(tag, TTagDecision::Refused, unjudged));
  };
  try {
    output = BuildProtectedText(
        text, Options_.ATag != 0,
        [&](const std::string& tag, const std::string& link, const TTagPlace& place,
            std::string& replacement) {
          // Between a table's rows a browser moves the picture out before
          // the table, as it moves an IMG; a table there would end it.
          const TMarkup markup = place.InTableRows ? TMarkup::Layered : Options_.Markup;
          if (!policy) policy = PagePolicyOf(text);
          if (!policy->InlineStyles || (markup == TMarkup::Layered && !policy->DataImages)) {
            leave(tag, TLeaveReason::PagePolicy);
            return false;
          }
          return ProtectImageTag(tag, base, link, CloseLinkText_, WidthHeightText_, markup, scripts,
                                 replacement, *this);
        },
        leave, &replaced);
  } catch (const EConvertError& e) {
    // The page stays as it is and still shows every picture it showed.
    DropPageCuts(slot, firstImage);
    KeepSourcesOfPage();
    References_.NoteText(text);
    outcome.Error = e.what();
    outcome.FileErrors = PageErrors_;
    return;
  } catch (...) {
    KeepSourcesOfPage();
    References_.NoteText(text);
    throw;
  }
  outcome.FileErrors = PageErrors_;
  if (JudgingOnly()) {
    // The page is where a protecting run would write it.
    outcome.Unchanged = replaced.empty();
    outcome.FinalSize = static_cast<int32_t>(pageSize);
    if (!replaced.empty() && pagePath.size() > kLongestBackupPath) {
      ReportError(104, PathTooLongError(pagePath).what());
      outcome.FileErrors = PageErrors_;
    }
    return;
  }
  if (replaced.empty()) {
    References_.NoteText(text);
    outcome.Unchanged = true;
    outcome.FinalSize = static_cast<int32_t>(pageSize);
    return;
  }
  if (!wide.empty()) {
    TPageText inWide;
    inWide.Add(Utf8AsUtf16(output.Pieces(text), wide[0] == '\xFE'));
    output = std::move(inWide);
  }
  if (output.Size() > static_cast<size_t>(INT32_MAX)) {
    KeepSourcesOfPage();
    References_.NoteText(text);
    ReportError(104, EFileWriteError(pagePath).what());
    outcome.FileErrors = PageErrors_;
    return;
  }
  // Unwritten, the page keeps all its tags; written, all but the replaced.
  outcome.FinalSize = static_cast<int32_t>(output.Size());
  if (static_cast<size_t>(page->FileSize()) >= output.Size()) {
    // Not written: the page still shows every picture it showed.
    KeepSourcesOfPage();
    References_.NoteText(text);
    return;
  }
  References_.NoteText(text, replaced);
  if (!wide.empty()) text = std::move(wide);

  try {
    if (pagePath.size() > kLongestBackupPath) throw PathTooLongError(pagePath);
    Backup_->StageEntry(page->FileSize(), pagePath, text);
  } catch (const EFileHandlerError& e) {
    KeepSourcesOfPage();
    References_.NoteText(text);
    ReportError(e.ErrorCode, e.what());
    outcome.FileErrors = PageErrors_;
    return;
  }
  Backup_->AddWriting(pagePath, output.Pieces(text));
  NoteWrittenFolder(pageFolder);
  StagedBytes_ += static_cast<int64_t>(text.size() + output.Size());
  slot.Write = true;
  slot.Handle = std::move(page);
  slot.Text = std::move(text);
  slot.Output = std::move(output);
  slot.Replaced = std::move(replaced);
  slot.Images = std::move(PageImages_);
  PageImages_.clear();
  outcome.Written = true;
}

void TProtectionRun::DropGroup(const std::exception& e, int number) {
  for (TStagedPage& slot : Staged_) {
    if (slot.Final || slot.InProgress) continue;
    slot.Final = true;
    ++slot.Outcome.FileErrors;
    if (Errors_) Errors_(number, e.what());
    ForgetCuts(slot);
    // The pictures of this group were never cut; those of earlier ones stay.
    if (slot.Write) LeaveUnwritten(slot, GroupFirstImage_);
  }
  // The group's pictures were never cut as far as the site can tell.
  while (Saved_.LastIndex() >= GroupFirstImage_) Saved_.DropNewest();
  StagedBytes_ = 0;
}

void TProtectionRun::WritePieces(TStagedPage& slot) {
  while (!slot.Pieces.empty()) {
    TPendingPieces& pending = *slot.Pieces.front();
    try {
      Settle(pending, false);
    } catch (...) {
      // A picture that could not be encoded ends the run before any of its
      // pieces exists; the pictures after it are not written either.
      DropPieces(slot.Pieces);
      throw;
    }
    size_t written = 0;
    try {
      for (size_t i = 0; i < pending.Paths.size(); ++i) {
        WriteNewFile(pending.Paths[i], pending.Bytes[i]);
        ++written;
        Backup_->AddWritten(pending.Paths[i], pending.Bytes[i]);
      }
    } catch (...) {
      // No page will show a picture that was cut only in part: its pieces
      // are litter the run would not report.
      for (size_t i = 0; i < written; ++i) platform::DeleteFile(pending.Paths[i]);
      DropPieces(slot.Pieces);
      throw;
    }
    slot.Pieces.erase(slot.Pieces.begin());
  }
}

void TProtectionRun::WriteStaged(TStagedPage& slot) {
  WritePieces(slot);
  if (slot.Write) {
    try {
      WritePage(*slot.Handle, slot.Output, slot.Text);
      slot.Write = false;
      ReleasePage(slot);
    } catch (const EFileHandlerError& e) {
      ++slot.Outcome.FileErrors;
      if (Errors_) Errors_(e.ErrorCode, e.what());
      LeaveUnwritten(slot, INT32_MAX);
    }
  }
  slot.Final = true;
}

void TProtectionRun::ReleasePage(TStagedPage& slot) {
  slot.Handle.reset();
  slot.Text.clear();
  slot.Text.shrink_to_fit();
  slot.Output = TPageText();
}

void TProtectionRun::LeaveUnwritten(TStagedPage& slot, int32_t keepBelow) {
  slot.Write = false;
  slot.Outcome.Written = false;
  // The page still shows what it showed.
  References_.NoteText(slot.Text);
  for (int32_t index : slot.Images) {
    if (index < keepBelow) Saved_.KeepSource(index);
  }
  ReleasePage(slot);
}

void TProtectionRun::Flush() { FlushGroup(); }

bool TProtectionRun::FlushGroup() {
  bool pending = false;
  for (const TStagedPage& slot : Staged_) pending = pending || (!slot.Final && !slot.InProgress);
  // A judging-only run has nothing to write.
  if (!Backup_ || (!pending && !Backup_->HasStaged())) return true;
  try {
    Backup_->Commit();
  } catch (const EFileHandlerError& e) {
    DropGroup(e, e.ErrorCode);
    GroupFirstImage_ = Saved_.LastIndex() + 1;
    return false;
  }
  StagedBytes_ = 0;
  GroupFirstImage_ = Saved_.LastIndex() + 1;
  for (TStagedPage& slot : Staged_) {
    if (slot.Final || slot.InProgress) continue;
    try {
      WriteStaged(slot);
    } catch (...) {
      // The run ends: the pages not reached stay as they are, and keep their
      // pictures' sources.
      for (TStagedPage& rest : Staged_) {
        if (rest.Final || rest.InProgress) continue;
        rest.Final = true;
        DropPieces(rest.Pieces);
        if (rest.Write) LeaveUnwritten(rest, INT32_MAX);
      }
      throw;
    }
  }
  return true;
}

void TProtectionRun::Finish(bool listCompleted) {
  if (Finished_) return;
  Finished_ = true;
  if (JudgingOnly()) return;
  // The group in progress is written first; a failure there ends the run
  // as it would on its page.
  std::exception_ptr failure;
  try {
    Flush();
  } catch (...) {
    failure = std::current_exception();
    listCompleted = false;
  }
  // The backup set is complete on disk before anything else.
  Backup_.reset();
  const std::vector<std::string> candidates = Saved_.SourcesToDelete();
  std::set<std::string> unwritten;
  for (int32_t i = 0; i <= Saved_.LastIndex(); ++i) {
    if (Saved_.IsKept(i)) unwritten.insert(Saved_.Paths()[i]);
  }
  Figures_.SourcesKept.clear();
  if (!unwritten.empty())
    Figures_.SourcesKept[kKeptUnwritten] = static_cast<int64_t>(unwritten.size());
  if (!listCompleted) {
    if (!candidates.empty())
      Figures_.SourcesKept[kKeptUnfinished] = static_cast<int64_t>(candidates.size());
    if (failure) std::rethrow_exception(failure);
    return;
  }
  // Every text of the site that may still name a source, the run's own
  // pages aside (noted as they were read): the site root, or the site that
  // the folder holding the run's pages and pictures lies in.
  if (!candidates.empty()) {
    std::vector<std::string> places(candidates);
    places.insert(places.end(), PageFolders_.begin(), PageFolders_.end());
    const std::string runFolder = CommonFolder(places);
    std::string site = Options_.SiteRoot;
    if (!site.empty() && site.back() != '/') site += '/';
    if (site.empty() || CommonFolder({site, runFolder}) != site) site = SiteTopOf(runFolder);
    if (site.empty() || !ReadSiteTexts(site, PagesRead_, [&](std::string_view text) {
          References_.NoteText(text);
        })) {
      Figures_.SourcesKept[kKeptUnchecked] = static_cast<int64_t>(candidates.size());
      return;
    }
  }
  std::vector<std::string> doomed;
  for (const std::string& path : candidates) {
    if (References_.Mentions(path)) {
      Figures_.SourcesKept[kKeptStillShown] += 1;
    } else {
      doomed.push_back(path);
    }
  }
  // Pages and pieces reach the disk before any source goes.
  SyncFileSystemsOf(WrittenFolders_);
  for (const std::string& path : doomed) {
    if (platform::DeleteFile(path)) Figures_.SourcesDeleted += 1;
  }
}
