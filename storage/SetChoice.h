#pragma once

#include <optional>
#include <string>

// Which backup set a restore undoes. Runs are undone newest first: sets are
// taken as made in the order of their numbers.

struct TSetChoice {
  int Number = -1;              // the set to restore; -1 when refused
  bool AgainFromStart = false;  // a restored set restored again (forced)
  bool NoSuchSet = false;       // the set asked for does not exist
  std::string Refusal;          // why there is none, for the user
};

// Without `number`: the newest set that is not restored. With it: that set,
// refused while a newer set is applied or partly restored, or when it is
// restored already, unless `force`. `folder` ends with "/".
TSetChoice ChooseSetToRestore(const std::string& folder, std::optional<int> number, bool force);
