#include "storage/SetRestore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/File.h"
#include "platform/FileWriteBack.h"
#include "storage/Backup.h"
#include "storage/DigestList.h"
#include "storage/RestoreJournal.h"
#include "storage/SetChoice.h"
#include "storage/Sha256.h"
#include "testsupport/SnapshotTree.h"
#include "testsupport/TempDir.h"

namespace {

using testsupport::TempDir;

// Pages count as the run's without a digest only when they say so.
const TAccountFor kMarked = [](const TBackupEntry&, const std::string& current,
                               const std::string&) {
  return current.find("<!--run-->") != std::string::npos;
};

// One run over `site`: page.htm backed up and rewritten, a.gif sliced into
// two pieces and deleted, with the digests a run notes.
void ProtectSite(const TempDir& dir, bool digests = true) {
  const std::string site = dir / "site/";
  TImageBackupMaker maker(dir / "Backup/");
  maker.AddEntry(8, site + "a.gif", "GIF-orig");
  maker.AddPieceNames("abcdwxyz");
  for (const char* piece : {"abcd.gif", "wxyz.gif"}) {
    dir.Write(std::string("site/") + piece, "piece");
    if (digests) maker.AddWritten(site + piece, "piece");
  }
  maker.AddEntry(8, site + "page.htm", "old page");
  dir.Write("site/page.htm", "new page<!--run-->");
  if (digests) maker.AddWritten(site + "page.htm", "new page<!--run-->");
  ::unlink((site + "a.gif").c_str());
}

TRestoreReport Restore(const TempDir& dir, int set = 0) {
  return RestoreBackupSet(ReadBackupSet(dir / ("Backup/" + std::to_string(set))), kMarked);
}

TEST(Sha256, KnownDigests) {
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Sha256Hex(std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  EXPECT_EQ(Sha256Hex(std::string(56, 'x')).size(), 64u) << "padding spills into a second block";
  // In pieces that end inside, at and across the 64-byte blocks.
  const std::string million(1000000, 'a');
  const std::string_view m(million);
  EXPECT_EQ(Sha256Hex({m.substr(0, 1), m.substr(1, 0), m.substr(1, 63), m.substr(64, 129),
                       m.substr(193, 64), m.substr(257)}),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(DigestList, LinesRoundTripAndATornLineEndsTheList) {
  const std::string odd = "/site/a b\n.htm";
  // A set made before the fast digest holds SHA-256 lines; both read alike.
  const std::string old = Sha256Hex("old") + " 11 /site/o.htm\n";
  std::string text = DigestLine("/site/p.htm", "one") + DigestLine(odd, "two") + old +
                     DigestLine("/site/p.htm", "three");
  bool damaged = true;
  auto digests = ParseDigestList(text, damaged);
  EXPECT_FALSE(damaged);
  ASSERT_EQ(digests.size(), 3u);
  EXPECT_EQ(digests["/site/p.htm"], FileDigest({"three"})) << "the last write of a file counts";
  EXPECT_EQ(digests[odd], FileDigest({"two"}));
  EXPECT_EQ(FileDigest({}), "xxh128:99aa06d3014798d86001c324468d497f") << "XXH3's own vector";
  EXPECT_EQ(FileDigest({"thr", "", "ee"}), FileDigest({"three"}));
  for (const auto& [path, bytes] :
       {std::pair{"/site/p.htm", "three"}, {odd.c_str(), "two"}, {"/site/o.htm", "old"}}) {
    EXPECT_TRUE(DigestMatches(digests[path], bytes)) << path;
    EXPECT_FALSE(DigestMatches(digests[path], "edited")) << path;
  }
  digests = ParseDigestList(text.substr(0, text.size() - 3), damaged);
  EXPECT_TRUE(damaged);
  EXPECT_EQ(digests["/site/p.htm"], FileDigest({"one"}));
  // A fast digest cut short is a torn line too.
  digests = ParseDigestList(text.substr(0, 20), damaged);
  EXPECT_TRUE(damaged);
  EXPECT_TRUE(digests.empty());
}

TEST(SetRestore, FilesAsTheRunLeftThemGoBackWithoutCopies) {
  TempDir dir;
  dir.Write("site/page.htm", "x");
  ProtectSite(dir);
  TRestoreReport report = Restore(dir);
  EXPECT_TRUE(report.Ok());
  EXPECT_TRUE(report.KeptAside.empty());
  EXPECT_EQ(report.Removed.size(), 2u);
  EXPECT_EQ(testsupport::FilesOf(testsupport::SnapshotTree(dir / "site")),
            (std::map<std::string, std::string>{{"a.gif", "GIF-orig"}, {"page.htm", "old page"}}));
  EXPECT_EQ(SetStateOf(dir / "Backup/0"), TSetState::Restored);
}

TEST(SetRestore, EditsAfterTheRunAreKeptAsideAndNamed) {
  TempDir dir;
  ProtectSite(dir);
  // The user edited the protected page (it still carries the run's marks),
  // changed a piece, and already has files named like our temporaries.
  dir.Write("site/page.htm", "new page<!--run--> edited");
  dir.Write("site/wxyz.gif", "repainted");
  dir.Write("site/page.htm.new", "user's");
  dir.Write("site/page.htm.before-restore", "an older copy");
  dir.Write("site/a.gif.new", "user's gif");
  TRestoreReport report = Restore(dir);
  EXPECT_TRUE(report.Ok());
  ASSERT_EQ(report.KeptAside.size(), 1u);
  EXPECT_EQ(report.KeptAside[0].File, dir / "site/page.htm");
  EXPECT_EQ(report.KeptAside[0].Copy, dir / "site/page.htm.before-restore.1");
  EXPECT_EQ(report.LeftAlone, std::vector<std::string>{dir / "site/wxyz.gif"});
  EXPECT_EQ(testsupport::FilesOf(testsupport::SnapshotTree(dir / "site")),
            (std::map<std::string, std::string>{
                {"a.gif", "GIF-orig"},
                {"a.gif.new", "user's gif"},
                {"page.htm", "old page"},
                {"page.htm.new", "user's"},
                {"page.htm.before-restore", "an older copy"},
                {"page.htm.before-restore.1", "new page<!--run--> edited"},
                {"wxyz.gif", "repainted"},
            }));
}

TEST(SetRestore, SetWithoutDigestsRestoresAsBefore) {
  TempDir dir;
  ProtectSite(dir, /*digests=*/false);
  ::unlink((dir / "Backup/0.sum").c_str());
  dir.Write("site/page.htm", "new page<!--run--> edited");
  TRestoreReport report = Restore(dir);
  EXPECT_TRUE(report.Ok());
  EXPECT_TRUE(report.KeptAside.empty()) << "the marks decide without a digest";
  EXPECT_EQ(dir.Read("site/page.htm"), "old page");
  EXPECT_FALSE(platform::FileExists(dir / "site/wxyz.gif"));
}

TEST(SetRestore, LinksOwnerGroupAndModeAreKept) {
  TempDir dir;
  const std::string site = dir / "site/";
  const std::string real = dir.Write("real/page.htm", "old");
  dir.Write("site/twin.htm", "old");
  dir.Write("site/plain.htm", "old");
  ASSERT_EQ(::symlink(real.c_str(), (site + "linked.htm").c_str()), 0);
  ASSERT_EQ(::link((site + "twin.htm").c_str(), (site + "twin2.htm").c_str()), 0);
  ::chmod((site + "plain.htm").c_str(), 0604);
  {
    TImageBackupMaker maker(dir / "Backup/");
    for (const char* name : {"linked.htm", "twin.htm", "plain.htm"}) {
      maker.AddEntry(3, site + name, "old");
      platform::OverwriteInPlace(site + name, "protected");
      maker.AddWritten(site + name, "protected");
    }
  }
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown((site + "plain.htm").c_str(), 4321, 4322), 0);
  }
  const auto plainBefore = platform::InspectFile(site + "plain.htm");
  TRestoreReport report = Restore(dir);
  EXPECT_TRUE(report.Ok()) << report.Skipped.front();
  EXPECT_TRUE(platform::InspectFile(site + "linked.htm").IsSymlink);
  EXPECT_EQ(dir.Read("real/page.htm"), "old");
  EXPECT_EQ(platform::InspectFile(site + "twin.htm").Links, 2u);
  EXPECT_EQ(dir.Read("site/twin2.htm"), "old");
  const auto plain = platform::InspectFile(site + "plain.htm");
  EXPECT_EQ(dir.Read("site/plain.htm"), "old");
  EXPECT_EQ(plain.Mode, 0604u);
  EXPECT_EQ(plain.Owner, plainBefore.Owner);
  EXPECT_EQ(plain.Group, plainBefore.Group);
  if (root) {
    EXPECT_EQ(plain.Owner, 4321u);
  }
  EXPECT_EQ(testsupport::FilesOf(testsupport::SnapshotTree(site)).size(), 4u)
      << "no temporary is left";
}

TEST(SetRestore, StoppedRestoreCompletesWhenRunAgain) {
  TempDir dir;
  ProtectSite(dir);
  const std::string base = dir / "Backup/0";
  // As a restore killed while writing page.htm into its file leaves it: a
  // mix of bytes, a temporary of its own, and a journal that says so.
  {
    TRestoreJournal journal(base);
    journal.NoteTemporary(dir / "site/.vlm-0123456789abcdef.tmp");
    journal.NoteWriting(1);
  }
  dir.Write("site/.vlm-0123456789abcdef.tmp", "GIF-");
  dir.Write("site/page.htm", "old pagege<!--run-->");
  EXPECT_EQ(SetStateOf(base), TSetState::PartlyRestored);
  TRestoreReport report = Restore(dir);
  EXPECT_TRUE(report.Ok());
  EXPECT_TRUE(report.KeptAside.empty()) << "a torn write of ours is no edit of the user";
  EXPECT_EQ(testsupport::FilesOf(testsupport::SnapshotTree(dir / "site")),
            (std::map<std::string, std::string>{{"a.gif", "GIF-orig"}, {"page.htm", "old page"}}));
  EXPECT_EQ(SetStateOf(base), TSetState::Restored);
}

TEST(SetRestore, AJournalThatCannotBeWrittenDoesNotStopTheRestore) {
  TempDir dir;
  ProtectSite(dir);
  std::filesystem::create_directory(dir / "Backup/0.done");
  TRestoreReport report = Restore(dir);
  EXPECT_TRUE(report.Ok());
  EXPECT_NE(report.JournalProblem.find("0.done"), std::string::npos);
  EXPECT_EQ(dir.Read("site/page.htm"), "old page");
  EXPECT_EQ(dir.Read("site/a.gif"), "GIF-orig");
}

TEST(SetChoice, RestoresWalkBackRunByRun) {
  TempDir dir;
  const std::string folder = dir / "Backup/";
  for (int i = 0; i < 3; ++i) TImageBackupMaker maker(folder);
  auto choose = [&](std::optional<int> n, bool force) {
    return ChooseSetToRestore(folder, n, force);
  };
  auto markRestored = [&](int n) { TRestoreJournal(folder + std::to_string(n)).NoteComplete(); };

  EXPECT_EQ(choose({}, false).Number, 2);
  TSetChoice older = choose(1, false);
  EXPECT_EQ(older.Number, -1);
  EXPECT_NE(older.Refusal.find("set 2 is newer than set 1 and applied"), std::string::npos);
  EXPECT_EQ(choose(1, true).Number, 1);
  EXPECT_TRUE(choose(7, false).NoSuchSet);

  markRestored(2);
  EXPECT_EQ(choose({}, false).Number, 1);
  { TRestoreJournal partly(folder + "1"); }
  EXPECT_EQ(SetStateOf(folder + "1"), TSetState::PartlyRestored);
  EXPECT_EQ(choose({}, false).Number, 1) << "a partly restored set is taken up again";
  EXPECT_EQ(choose(0, false).Number, -1);
  markRestored(1);
  markRestored(0);
  EXPECT_NE(choose({}, false).Refusal.find("restored already"), std::string::npos);
  EXPECT_EQ(choose(2, false).Number, -1);
  TSetChoice again = choose(2, true);
  EXPECT_EQ(again.Number, 2);
  EXPECT_TRUE(again.AgainFromStart);
  EXPECT_EQ(ChooseSetToRestore(dir / "none/", {}, false).Number, -1);
}

}  // namespace
