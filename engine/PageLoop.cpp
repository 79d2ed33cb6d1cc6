#include "engine/PageLoop.h"

#include "storage/FolderScan.h"

TPageLoopResult RunPageLoop(TProtectionRun& run, const std::vector<std::string>& pages,
                            const TPageLoopEvents& events) {
  TPageLoopResult result;
  size_t done = 0;
  try {
    for (; done < pages.size(); ++done) {
      if (done > 0 && events.Stopped && events.Stopped()) break;
      const std::string& page = pages[done];
      if (events.PageStarting) events.PageStarting(done, page);
      if (IsRegularFile(page)) {
        const TPageOutcome outcome = run.ProtectPage(page);
        if (events.PageDone) events.PageDone(done, page, outcome);
      }
      if (events.Progress) events.Progress(done + 1);
    }
  } catch (...) {
    result.Failure = std::current_exception();
  }
  result.Completed = !result.Failure && done == pages.size();
  try {
    run.Finish(result.Completed);
  } catch (...) {
    if (!result.Failure) result.Failure = std::current_exception();
  }
  return result;
}
