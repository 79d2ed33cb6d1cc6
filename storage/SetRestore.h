#pragma once

#include <functional>
#include <string>
#include <vector>

#include "storage/BackupSet.h"

// Putting the files of a backup set back where they were.

struct TKeptCopy {
  std::string File;  // the file that had changed since the run
  std::string Copy;  // where its content was kept
};

struct TRestoreReport {
  std::vector<std::string> Restored;   // files written back (or found as they were)
  std::vector<std::string> Removed;    // piece files deleted
  std::vector<TKeptCopy> KeptAside;    // copies made of files changed since the run
  std::vector<std::string> LeftAlone;  // pieces changed since the run, not deleted
  std::vector<std::string> Skipped;    // "path: reason", files left as they are
  std::string JournalProblem;          // why the restore's state was not recorded
  bool Ok() const { return Skipped.empty(); }
};

// For a file of a set without digests (or a file whose digest the run never
// noted): whether a file now holding `current` may be replaced by the
// backed-up `original`, because it is a state the run could have left.
using TAccountFor = std::function<bool(const TBackupEntry& entry, const std::string& current,
                                       const std::string& original)>;

// Called before each file, with the number of steps done and of all steps.
using TRestoreProgress = std::function<void(const std::string& path, size_t done, size_t total)>;

// Puts every file of the set back, newest entries first so that the oldest
// copy of a file wins, then deletes the piece files listed for each image.
//
// A file that differs from its backup is replaced only when it holds what
// the run wrote (its digest), or, without a digest, when `accountFor` says
// so. Otherwise its content is first kept as path + ".before-restore" (or
// ".before-restore.1", ... when that name is taken), and reported. A piece
// that changed since the run is left where it is. No other file is touched:
// temporary files get fresh random names.
//
// A file that is reached through a symbolic link, or has further hard
// links, is written into in place, so that the links stay. Any other file is
// replaced by a new one with the old one's owner, group and mode (in place
// when that owner cannot be given). A file that is gone comes back with the
// recorded mode, or the default one, owned by whoever restores.
//
// The steps go into the set's restore journal (RestoreJournal.h): a restore
// that was stopped at any point completes when it is run again. The set is
// marked restored when nothing was skipped. A journal that cannot be
// written does not stop the restore (JournalProblem says why). Raises
// Exception when the data file cannot be read.
TRestoreReport RestoreBackupSet(const TBackupSet& set, const TAccountFor& accountFor,
                                const TRestoreProgress& progress = {});
