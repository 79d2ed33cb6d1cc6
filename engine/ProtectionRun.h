#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "engine/Grid.h"
#include "engine/ImageTagRewriter.h"
#include "engine/PageProcessor.h"
#include "engine/PictureLookAhead.h"
#include "engine/PieceWriter.h"
#include "engine/RandomFileName.h"
#include "engine/SavedImage.h"
#include "engine/Slicer.h"
#include "engine/SourceReferences.h"
#include "engine/TagVerdict.h"
#include "engine/WorkerPool.h"
#include "storage/Backup.h"
#include "storage/vlmOption.h"

class TFileHandler;

// Receives a file error (codes 101 to 104) that the run met and went on
// after: the page or image concerned is left as it was.
using TRunErrorSink = std::function<void(int number, const std::string& message)>;

// What ProtectPage did to one page.
struct TPageOutcome {
  bool Read = false;       // the page could be opened and read
  int32_t FinalSize = -1;  // length of the page's new text; -1 when it was not read
  bool Written = false;    // the new text replaced the page's bytes
  // No picture of the page was protected: it was left as it was, and
  // FinalSize is its own size.
  bool Unchanged = false;
  int FileErrors = 0;  // file errors passed to the sink while on this page
  // A page the run refused and went on after (a WIDTH or HEIGHT that is no
  // whole number): the error's own text; the page is left unchanged.
  std::string Error;
};

// A run that protects, or one that only judges: it reads and judges every
// page as a protecting run does, with the same reuse within the run, but
// writes nothing - no backup set, no pieces, no page - and deletes nothing.
enum class TRunMode { Protect, JudgeOnly };

// Figures of a run, for its summary.
struct TRunFigures {
  int64_t ImagesSliced = 0;
  int64_t PiecesWritten = 0;
  int64_t SourcesDeleted = 0;
  // Sliced sources left in place, counted by the reason they stayed.
  std::map<std::string, int64_t> SourcesKept;
};

// One protection run: its backup set, piece-name generator and saved-image
// registry, and the two run texts, all fixed from `options` when the run is
// made. Pages go through ProtectPage or StagePage one at a time, in list
// order; Finish ends the run. Not copyable, not thread-safe: one thread
// drives it.
//
// Pages are written in groups (group commit): StagePage reads a page, cuts
// its pictures and keeps the pieces and the new text in memory, while the
// old bytes of the page and its pictures go to the backup set unforced.
// Once the group holds enough (kGroupBytes of pages and pieces, or
// kGroupPages pages), or on Flush, the backup set is forced to the disk once
// for the whole group, and then the group's pieces and pages are written in
// list order. So every page and piece is written after its backup, as one at
// a time would, with a few forced writes per group instead of several per
// page and picture. A page larger than the budget makes a group of its own.
//
// The computing is spread over the run's workers (RunWorkers): the pieces of
// a picture are encoded there from the moment it is cut until its group is
// written, and the pictures of the next pages are decoded ahead (Foresee).
// Every file change stays on the run's thread, in the order above, so the
// files, their names and their order do not depend on the number of
// workers.
//
// Sources of sliced images are deleted only by Finish, and only when the run
// went through its whole list; a run destroyed without Finish (an error that
// ended it, a cancel) or finished incomplete keeps every source, as does a
// killed process.
//
// A judging-only run (TRunMode::JudgeOnly) takes the same path through each
// page up to the point where a protecting run would write: it reads the
// page without opening it for writing, records the verdict of every tag and
// counts an image it would slice as cut, so that a later tag showing it at
// the same size is judged "reuse". Its figures stay zero.
class TProtectionRun {
 public:
  // Checks the slicing options and, for a protecting run, opens the backup
  // set in `backupFolder` (ending with "/", made when missing); a
  // judging-only run ignores `backupFolder`. Raises Exception, nothing
  // changed, when the run cannot start.
  TProtectionRun(const TOptions& options, const std::string& backupFolder, TRunErrorSink errors,
                 TRunMode mode = TRunMode::Protect);
  TProtectionRun(const TProtectionRun&) = delete;
  TProtectionRun& operator=(const TProtectionRun&) = delete;
  ~TProtectionRun();

  // Protects the page at the full path `pagePath` in place. A page in which
  // no picture is protected is left unchanged: no snippets, no backup entry,
  // no write. File errors go
  // to the error sink and the page is left as it was; a WIDTH or HEIGHT that
  // is no whole number leaves the page unchanged and is returned in
  // `Error`. Any other error (a piece that cannot be encoded, exhausted
  // memory) leaves as an exception, the page unwritten, and ends the run.
  // A judging-only run reads the page and returns what a protecting run
  // would: `Unchanged` when no tag would be protected, `Error` as above,
  // file errors (the page cannot be read, its path is too long for the
  // backup) to the sink; FinalSize is the page's own size. The page is
  // written (or left) before this returns: StagePage, then Flush.
  TPageOutcome ProtectPage(const std::string& pagePath);

