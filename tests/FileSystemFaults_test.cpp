// vlm-cli against the file system itself: a small memory file system filled
// to the brim, a read-only folder, and a page another process holds open.
// The run reports what it could not do, goes on where it may, changes only
// what it reports, and restore gives the site back exactly.
//
// Mounts are made in a mount namespace of this test process (with a user
// namespace when not root), so nothing outside it sees them; where the
// system allows neither, the tests that need them are skipped.

#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "testsupport/TempDir.h"
#include "storage/BackupSet.h"
#include "storage/GlobalLib.h"
#include "tests/FaultSite.h"
#include "tests/SiteTools.h"

namespace {

using testsupport::TempDir;
using sitetools::DescribeDifferences;
using sitetools::SnapshotTree;

bool WriteProcFile(const char* path, const std::string& text) {
  std::ofstream out(path);
  out << text;
  out.flush();
  return static_cast<bool>(out);
}

// Gives this process (and the programs it starts) mounts of their own.
// Returns an empty string, or why that is not possible here.
std::string EnterPrivateMounts() {
  static const std::string why = []() -> std::string {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWNS) != 0) {
      if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
        return std::string("no mount namespace: ") + std::strerror(errno);
      }
      WriteProcFile("/proc/self/setgroups", "deny");
      if (!WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
          !WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")) {
        return "no user mapping";
      }
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
      return std::string("mounts stay shared: ") + std::strerror(errno);
    }
    return "";
  }();
  return why;
}

// A mount that goes when the object goes.
class Mount {
 public:
  Mount() = default;
  Mount(const Mount&) = delete;
  Mount& operator=(const Mount&) = delete;
  ~Mount() {
    if (!path_.empty()) ::umount2(path_.c_str(), MNT_DETACH);
  }
  // A memory file system of `bytes` at `path`; the empty string or why not.
  std::string Tmpfs(const std::string& path, size_t bytes) {
    std::filesystem::create_directories(path);
    std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    if (::mount("tmpfs", path.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
      return std::string("tmpfs: ") + std::strerror(errno);
    }
    path_ = path;
    return "";
  }
  // `path` seen read-only from now on.
  std::string ReadOnly(const std::string& path) {
    if (::mount(path.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) != 0) {
      return std::string("bind: ") + std::strerror(errno);
    }
    path_ = path;
    if (::mount(nullptr, path.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
      return std::string("read-only remount: ") + std::strerror(errno);
    }
    return "";
  }

 private:
  std::string path_;
};

// Fills the file system of `folder` until `leave` bytes are free.
void Fill(const std::string& folder, uint64_t leave) {
  struct statvfs fs;
  ASSERT_EQ(::statvfs(folder.c_str(), &fs), 0);
  const uint64_t free = static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
  if (free <= leave) return;
  std::ofstream(folder + "/filler.bin", std::ios::binary) << std::string(free - leave, 'f');
}

// Checks a run that met trouble: no crash or hang, errors reported with
// their message, every change reported; then restores and compares.
void CheckRunAndRestore(const TempDir& dir, const sitetools::TreeSnapshot& before,
                        const sitetools::ProgramResult& run, const std::string& what) {
  ASSERT_FALSE(run.TimedOut) << what;
  ASSERT_EQ(run.Signal, 0) << what << run.Err;
  const auto errors = faultsite::ErrorLines(run.Err);
  if (run.Status != 0) {
    EXPECT_FALSE(errors.empty()) << what << ": failed without a message";
  }
  const auto report = sitetools::ParseRunReport(run.Out);
  if (report.HasSummary) {
    EXPECT_EQ(
        sitetools::UnaccountedChanges(dir / "site", before, SnapshotTree(dir / "site"), report), "")
        << what << "\n"
        << run.Out << run.Err;
  }
  auto restore = faultsite::RestoreIfAny(dir);
  EXPECT_EQ(restore.Status, 0) << what << "\n" << restore.Out << restore.Err;
  EXPECT_EQ(DescribeDifferences(before, SnapshotTree(dir / "site")), "") << what;
}

TEST(FileSystemFaults, FullMemoryFileSystemIsReportedAndRestores) {
  if (auto why = EnterPrivateMounts(); !why.empty()) GTEST_SKIP() << why;
  int runs = 0, failed = 0;
  // The site alone on the small file system, then the backups with it.
  for (bool backupsToo : {false, true}) {
    for (uint64_t leave = 0; leave <= (160u << 10); leave += 4u << 10) {
      TempDir dir;
      Mount site, home;
      if (auto why = site.Tmpfs(dir / "site", 1 << 20); !why.empty()) GTEST_SKIP() << why;
      if (backupsToo) {
        if (auto why = home.Tmpfs(dir / "home", 1 << 20); !why.empty()) GTEST_SKIP() << why;
      }
      faultsite::MakeSite(dir);
      Fill(dir / "site", leave);
      if (backupsToo) Fill(dir / "home", leave);
      const auto before = SnapshotTree(dir / "site");
      auto run = faultsite::Protect(dir, {});
      const std::string what =
          (backupsToo ? "site and backups, " : "site, ") + std::to_string(leave) + " bytes free";
      if (run.Status != 0) {
        ++failed;
        for (const auto& line : faultsite::ErrorLines(run.Err)) {
          if (line.rfind("Error #", 0) != 0) {
            EXPECT_NE(line.find("No space left on device"), std::string::npos)
                << what << ": " << line;
          }
        }
      }
      CheckRunAndRestore(dir, before, run, what);
      ++runs;
    }
  }
  EXPECT_GT(failed, 0) << "the file system was never full enough to matter";
  EXPECT_LT(failed, runs) << "there was never room enough for a whole run";
  RecordProperty("runs", runs);
  RecordProperty("runs_that_ran_out_of_space", failed);
}

TEST(FileSystemFaults, ReadOnlyFoldersAreReportedAndTheRunGoesOnWhereItMay) {
  const bool mounts = EnterPrivateMounts().empty();
  if (!mounts && ::geteuid() == 0) GTEST_SKIP() << "root ignores permissions and cannot mount here";
  // First a folder of images, then the folder of a page.
  for (const char* folder : {"site/img", "site/sub"}) {
    TempDir dir;
    faultsite::MakeSite(dir);
    const auto before = SnapshotTree(dir / "site");
    Mount readOnly;
    if (mounts) {
      ASSERT_EQ(readOnly.ReadOnly(dir / folder), "");
    } else {
      std::filesystem::permissions(dir / folder,
                                   std::filesystem::perms::owner_write |
                                       std::filesystem::perms::group_write |
                                       std::filesystem::perms::others_write,
                                   std::filesystem::perm_options::remove);
    }
    auto run = faultsite::Protect(dir, {});
    EXPECT_EQ(run.Status, 1) << folder << run.Out << run.Err;
    if (mounts && std::string(folder) == "site/sub") {
      EXPECT_NE(run.Err.find("Error #102: Can not open file " + (dir / "site/sub/page.html")),
                std::string::npos)
          << run.Err;
      EXPECT_NE(run.Out.find("Pages protected: 1 of 2"), std::string::npos) << run.Out;
    }
    if (!mounts) {
      std::filesystem::permissions(dir / folder, std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::add);
    }
    CheckRunAndRestore(dir, before, run, folder);
  }
}

TEST(FileSystemFaults, PageHeldByAnotherProcessGivesError102AndTheRunGoesOn) {
  TempDir dir;
  faultsite::MakeSite(dir);
  const auto before = SnapshotTree(dir / "site");
  const std::string page = dir / "site/index.htm";
  int ready[2], release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  pid_t holder = ::fork();
  if (holder == 0) {
    // Another program with the page open, not sharing it.
    TFileHandler held(page, fmOpenReadWrite | fmShareExclusive);
    char c = 1;
    (void)!::write(ready[1], &c, 1);
    (void)!::read(release[0], &c, 1);
    _exit(0);
  }
  char c;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  auto run = faultsite::Protect(dir, {});
  (void)!::write(release[1], &c, 1);
  int status = 0;
  ::waitpid(holder, &status, 0);
  for (int fd : {ready[0], ready[1], release[0], release[1]}) ::close(fd);

  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("Error #102: Can not open file " + page + "\n"), std::string::npos)
      << run.Err;
  EXPECT_NE(run.Out.find("Pages protected: 1 of 2"), std::string::npos) << run.Out;
  EXPECT_EQ(SnapshotTree(dir / "site").at("index.htm"), before.at("index.htm"));
  CheckRunAndRestore(dir, before, run, "held page");
}

}  // namespace

