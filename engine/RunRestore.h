#pragma once

#include "storage/BackupSet.h"
#include "storage/SetRestore.h"

// Puts back everything a run's backup set holds: originals of pages and
// images, and removes the pieces the run wrote. A file the run wrote is
// known by its digest; in a set without digests a page is taken as ours to
// overwrite when it carries our snippets (the run wrote it, fully or in
// part). Any other changed file is copied aside first.
TRestoreReport RestoreRun(const TBackupSet& set, const TRestoreProgress& progress = {});
