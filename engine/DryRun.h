#pragma once

#include <set>
#include <string>
#include <vector>

#include "engine/ImageTagRewriter.h"
#include "engine/LeaveReason.h"
#include "storage/vlmOption.h"

// What a run would do with one IMG tag.
struct TDryRunTag {
  enum class Action { Slice, Reuse, Leave };
  Action What = Action::Leave;
  std::string Src;        // the SRC value as the page has it ("" when none)
  std::string ImagePath;  // the file it names, when resolved
  TLeaveReason Reason = TLeaveReason::None;
  std::string Detail;
};

// What a run would do to one page, found without changing anything.
struct TDryRunPage {
  std::string Path;
  std::vector<TDryRunTag> Tags;        // every IMG tag, in page order
  std::vector<std::string> NewImages;  // images that would be sliced, in order
  int ReusedTags = 0;                  // tags that would show an image sliced before
  int ErrorNumber = 0;                 // a file error (101 to 104), 0 for none
  std::string Error;                   // its message, or the error that would end the run
};

// Judges every IMG tag of `pagePath` as a run with `options` would, with
// the run's own judging (JudgeImageTag and the page's link rules). `cut`
// holds the cuts earlier pages of the same look would have made, and grows.
TDryRunPage DryRunPage(const std::string& pagePath, const TOptions& options, TCutImages& cut);

// "slice", "reuse", "leave".
const char* DryRunActionName(TDryRunTag::Action action);