TEST(FileSystemFaults, AnInstallationTheUserCannotWriteKeepsItsFilesInTheUsersOwnFolders) {
  if (auto why = EnterPrivateMounts(); !why.empty()) GTEST_SKIP() << why;
  TempDir dir;
  faultsite::MakeSite(dir);
  std::filesystem::create_directories(dir / "opt");
  std::filesystem::copy_file(VLM_PROGRAM_DIR "/vlm-cli", dir / "opt/vlm-cli");
  std::filesystem::copy_file(dir / "home/vlm.ini", dir / "opt/vlm.ini");
  Mount readOnly;
  ASSERT_EQ(readOnly.ReadOnly(dir / "opt"), "");
  ::unsetenv("VLM_HOME");
  const std::vector<std::string> env = {"XDG_CONFIG_HOME=" + (dir / "config"),
                                        "XDG_DATA_HOME=" + (dir / "data"),
                                        "XDG_RUNTIME_DIR=" + (dir / "run")};
  const auto before = SnapshotTree(dir / "site");
  auto run =
      sitetools::RunProgram({dir / "opt/vlm-cli", "protect", "--min", "1x1", dir / "site"}, env);
  EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
  // The options start as a copy of the shipped ones; the backup set lies in
  // the user's data folder, and restore finds it there.
  EXPECT_EQ(dir.Read("config/velmora/vlm.ini"), dir.Read("opt/vlm.ini"));
  EXPECT_EQ(ListBackupSets(dir / "data/velmora/Backup/"), std::vector<int>{0});
  EXPECT_NE(run.Out.find(dir / "data/velmora/Backup/"), std::string::npos) << run.Out;
  auto restore = sitetools::RunProgram({dir / "opt/vlm-cli", "restore"}, env);
  EXPECT_EQ(restore.Status, 0) << restore.Out << restore.Err;
  EXPECT_EQ(DescribeDifferences(before, SnapshotTree(dir / "site")), "");
}
