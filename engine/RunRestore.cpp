#include "engine/RunRestore.h"

#include "engine/PageSnippets.h"

TRestoreReport RestoreRun(const TBackupSet& set, const TRestoreProgress& progress) {
  const std::string head = HeadSnippet1();
  const std::string tail = TailSnippet();
  return RestoreBackupSet(
      set,
      [&](const TBackupEntry& entry, const std::string& current, const std::string&) {
        if (entry.IsImage) return false;
        return current.find(head) != std::string::npos || current.find(tail) != std::string::npos;
      },
      progress);
}
