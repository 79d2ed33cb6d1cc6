#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/RandomFileName.h"
#include "engine/SavedImage.h"
#include "engine/TableMarkup.h"
#include "storage/Backup.h"

// Everything one run shares between its pages, from BeginProtection to
// EndProtection.
struct TRunState {
  std::unique_ptr<TImageBackupMaker> Backup;
  std::unique_ptr<TRandomFileName> Names;
  std::unique_ptr<TSavedImage> Saved;
  std::string WidthHeightText;
  std::string CloseLinkText;
  // The kind of markup that replaces a protected image.
  TMarkup Markup = TMarkup::Table;

  // Registry entries that the page being processed refers to; their sources
  // stay in place when that page is not written.
  std::vector<int> PageImages;

  // Full paths of the images that the pages of this run still show through
  // tags they kept (refused, left in a link, marked NOPROTECT): such a
  // source must stay, or those pages would lose the picture.
  std::unordered_set<std::string> StillShown;

  // Folders that received pages or pieces; their file systems are forced to
  // the disk before any source image is deleted.
  std::set<std::string> WrittenFolders;

  // Figures of the run, for reports.
  int64_t ImagesSliced = 0;
  int64_t PiecesWritten = 0;
};

// The state of the run in progress, or null between runs.
TRunState* CurrentRun();
