// vlm-cli under injected faults. A preloaded library counts every call of a
// run that changes a file; the run is then repeated once for every call k,
// killed at k or with call k failing (no space, input/output error). After
// each, restoring the run's backup set must give back the site exactly as it
// was, contents and permissions, and a failure the run did not absorb must
// be reported. The restore itself is killed at each of its calls in the
// same way; restoring again must then complete it. A restore that finds the
// disk full while putting a file back must still give the site back whole.

#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <sstream>

#include "testsupport/TempDir.h"
#include "storage/RestoreJournal.h"
#include "tests/FaultSite.h"
#include "tests/SiteTools.h"

namespace {

using testsupport::TempDir;
using sitetools::DescribeDifferences;
using sitetools::SnapshotTree;

struct Reference {
  std::vector<std::string> Calls;  // "write /path", one per counted call
  sitetools::RunReport Report;
};

// The run without faults, with the list of its counted calls.
const Reference& CleanRun() {
  static const Reference reference = [] {
    Reference ref;
    TempDir dir;
    faultsite::MakeSite(dir);
    const std::string trace = dir / "trace";
    auto r = faultsite::Protect(dir, {"LD_PRELOAD=" VLM_FAULT_LIBRARY, "VLM_FAULT_TRACE=" + trace});
    EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
    ref.Report = sitetools::ParseRunReport(r.Out);
    std::ifstream in(trace);
    std::string line;
    while (std::getline(in, line)) ref.Calls.push_back(line.substr(line.find(' ') + 1));
    return ref;
  }();
  return reference;
}

std::string Call(size_t k) {
  return "call " + std::to_string(k) + " (" + CleanRun().Calls[k - 1] + ")";
}

TEST(FaultInjection, CleanRunIsCountedAndComplete) {
  const Reference& ref = CleanRun();
  EXPECT_EQ(ref.Report.Images, 4);
  EXPECT_EQ(ref.Report.Pieces, 16);
  EXPECT_EQ(ref.Report.PageSizes.size(), 2u);
  EXPECT_GT(ref.Calls.size(), 40u) << "every backup entry, piece and page write is counted";
  int fsyncs = 0, renames = 0, unlinks = 0;
  for (const auto& call : ref.Calls) {
    fsyncs += call.rfind("fsync", 0) == 0;
    renames += call.rfind("rename", 0) == 0;
    unlinks += call.rfind("unlink", 0) == 0;
  }
  EXPECT_GT(fsyncs, 0);
  EXPECT_EQ(unlinks, 4) << "the four sliced sources are deleted at the end";
  RecordProperty("counted_calls", static_cast<int>(ref.Calls.size()));
}

TEST(FaultInjection, KilledAtEveryCallRestoresByteForByte) {
  const size_t calls = CleanRun().Calls.size();
  ASSERT_GT(calls, 0u);
  int failedRestores = 0;
  for (size_t k = 1; k <= calls; ++k) {
    TempDir dir;
    faultsite::MakeSite(dir);
    const auto before = SnapshotTree(dir / "site");
    auto run = faultsite::Protect(
        dir, {"LD_PRELOAD=" VLM_FAULT_LIBRARY, "VLM_FAULT=kill@" + std::to_string(k)});
    EXPECT_EQ(run.Signal, SIGKILL) << Call(k) << " was not reached: " << run.Out << run.Err;
    auto restore = faultsite::RestoreIfAny(dir);
    EXPECT_EQ(restore.Status, 0) << Call(k) << "\n" << restore.Out << restore.Err;
    const std::string diff = DescribeDifferences(before, SnapshotTree(dir / "site"));
    EXPECT_EQ(diff, "") << "killed at " << Call(k);
    failedRestores += restore.Status != 0 || !diff.empty();
  }
  RecordProperty("kill_points", static_cast<int>(calls));
  RecordProperty("failed_restores", failedRestores);
  std::printf("kill points tried: %zu, failed restores: %d\n", calls, failedRestores);
}

// The counted calls of a clean restore after a clean run.
const std::vector<std::string>& CleanRestoreCalls() {
  static const std::vector<std::string> calls = [] {
    std::vector<std::string> found;
    TempDir dir;
    faultsite::MakeSite(dir);
    EXPECT_EQ(faultsite::Protect(dir, {}).Status, 0);
    const std::string trace = dir / "trace";
    auto r =
        faultsite::RestoreIfAny(dir, {"LD_PRELOAD=" VLM_FAULT_LIBRARY, "VLM_FAULT_TRACE=" + trace});
    EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
    std::ifstream in(trace);
    std::string line;
    while (std::getline(in, line)) found.push_back(line.substr(line.find(' ') + 1));
    return found;
  }();
  return calls;
}

TEST(FaultInjection, RestoreKilledAtEveryCallCompletesWhenRunAgain) {
  const std::vector<std::string>& calls = CleanRestoreCalls();
  ASSERT_GT(calls.size(), 20u) << "every journal step, write, link, rename and deletion is counted";
  int failedRestores = 0;
  for (size_t k = 1; k <= calls.size(); ++k) {
    const std::string call = "restore call " + std::to_string(k) + " (" + calls[k - 1] + ")";
    TempDir dir;
    faultsite::MakeSite(dir);
    const auto before = SnapshotTree(dir / "site");
    ASSERT_EQ(faultsite::Protect(dir, {}).Status, 0);
    auto killed = faultsite::RestoreIfAny(
        dir, {"LD_PRELOAD=" VLM_FAULT_LIBRARY, "VLM_FAULT=kill@" + std::to_string(k)});
    EXPECT_EQ(killed.Signal, SIGKILL) << call << " was not reached: " << killed.Out << killed.Err;
    // Killed after the set was marked restored, nothing is left to do.
    sitetools::ProgramResult again;
    if (SetStateOf(dir / "home/Backup/0") != TSetState::Restored)
      again = faultsite::RestoreIfAny(dir);
    else
      again.Status = 0;
    EXPECT_EQ(again.Status, 0) << call << "\n" << again.Out << again.Err;
    EXPECT_EQ(again.Out.find("\nkept "), std::string::npos) << call << ": " << again.Out;
    EXPECT_EQ(SetStateOf(dir / "home/Backup/0"), TSetState::Restored) << call;
    const std::string diff = DescribeDifferences(before, SnapshotTree(dir / "site"));
    EXPECT_EQ(diff, "") << "restore killed at " << call;
    failedRestores += again.Status != 0 || !diff.empty();
  }
  RecordProperty("restore_kill_points", static_cast<int>(calls.size()));
  RecordProperty("failed_second_restores", failedRestores);
  std::printf("restore kill points tried: %zu, failed second restores: %d\n", calls.size(),
              failedRestores);
}

TEST(FaultInjection, RestoreThatFindsTheDiskFullTriesTheFileAgainOnceThePiecesAreGone) {
  // The pieces of a run that ended early may take the room its sources need.
  const std::vector<std::string>& calls = CleanRestoreCalls();
  size_t writes = 0;
  for (size_t k = 1; k <= calls.size(); ++k) {
    // The writes of the files put back into the site.
    if (calls[k - 1].rfind("pwrite ", 0) != 0 || calls[k - 1].find("/site/") == std::string::npos) {
      continue;
    }
    ++writes;
    const std::string call = "restore call " + std::to_string(k) + " (" + calls[k - 1] + ")";
    TempDir dir;
    faultsite::MakeSite(dir);
    const auto before = SnapshotTree(dir / "site");
    ASSERT_EQ(faultsite::Protect(dir, {}).Status, 0);
    auto r = faultsite::RestoreIfAny(
        dir, {"LD_PRELOAD=" VLM_FAULT_LIBRARY, "VLM_FAULT=enospc@" + std::to_string(k)});
    EXPECT_EQ(r.Status, 0) << call << "\n" << r.Out << r.Err;
    EXPECT_EQ(DescribeDifferences(before, SnapshotTree(dir / "site")), "") << call;
  }
  EXPECT_GT(writes, 0u);
}

// Runs with call k failing with `error` for every k and checks the outcome.
void FailEveryCall(const std::string& error, const std::string& systemText) {
  const Reference& ref = CleanRun();
  const size_t calls = ref.Calls.size();
  ASSERT_GT(calls, 0u);
  int reported = 0, absorbed = 0, failedRestores = 0;
  std::string absorbedCalls;
  for (size_t k = 1; k <= calls; ++k) {
    TempDir dir;
    faultsite::MakeSite(dir);
    const auto before = SnapshotTree(dir / "site");
    auto run = faultsite::Protect(
        dir, {"LD_PRELOAD=" VLM_FAULT_LIBRARY, "VLM_FAULT=" + error + "@" + std::to_string(k)});
    ASSERT_FALSE(run.TimedOut) << Call(k);
    ASSERT_EQ(run.Signal, 0) << Call(k) << " crashed the run:\n" << run.Err;
    const auto errors = faultsite::ErrorLines(run.Err);
    const auto report = sitetools::ParseRunReport(run.Out);
    const auto after = SnapshotTree(dir / "site");
    if (run.Status == 0) {
      // Absorbed: the run must have done all it does without the fault.
      ++absorbed;
      absorbedCalls += "  " + Call(k) + "\n";
      EXPECT_TRUE(errors.empty()) << Call(k) << run.Err;
      EXPECT_EQ(report.PageSizes.size(), ref.Report.PageSizes.size()) << Call(k);
      EXPECT_EQ(report.Pieces, ref.Report.Pieces) << Call(k);
      const bool deletion = ref.Calls[k - 1].rfind("unlink", 0) == 0;
      if (!deletion) {
        EXPECT_EQ(report.Images, ref.Report.Images) << Call(k);
        EXPECT_EQ(sitetools::UnaccountedChanges(dir / "site", before, after, report), "")
            << Call(k);
      }
    } else {
      ++reported;
      EXPECT_EQ(run.Status, 1) << Call(k) << run.Err;
      EXPECT_FALSE(errors.empty()) << Call(k) << " failed without a message:\n" << run.Err;
      if (report.HasSummary) {
        EXPECT_EQ(sitetools::UnaccountedChanges(dir / "site", before, after, report), "")
            << Call(k) << "\n"
            << run.Out << run.Err;
      } else {
        EXPECT_EQ(DescribeDifferences(before, after), "") << Call(k) << ": the run did not start";
      }
    }
    // The system's own text reaches the user wherever the error is not one
    // of the file handler's fixed messages.
    for (const auto& line : errors) {
      if (line.rfind("Error #", 0) != 0) {
        EXPECT_NE(line.find(systemText), std::string::npos) << Call(k) << ": " << line;
      }
    }
    auto restore = faultsite::RestoreIfAny(dir);
    EXPECT_EQ(restore.Status, 0) << Call(k) << "\n" << restore.Out << restore.Err;
    const std::string diff = DescribeDifferences(before, SnapshotTree(dir / "site"));
    EXPECT_EQ(diff, "") << error << " at " << Call(k);
    failedRestores += restore.Status != 0 || !diff.empty();
  }
  testing::Test::RecordProperty("injected_errors", static_cast<int>(calls));
  testing::Test::RecordProperty("reported", reported);
  testing::Test::RecordProperty("absorbed", absorbed);
  testing::Test::RecordProperty("failed_restores", failedRestores);
  std::printf("%s injected: %zu, reported: %d, absorbed: %d, failed restores: %d\n%s",
              error.c_str(), calls, reported, absorbed, failedRestores, absorbedCalls.c_str());
}

TEST(FaultInjection, NoSpaceAtEveryCallIsReportedAndRestores) {
  FailEveryCall("enospc", "No space left on device");
}

TEST(FaultInjection, IoErrorAtEveryCallIsReportedAndRestores) {
  FailEveryCall("eio", "Input/output error");
}

}  // namespace
