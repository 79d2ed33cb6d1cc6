#pragma once

#include <cstdint>
#include <string>

#include "storage/SetRestore.h"

class QWidget;

// "Restore Last Run" of the list's pop-up menu: undoes the newest run that
// is not undone yet, through the same restore as vlm-cli.

// The run a restore would undo now, read from the backup folder.
struct TLastRun {
  int Number = -1;      // its backup set; -1 when there is none to undo
  std::string Refusal;  // why there is none
  int64_t Date = 0;     // when the run wrote its set, seconds since 1970
  size_t Pages = 0;     // pages the restore puts back
  size_t Pictures = 0;  // pictures it puts back (their pieces go)
  bool PartlyRestored = false;
};
TLastRun FindLastRun(const std::string& backupFolder);

// What the confirmation says, with `date` already formatted.
std::string RestoreQuestion(const TLastRun& run, const std::string& date);

// The error-window text for what the restore did not do as asked (copies
// kept aside, pieces left, files not restored), or "" when all went back.
std::string RestoreRemarks(const TRestoreReport& report);

// The menu item: tells when there is nothing to undo, asks (No is the
// default), restores under the progress window and reports copies kept
// aside in the error window (number 301) and files not restored (302).
void RestoreLastRun(QWidget* parent);
