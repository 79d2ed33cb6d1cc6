#pragma once

#include <string>

#include "engine/LeaveReason.h"

// What a run's judging found for one IMG tag of a page.
struct TTagVerdict {
  enum class Action { Slice, Reuse, Leave };
  Action What = Action::Leave;
  std::string Src;        // the SRC value as the page has it ("" when none)
  std::string ImagePath;  // the file it names, when resolved
  TLeaveReason Reason = TLeaveReason::None;
  std::string Detail;  // what stood in the way, for people; may be empty
};

// "slice", "reuse", "leave".
const char* TagActionName(TTagVerdict::Action action);
