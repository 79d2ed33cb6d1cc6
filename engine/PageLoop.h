#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "engine/ProtectionRun.h"

// What a page loop tells its caller, and asks it. Every member may be empty.
struct TPageLoopEvents {
  // Before page `index` is looked at.
  std::function<void(size_t index, const std::string& page)> PageStarting;
  // After page `index` went through the run; not called for a path skipped
  // because it is no regular file.
  std::function<void(size_t index, const std::string& page, const TPageOutcome& outcome)> PageDone;
  // After every path, skipped or not, with the count done so far; the place
  // to let pending events through.
  std::function<void(size_t done)> Progress;
  // Asked between pages; true stops the loop before the next page.
  std::function<bool()> Stopped;
};

struct TPageLoopResult {
  bool Completed = false;     // every path of the list was reached
  std::exception_ptr Failure;  // the error that ended the run, or null
};

// Runs `pages` through `run` in order: a path that names no regular file
// (gone, a folder, a pipe) is skipped; a cancel takes effect between pages,
// the page in progress always finishing; an error other than a file or
// conversion error ends the loop. Whatever happened, the run is finished
// afterwards, keeping every source when the list was not completed. The
// failure is returned, not raised.
TPageLoopResult RunPageLoop(TProtectionRun& run, const std::vector<std::string>& pages,
                            const TPageLoopEvents& events);