  // What the judging found for every IMG tag of the page last given to
  // ProtectPage or StagePage, in page order, up to where it stopped when it
  // raised.
  const std::vector<TTagVerdict>& PageVerdicts() const { return PageVerdicts_; }

  // Protects the page as ProtectPage does, but as part of the group in
  // progress: the page may be written only by a later StagePage, by Flush or
  // by Finish. Its outcome comes from TakeOutcomes once it is final. An error
  // that ends the run leaves as an exception after the pages staged before
  // this one (and the pieces of this one's pictures that were complete)
  // were written; this page stays unwritten. Returns the outcome as far as
  // it is known now: all but Written and FileErrors are final.
  TPageOutcome StagePage(const std::string& pagePath);
  // The run is about to stage page `next` of `pages` (the same list on every
  // call): the pictures of the pages from there on may be decoded ahead on
  // the run's workers. Changes nothing; optional.
  void Foresee(const std::vector<std::string>& pages, size_t next);
  // Commits the group in progress and writes its pieces and pages. Raises
  // what ends the run (a piece that cannot be written); a backup set that
  // cannot be forced leaves every page of the group unwritten, reported.
  void Flush();
  // The outcomes made final since the last call, in the order the pages
  // were staged.
  std::vector<TPageOutcome> TakeOutcomes();

  // Old bytes and pieces a group may hold before it is written, and its most
  // pages. Pieces count once they are encoded.
  static constexpr int64_t kGroupBytes = int64_t{64} << 20;
  static constexpr size_t kGroupPages = 32;

  // Ends the run: completes the backup set, forces pages and pieces to the
  // disk, then deletes the sliced sources that nothing of the run refers to
  // any more - all of them kept when `listCompleted` is false. "Refers to":
  // the name is mentioned by a page of the run outside the tables it made
  // (a kept tag, a link, a style), or by a style sheet or script (.css, .js)
  // in the folder of one of its pages. Called once;
  // later calls do nothing. A judging-only run has nothing to complete or
  // delete.
  void Finish(bool listCompleted);

  const TOptions& Options() const { return Options_; }
  bool JudgingOnly() const { return Mode_ == TRunMode::JudgeOnly; }
  const TRunFigures& Figures() const { return Figures_; }
  // The backup set's path without extension ("/home/Backup/3").
  const std::string& BackupSetName() const { return BackupSetName_; }

  // For the tag rewriter, while a page is processed. A judging-only run
  // has no backup set.
  TImageBackupMaker& Backup() { return *Backup_; }
  TRandomFileName& Names() { return Names_; }
  TSavedImage& Saved() { return Saved_; }
  TCutImages& Cuts() { return Cuts_; }
  const std::string& WidthHeightText() const { return WidthHeightText_; }
  const std::string& CloseLinkText() const { return CloseLinkText_; }
  // What of the page in progress shapes its pictures' markup.
  const TPageTraits& PageTraits() const { return PageTraits_; }
  // Notes that the page in progress shows registry entry `index`.
  void NotePageImage(int32_t index) { PageImages_.push_back(index); }
  void NoteVerdict(TTagVerdict verdict) { PageVerdicts_.push_back(std::move(verdict)); }
  // Notes a folder that received files, forced to the disk before any
  // source is deleted.
  void NoteWrittenFolder(const std::string& folder) { WrittenFolders_.insert(folder); }
  void CountSlice(int64_t pieces);
  // Notes a cut of the page in progress (kept in Cuts).
  void NoteCut(const std::string& path, int32_t ownWidth, int32_t ownHeight, int32_t width,
               int32_t height, int32_t bleed);
  // Takes the pieces of a picture of the page in progress, `image` cut into
  // `grid` in the format of `kind`, to be written at `paths` (row-major)
  // with its group; they are encoded on the run's workers meanwhile. When
  // the pictures held fill the group, the group is committed and they are
  // written at once. Raises Exception when that commit fails, and what
  // encoding raised.
  // `early` holds them already when its grid is `grid`.
  void KeepPieces(std::shared_ptr<const TSourceImage> image, ImageKind kind, const TGrid& grid,
                  std::vector<std::string>&& paths, TEarlyPieces&& early = TEarlyPieces());
  // Pictures decoded ahead, for the judging of the page in progress; null
  // when the run has one worker.
  TPictureLookAhead* LookAhead() { return LookAhead_.get(); }
  void ReportError(int number, const std::string& message);

