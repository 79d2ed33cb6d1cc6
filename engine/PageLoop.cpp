#include "engine/PageLoop.h"

#include <deque>

#include "storage/FolderScan.h"

TPageLoopResult RunPageLoop(TProtectionRun& run, const std::vector<std::string>& pages,
                            const TPageLoopEvents& events) {
  TPageLoopResult result;
  size_t done = 0;
  // Pages handed to the run whose outcome is not final yet: the run writes
  // them a group at a time.
  std::deque<size_t> staged;
  auto report = [&] {
    for (TPageOutcome& outcome : run.TakeOutcomes()) {
      // A page whose staging ended the run may have none.
      if (staged.empty()) break;
      const size_t index = staged.front();
      staged.pop_front();
      if (events.PageDone) events.PageDone(index, pages[index], outcome);
    }
  };
  try {
    for (; done < pages.size(); ++done) {
      if (done > 0 && events.Stopped && events.Stopped()) break;
      const std::string& page = pages[done];
      if (events.PageStarting) events.PageStarting(done, page);
      if (IsRegularFile(page)) {
        run.Foresee(pages, done);
        staged.push_back(done);
        run.StagePage(page);
        report();
      }
      if (events.Progress) events.Progress(done + 1);
    }
    // A cancel, or the end of the list: the pages begun are written.
    run.Flush();
  } catch (...) {
    result.Failure = std::current_exception();
  }
  report();
  result.Completed = !result.Failure && done == pages.size();
  try {
    run.Finish(result.Completed);
  } catch (...) {
    if (!result.Failure) result.Failure = std::current_exception();
  }
  return result;
}
