#include "engine/ProtectionRun.h"

#include <climits>

#include "engine/FileSystemSync.h"
#include "engine/Grid.h"
#include "engine/ImageTagRewriter.h"
#include "engine/PageProcessor.h"
#include "engine/TableMarkup.h"
#include "engine/TagScan.h"
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
constexpr char kKeptUnwritten[] = "a page showing it was left unwritten, or its backup is incomplete";
constexpr char kKeptStillShown[] = "a page of the run still refers to it";

EFileHandlerError PathTooLongError(const std::string& pagePath) {
  return EFileHandlerError(
      104, "Can not back up file " + pagePath + ": its path is longer than 254 bytes");
}

}  // namespace

TProtectionRun::TProtectionRun(const TOptions& options, const std::string& backupFolder,
                               TRunErrorSink errors, TRunMode mode)
    : Options_(options), Mode_(mode), Errors_(std::move(errors)) {
  CheckSlicingOptions(Options_);
  if (Mode_ == TRunMode::Protect) {
    Backup_ = std::make_unique<TImageBackupMaker>(backupFolder);
    BackupSetName_ = Backup_->BaseName();
  }
  WidthHeightText_ = Options_.WidthHeight ? WidthHeightTemplate() : std::string();
  CloseLinkText_ = Options_.ATag ? "</a>" : "";
}

TProtectionRun::~TProtectionRun() = default;

void TProtectionRun::ReportError(int number, const std::string& message) {
  ++PageErrors_;
  if (Errors_) Errors_(number, message);
}

void TProtectionRun::KeepSourcesOfPage() {
  for (int32_t index : PageImages_) Saved_.KeepSource(index);
  PageImages_.clear();
}

// The new text is written from where it lies instead of being gathered in
// the handler's buffer first, which would hold a third copy of a page that
// may be large. It is longer than the old text, so the file then holds
// exactly `output`.
void TProtectionRun::WritePage(TFileHandler& page, const std::string& output,
                               const std::string& old) {
  try {
    page.WriteWhole(output);
  } catch (const EFileHandlerError&) {
    try {
      page.WriteWhole(old);
    } catch (const EFileHandlerError&) {
    }
    throw;
  }
}

TPageOutcome TProtectionRun::ProtectPage(const std::string& pagePath) {
  TPageOutcome outcome;
  PageErrors_ = 0;
  PageImages_.clear();
  PageVerdicts_.clear();
  std::unique_ptr<TFileHandler> page;
  std::string text;
  try {
    page = TFileHandler::Open(pagePath, JudgingOnly() ? fmOpenRead | fmShareDenyNone
                                                      : fmOpenReadWrite | fmShareExclusive);
    page->Read(text, 0);
  } catch (const EFileHandlerError& e) {
    ReportError(e.ErrorCode, e.what());
    outcome.FileErrors = PageErrors_;
    return outcome;
  }
  outcome.Read = true;

  const std::string pageFolder = platform::FolderOf(pagePath);
  PageFolders_.insert(pageFolder);
  PageResponsive_ = DeclaresViewport(text);
  std::string output;
  std::vector<std::pair<int, int>> replaced;
  try {
    output = BuildProtectedPage(
        text, Options_.ATag != 0,
        [&](const std::string& tag, const std::string& link, std::string& replacement) {
          return ProtectImageTag(tag, pageFolder, link, CloseLinkText_, WidthHeightText_,
                                 replacement, *this);
        },
        [&](const std::string& tag, TLeaveReason reason) {
          TImageCandidate unjudged;
          unjudged.Reason = reason;
          NoteVerdict(TagVerdictOf(tag, TTagDecision::Refused, unjudged));
        },
        &replaced);
  } catch (const EConvertError& e) {
    // The page stays as it is and still shows every picture it showed.
    KeepSourcesOfPage();
    References_.NoteText(text);
    outcome.Error = e.what();
    outcome.FileErrors = PageErrors_;
    return outcome;
  } catch (...) {
    KeepSourcesOfPage();
    References_.NoteText(text);
    throw;
  }
  outcome.FileErrors = PageErrors_;
  if (JudgingOnly()) {
    // The page is where a protecting run would write it.
    outcome.Unchanged = replaced.empty();
    outcome.FinalSize = static_cast<int32_t>(text.size());
    if (!replaced.empty() && pagePath.size() > kLongestBackupPath) {
      ReportError(104, PathTooLongError(pagePath).what());
      outcome.FileErrors = PageErrors_;
    }
    return outcome;
  }
  if (replaced.empty()) {
    References_.NoteText(text);
    outcome.Unchanged = true;
    outcome.FinalSize = static_cast<int32_t>(text.size());
    return outcome;
  }
  if (output.size() > static_cast<size_t>(INT32_MAX)) {
    KeepSourcesOfPage();
    References_.NoteText(text);
    ReportError(104, EFileWriteError(pagePath).what());
    outcome.FileErrors = PageErrors_;
    return outcome;
  }
  // Unwritten, the page keeps all its tags; written, all but the replaced.
  outcome.FinalSize = static_cast<int32_t>(output.size());
  if (static_cast<size_t>(page->FileSize()) >= output.size()) {
    // Not written: the page still shows every picture it showed.
    KeepSourcesOfPage();
    References_.NoteText(text);
    return outcome;
  }
  References_.NoteText(text, replaced);

  try {
    if (pagePath.size() > kLongestBackupPath) throw PathTooLongError(pagePath);
    Backup_->StageEntry(page->FileSize(), pagePath, text);
    Backup_->AddWriting(pagePath, output);
    Backup_->Commit();
    NoteWrittenFolder(pageFolder);
    WritePage(*page, output, text);
  } catch (const EFileHandlerError& e) {
    KeepSourcesOfPage();
    References_.NoteText(text);
    ReportError(e.ErrorCode, e.what());
    outcome.FileErrors = PageErrors_;
    return outcome;
  }
  outcome.Written = true;
  PageImages_.clear();
  return outcome;
}

void TProtectionRun::Finish(bool listCompleted) {
  if (Finished_) return;
  Finished_ = true;
  if (JudgingOnly()) return;
  // The backup set is complete on disk before anything else.
  Backup_.reset();
  const std::vector<std::string> candidates = Saved_.SourcesToDelete();
  std::set<std::string> unwritten;
  for (int32_t i = 0; i <= Saved_.LastIndex(); ++i) {
    if (Saved_.IsKept(i)) unwritten.insert(Saved_.Paths()[i]);
  }
  Figures_.SourcesKept.clear();
  if (!unwritten.empty()) Figures_.SourcesKept[kKeptUnwritten] = static_cast<int64_t>(unwritten.size());
  if (!listCompleted) {
    if (!candidates.empty()) Figures_.SourcesKept[kKeptUnfinished] = static_cast<int64_t>(candidates.size());
    return;
  }
  for (const std::string& folder : PageFolders_) {
    for (const std::string& file : FilesWithExtensions(folder, {"css", "js"})) {
      std::string text;
      if (platform::ReadWholeFile(file, text)) References_.NoteText(text);
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