 private:
  // The pieces of a picture cut for a page of the group: encoded on the
  // workers by Tasks, written when the group is.
  struct TPendingPieces {
    std::shared_ptr<const TSourceImage> Image;
    ImageKind Kind = ImageKind::None;
    TGrid Grid;
    std::vector<std::string> Paths;
    std::vector<std::string> Bytes;  // of each piece, once its task is done
    std::vector<TWorkerPool::TPostedPtr> Tasks;
    int64_t Held = 0;  // bytes of pixels held for it
    // Its tasks were waited for: the pieces are encoded, and their bytes
    // count in the group instead of its pixels.
    bool Settled = false;
    std::atomic<bool> Dropped{false};
    std::atomic<size_t> Unfinished{0};  // tasks not done
  };
  using TPendingList = std::vector<std::shared_ptr<TPendingPieces>>;

  // A page of the group in progress: what is left to write, and what to
  // take back when the group cannot be committed.
  struct TStagedPage {
    std::string Path;
    TPageOutcome Outcome;
    bool Final = false;
    bool Write = false;  // the page itself is to be written
    // Being read while the group before it is written; has nothing staged.
    bool InProgress = false;
    std::unique_ptr<TFileHandler> Handle;
    std::string Text;
    TPageText Output;  // spans of Text and what the run added
    std::vector<std::pair<int, int>> Replaced;
    std::vector<int32_t> Images;  // registry entries it shows
    TPendingList Pieces;          // of each picture it cut, not written yet
    std::vector<std::tuple<std::string, int32_t, int32_t, int32_t>> Cuts;
    int64_t ImagesSliced = 0, PiecesMade = 0;
  };

  void StageInto(TStagedPage& slot);
  // The page in `slot` stays as it was: takes back the cuts made for it
  // (registry entries from `firstImage` on), whose pieces are not written.
  void DropPageCuts(TStagedPage& slot, int32_t firstImage);
  // Takes back the figures, cuts and unwritten pieces of the pictures cut
  // for `slot`.
  void ForgetCuts(TStagedPage& slot);
  // The group could not be committed: every page in it stays as it was.
  void DropGroup(const std::exception& e, int number);
  // False when the group could not be committed (and was dropped).
  bool FlushGroup();
  void WritePieces(TStagedPage& slot);
  // The pieces will not be written: their encoding stops.
  void DropPieces(TPendingList& pieces);
  // Waits for the pieces of `pending` to be encoded (helping with it);
  // with `count`, their bytes then count in the group in progress. Raises
  // what encoding raised.
  void Settle(TPendingPieces& pending, bool count);
  void WriteStaged(TStagedPage& slot);
  // The page staged in `slot` stays as it was: it still shows its pictures,
  // so the sources of those registered before `keepBelow` stay; its handle
  // and texts go (ReleasePage).
  void LeaveUnwritten(TStagedPage& slot, int32_t keepBelow);
  void ReleasePage(TStagedPage& slot);
  void KeepSourcesOfPage();
  // Writes `output` over the opened page; puts the old bytes back when that
  // fails. Raises EFileHandlerError.
  static void WritePage(TFileHandler& page, const TPageText& output, const std::string& old);

  const TOptions Options_;
  const TRunMode Mode_;
  TWorkerPool& Pool_;
  // An encoder for each worker of the pool.
  std::shared_ptr<std::vector<TPieceWriter>> Writers_;
  std::unique_ptr<TPictureLookAhead> LookAhead_;
  TRunErrorSink Errors_;
  std::unique_ptr<TImageBackupMaker> Backup_;
  std::string BackupSetName_;
  TRandomFileName Names_;
  TSavedImage Saved_;
  TCutImages Cuts_;
  std::string WidthHeightText_;
  std::string CloseLinkText_;
  TRunFigures Figures_;
  int PageErrors_ = 0;
  bool Finished_ = false;

  // Registry entries that the page in progress refers to; their sources
  // stay in place when that page is not written.
  std::vector<int32_t> PageImages_;
  std::vector<TTagVerdict> PageVerdicts_;
  // The pages of the group in progress, and those whose outcome is final
  // but not yet taken, in list order; the newest is the page in progress.
  std::vector<TStagedPage> Staged_;
  int64_t StagedBytes_ = 0;
  // Pixels of the pictures whose pieces are not settled: while they are
  // more than kGroupBytes, the oldest are settled.
  int64_t UnsettledPixels_ = 0;
  // First registry entry of the group in progress.
  int32_t GroupFirstImage_ = 0;
  TPageTraits PageTraits_;
  // What the run's pages, and the other texts of their site, still mention:
  // a source they name stays.
  TSourceReferences References_;
  std::set<std::string> PageFolders_;
  std::set<std::string> PagesRead_;  // PageKey of every page read
  std::set<std::string> WrittenFolders_;
};
