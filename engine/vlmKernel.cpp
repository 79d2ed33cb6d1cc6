#include "engine/vlmKernel.h"

#include <climits>
#include <memory>

#include "engine/FileSystemSync.h"
#include "engine/Grid.h"
#include "engine/ImageTagRewriter.h"
#include "engine/PageProcessor.h"
#include "engine/RunState.h"
#include "engine/TableMarkup.h"
#include "storage/GlobalLib.h"
#include "storage/ProgramFolders.h"
#include "storage/vlmOption.h"

namespace {

std::unique_ptr<TRunState> Run;

constexpr size_t kLongestBackupPath = 254;

std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }

// The page was not written: every image it refers to keeps its source, or
// the page would show a picture that no longer exists.
void KeepSourcesOfPage(TRunState& run) {
  for (int index : run.PageImages) run.Saved->KeepSource(index);
  run.PageImages.clear();
}

// Notes the image of every IMG tag left in a page's new text.
void NoteImagesStillShown(const std::string& output, const std::string& pageFolder,
                          TRunState& run) {
  int a = PosTextFrom(output, "<IMG ", 1);
  while (a > 0) {
    int d = PosCharFrom(output, '>', a + 5);
    if (d == 0) break;
    std::string src = GetAttributeValue(std::string_view(output).substr(a - 1, d - a + 1), "SRC=");
    if (src != "-1") run.StillShown.insert(ExpandImagePath(pageFolder, src));
    a = PosTextFrom(output, "<IMG ", d + 1);
  }
}

// Writes `output` over the opened page in one write from its first byte; it
// is longer than the old text, so the file then holds exactly `output`. It is
// written from where it lies instead of being gathered in the handler's
// buffer first, which would hold a third copy of a page that may be large.
// When the write fails the old bytes are put back; the backup holds them in
// any case.
void WritePage(TFileHandler& page, const std::string& output, const std::string& old) {
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

}  // namespace

TRunState* CurrentRun() { return Run.get(); }

void BeginProtection() {
  CheckSlicingOptions(Options);
  auto run = std::make_unique<TRunState>();
  run->Backup = std::make_unique<TImageBackupMaker>(GetBackupDir());
  run->Names = std::make_unique<TRandomFileName>();
  run->Saved = std::make_unique<TSavedImage>();
  run->WidthHeightText = Options.WidthHeight ? WidthHeightTemplate() : std::string();
  run->CloseLinkText = Options.ATag ? "</a>" : "";
  run->Markup = Options.Markup;
  Run = std::move(run);
}

void ProtectPage(const std::string& pagePath, int32_t& finalSize) {
  TRunState& run = *Run;
  std::unique_ptr<TFileHandler> page;
  std::string text;
  try {
    page = TFileHandler::Open(pagePath, fmOpenReadWrite | fmShareExclusive);
    page->Read(text, 0);
  } catch (const EFileHandlerError& e) {
    ShowError(e.ErrorCode, e.what());
    return;
  }

  run.PageImages.clear();
  const std::string pageFolder = FolderOf(pagePath);
  std::string output;
  try {
    output = BuildProtectedPage(text, Options.ATag != 0,
                                [&](const std::string& tag, const std::string& link,
                                    std::string& replacement) {
                                  return ProtectImageTag(tag, pageFolder, link, run.CloseLinkText,
                                                         run.WidthHeightText, replacement, run);
                                });
  } catch (...) {
    KeepSourcesOfPage(run);
    throw;
  }
  if (output.size() > static_cast<size_t>(INT32_MAX)) {
    KeepSourcesOfPage(run);
    ShowError(104, EFileWriteError(pagePath).what());
    return;
  }
  NoteImagesStillShown(output, pageFolder, run);
  finalSize = static_cast<int32_t>(output.size());
  if (static_cast<size_t>(page->FileSize()) >= output.size()) return;

  try {
    if (pagePath.size() > kLongestBackupPath) {
      throw EFileHandlerError(104, "Can not back up file " + pagePath +
                                       ": its path is longer than 254 bytes");
    }
    run.Backup->AddEntry(page->FileSize(), pagePath, text);
    run.WrittenFolders.insert(pageFolder);
    WritePage(*page, output, text);
  } catch (const EFileHandlerError& e) {
    KeepSourcesOfPage(run);
    ShowError(e.ErrorCode, e.what());
    return;
  }
  run.PageImages.clear();
}

void EndProtection() {
  std::unique_ptr<TRunState> run = std::move(Run);
  if (!run) return;
  run->Backup.reset();
  run->Names.reset();
  if (run->Saved) {
    TSavedImage& saved = *run->Saved;
    for (int32_t i = 0; i <= saved.LastIndex(); ++i) {
      if (run->StillShown.count(saved.Paths()[i])) saved.KeepSource(i);
    }
    // Pages and pieces reach the disk before any source goes.
    SyncFileSystemsOf(run->WrittenFolders);
    run->Saved.reset();
  }
}
