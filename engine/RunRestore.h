#pragma once

#include "storage/BackupSet.h"

// Puts back everything a run's backup set holds: originals of pages and
// images, and removes the pieces the run wrote. A page is taken as ours to
// overwrite when it carries our snippets (the run wrote it, fully or in
// part); any other changed file is copied aside first.
TRestoreReport RestoreRun(const TBackupSet& set);
