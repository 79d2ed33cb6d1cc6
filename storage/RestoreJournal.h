#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "platform/File.h"

// What has become of a backup set: its run still stands (applied), a
// restore began but did not finish (partly restored), or it was undone
// (restored).
enum class TSetState { Applied, PartlyRestored, Restored };
const char* SetStateText(TSetState state);

// Read from `baseName` + ".done", the restore journal: no journal, applied.
TSetState SetStateOf(const std::string& baseName);

// Forgets that the set was restored (its journal is deleted), so that it can
// be restored again from the start.
void ForgetRestore(const std::string& baseName);

// The journal of restoring one set, N.done beside the set. Every step that a
// restore cannot redo blindly is noted, and forced to the disk, before it is
// taken, so a restore that was killed can be run again and complete:
//   temp    a temporary file about to be made under a fresh name; it is ours
//           and is removed when found again
//   aside   the copy of a changed file is about to be linked to this name
//   write   entry K is about to be written into its existing file, which
//           then holds a mix of bytes until the write is done
//   done    entry K is back
//   complete  everything is back and the pieces are gone
// Entries are numbered by their place in the index. Not copyable.
//
// A journal that cannot be made or written (a full or read-only backup
// folder) does not stop the restore: it notes nothing more and says why in
// Problem(). The restore is then as safe, but one stopped half way may leave
// a temporary file or an extra copy behind, and the set's state is not
// recorded.
class TRestoreJournal {
 public:
  // Opens the journal, creating it, and reads the steps noted so far.
  explicit TRestoreJournal(const std::string& baseName);
  TRestoreJournal(const TRestoreJournal&) = delete;
  TRestoreJournal& operator=(const TRestoreJournal&) = delete;

  bool EntryDone(size_t k) const;
  bool Writing(size_t k) const;
  // The last name noted for entry K's copy, or "".
  std::string AsideOf(size_t k) const;
  const std::vector<std::string>& Temporaries() const { return Temporaries_; }

  // "" while every step could be noted.
  const std::string& Problem() const { return Problem_; }

  void NoteTemporary(const std::string& path);
  void NoteAside(size_t k, const std::string& path);
  void NoteWriting(size_t k);
  void NoteDone(size_t k);
  void NoteComplete();

 private:
  void Append(const std::string& word, size_t k, const std::string& path);

  std::string Name_;
  std::string Problem_;
  platform::File File_;
  int64_t Length_ = 0;
  std::vector<std::string> Temporaries_;
  std::map<size_t, std::string> Asides_;
  std::map<size_t, bool> Writing_;
  std::map<size_t, bool> Done_;
};
