#include "storage/SetChoice.h"

#include <algorithm>
#include <vector>

#include "storage/BackupSet.h"
#include "storage/RestoreJournal.h"

TSetChoice ChooseSetToRestore(const std::string& folder, std::optional<int> number, bool force) {
  TSetChoice choice;
  const std::vector<int> sets = ListBackupSets(folder);
  auto stateOf = [&](int n) { return SetStateOf(folder + std::to_string(n)); };
  if (sets.empty()) {
    choice.Refusal = "there is no backup set in " + folder;
    return choice;
  }
  if (!number) {
    for (auto it = sets.rbegin(); it != sets.rend(); ++it) {
      if (stateOf(*it) != TSetState::Restored) {
        choice.Number = *it;
        return choice;
      }
    }
    choice.Refusal = "every backup set in " + folder + " is restored already";
    return choice;
  }
  if (std::find(sets.begin(), sets.end(), *number) == sets.end()) {
    choice.NoSuchSet = true;
    choice.Refusal = "there is no backup set " + std::to_string(*number) + " in " + folder;
    return choice;
  }
  const std::string setName = "set " + std::to_string(*number);
  if (stateOf(*number) == TSetState::Restored) {
    if (!force) {
      choice.Refusal = setName + " is restored already; use --force to restore it again";
      return choice;
    }
    choice.AgainFromStart = true;
  }
  for (auto it = sets.rbegin(); it != sets.rend() && *it > *number; ++it) {
    const TSetState state = stateOf(*it);
    if (state != TSetState::Restored && !force) {
      choice.AgainFromStart = false;
      choice.Refusal = "set " + std::to_string(*it) + " is newer than " + setName + " and " +
                       SetStateText(state) + "; restore it first, or use --force to restore " +
                       setName + " anyway";
      return choice;
    }
  }
  choice.Number = *number;
  return choice;
}
