// A run killed at any moment loses nothing: restoring its backup set gives
// back the site exactly as it was before the run.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#include "engine/BmpCodec.h"
#include "engine/PageSnippets.h"
#include "engine/RunRestore.h"
#include "engine/vlmKernel.h"
#include "storage/BackupSet.h"
#include "storage/GlobalLib.h"
#include "storage/vlmOption.h"
#include "testsupport/SnapshotTree.h"
#include "testsupport/TempDir.h"
#include "testsupport/TestImages.h"

namespace {

using testsupport::TempDir;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kPages = 40;
constexpr int kImages = 12;
constexpr int kKills = 60;

void MakeSite(const TempDir& dir) {
  for (int i = 0; i < kImages; ++i) {
    dir.Write("site/img/i" + std::to_string(i) + ".bmp",
              EncodeBmp(testimages::Gradient(120 + 7 * i, 90 + 5 * i)));
  }
  for (int p = 0; p < kPages; ++p) {
    std::string page = "<html><head><title>" + std::to_string(p) + "</title></head><body>\n";
    for (int k = 0; k < 3; ++k) {
      int image = (p * 3 + k) % kImages;
      page += "<p><a href=x" + std::to_string(k) + ">see <img src=\"../img/i" +
              std::to_string(image) + ".bmp\"> here</a></p>\n";
    }
    page += "</body></html>\n";
    dir.Write("site/pages/p" + std::to_string(p) + ".htm", page);
  }
}

// Runs a whole run over the site in this process, as the programs do.
[[noreturn]] void RunAndExit(const TempDir& dir) {
  ::setenv("VLM_HOME", (dir / "home").c_str(), 1);
  Options = TOptions{};
  Options.ATag = Options.WidthHeight = Options.ProtectBMP = 1;
  Options.PieHor = Options.PieVer = 3;
  SetShowErrorHandler([](int, const std::string&) {});
  int status = 0;
  try {
    BeginProtection();
    for (int p = 0; p < kPages; ++p) {
      int32_t size = 0;
      ProtectPage(dir / ("site/pages/p" + std::to_string(p) + ".htm"), size);
    }
  } catch (...) {
    status = 1;
  }
  EndProtection();
  _exit(status);
}

// Starts a run in a child and kills it after `delay`; returns whether the
// run had already finished.
bool RunAndKill(const TempDir& dir, std::chrono::microseconds delay) {
  pid_t child = fork();
  if (child == 0) RunAndExit(dir);
  std::this_thread::sleep_for(delay);
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status);
}

TEST(CrashRestore, KilledRunsRestoreByteForByte) {
  std::chrono::microseconds full{};
  {
    TempDir dir;
    MakeSite(dir);
    auto start = Clock::now();
    pid_t child = fork();
    if (child == 0) RunAndExit(dir);
    int status = 0;
    ::waitpid(child, &status, 0);
    full = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  int finished = 0;
  for (int i = 0; i < kKills; ++i) {
    TempDir dir;
    MakeSite(dir);
    const auto before = testsupport::SnapshotTree(dir / "site");
    auto delay = full * (i + 1) / (kKills + 1);
    if (RunAndKill(dir, delay)) ++finished;
    auto sets = ListBackupSets(dir / "home/Backup/");
    if (!sets.empty()) {
      TRestoreReport report = RestoreRun(ReadBackupSet(dir / "home/Backup/0"));
      EXPECT_TRUE(report.Ok()) << "kill " << i;
      // A kill can stop the write of a page after its first block: the page
      // then holds neither its old bytes nor the run's, which the restore
      // cannot tell from a change made after the run, so it keeps a copy
      // beside the page it gives back. That copy is the run's own writing
      // (its head snippets first); no more than the one page being written.
      EXPECT_LE(report.KeptAside.size(), 1u) << "kill " << i;
      for (const TKeptCopy& kept : report.KeptAside) {
        EXPECT_NE(TempDir::ReadFile(kept.Copy).find(HeadSnippet1().substr(0, 40)),
                  std::string::npos)
            << "kill " << i << ": " << kept.Copy;
        fs::remove(kept.Copy);
      }
    }
    EXPECT_EQ(testsupport::DescribeDifferences(before, testsupport::SnapshotTree(dir / "site")), "") << "kill " << i << " after " << delay.count() << " us";
  }
  RecordProperty("full_run_us", static_cast<int>(full.count()));
  RecordProperty("runs_finished_before_kill", finished);
  // The kills are spread by time, and a busy machine stretches or shrinks a
  // run; some of them must still have landed inside one.
  EXPECT_LT(finished, kKills) << "no kill fell inside a run";
}

}  // namespace
