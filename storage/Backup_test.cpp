#include "storage/Backup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Exception.h"
#include "platform/File.h"
#include "testsupport/TempDir.h"
#include "storage/BackupSet.h"
#include "storage/DigestList.h"
#include "storage/GlobalLib.h"
#include "storage/SetRestore.h"

namespace {

using testsupport::TempDir;

std::string Record(const std::string& name, int32_t size) {
  std::string r(260, '\0');
  size_t n = std::min<size_t>(name.size(), 255);
  r[0] = static_cast<char>(n);
  r.replace(1, n, name.substr(0, n));
  for (int i = 0; i < 4; ++i) r[256 + i] = static_cast<char>((static_cast<uint32_t>(size) >> (8 * i)) & 0xFF);
  return r;
}

// Only the used part of a record's name carries meaning.
void ExpectRecord(const std::string& index, size_t k, const std::string& name, int32_t size) {
  std::string want = Record(name, size);
  std::string got = index.substr(k * 260, 260);
  size_t n = static_cast<uint8_t>(want[0]);
  EXPECT_EQ(got.substr(0, 1 + n), want.substr(0, 1 + n)) << "record " << k;
  EXPECT_EQ(got.substr(256), want.substr(256)) << "record " << k;
}

TEST(Backup, SetNumbersStartAtZeroAndFillGaps) {
  TempDir dir;
  std::string folder = dir / "prog/Backup/";
  { TImageBackupMaker first(folder); EXPECT_EQ(first.BaseName(), folder + "0"); }
  for (const char* ext : {".ind", ".dat", ".img"}) {
    EXPECT_EQ(TempDir::ReadFile(folder + "0" + ext), "") << "an empty run leaves empty files";
  }
  { TImageBackupMaker second(folder); EXPECT_EQ(second.BaseName(), folder + "1"); }
  { TImageBackupMaker third(folder); }
  ::unlink((folder + "1.ind").c_str());
  dir.Write("prog/Backup/1.dat", "stale");
  TImageBackupMaker again(folder);
  EXPECT_EQ(again.BaseName(), folder + "1");
  EXPECT_EQ(TempDir::ReadFile(folder + "1.dat"), "") << "a set's old data file is emptied";
  EXPECT_EQ(ListBackupSets(folder), (std::vector<int>{0, 1, 2}));
}

TEST(Backup, FilesHoldRecordsDataAndNameLinesByteForByte) {
  TempDir dir;
  std::string folder = dir / "Backup/";
  std::string path255 = "/" + std::string(254, 'p');
  std::string path259 = "/" + std::string(258, 'q');
  {
    TImageBackupMaker maker(folder);
    maker.AddEntry(3, "/site/a.gif", "GIF");
    maker.AddPieceNames("abcdefgh");
    // A piece's digest waits for the next group that carries a page's.
    maker.AddWritten("/site/abcd.gif", "piece");
    // A group: nothing of it is in the index or the list before Commit.
    maker.StageEntry(0, "/site/empty.bmp", "");
    maker.StageEntry(2, path255, "xy");
    maker.StageEntry(70000, path259, std::string(70000, 'z'));
    maker.StagePieceNames("mnop");
    EXPECT_EQ(maker.StagedBytes(), 70002);
    EXPECT_EQ(dir.Read("Backup/0.ind").size(), 260u);
    EXPECT_EQ(dir.Read("Backup/0.img"), "abcdefgh\r\n");
    maker.Commit();
    EXPECT_EQ(dir.Read("Backup/0.sum"), "");
    maker.StageEntry(4, "/site/index.htm", "<p>\n");
    maker.AddWriting("/site/index.htm", "<table>");
    maker.Commit();
    EXPECT_FALSE(maker.HasStaged());
    EXPECT_EQ(dir.Read("Backup/0.sum"), DigestLine("/site/abcd.gif", "piece") +
                                            DigestLine("/site/index.htm", "<table>"))
        << "a page's digest is on disk before the page changes";
    maker.AddPieceNames("ijkl");
    maker.AddWritten("/site/ijkl.gif", "last");
  }
  EXPECT_EQ(dir.Read("Backup/0.sum"), DigestLine("/site/abcd.gif", "piece") +
                                          DigestLine("/site/index.htm", "<table>") +
                                          DigestLine("/site/ijkl.gif", "last"))
      << "closing the set writes the digests still pending";
  std::string index = dir.Read("Backup/0.ind");
  ASSERT_EQ(index.size(), 5u * 260);
  ExpectRecord(index, 0, "/site/a.gif", 3);
  ExpectRecord(index, 1, "/site/empty.bmp", 0);
  ExpectRecord(index, 2, path255, 2);
  EXPECT_EQ(static_cast<uint8_t>(index[2 * 260]), 255);
  ExpectRecord(index, 3, path259.substr(0, 255), 70000);
  EXPECT_EQ(index.substr(3 * 260 + 256, 4), std::string("\x70\x11\x01\x00", 4));
  ExpectRecord(index, 4, "/site/index.htm", 4);
  EXPECT_EQ(dir.Read("Backup/0.dat"), "GIFxy" + std::string(70000, 'z') + "<p>\n");
  EXPECT_EQ(dir.Read("Backup/0.img"), "abcdefgh\r\nmnop\r\nijkl\r\n");
}

TEST(Backup, UnwritableFolderRefusesTheRun) {
  TempDir dir;
  dir.Write("file", "x");
  EXPECT_THROW(TImageBackupMaker maker(dir / "file/Backup/"), Exception);
  if (::geteuid() != 0) {
    std::string folder = dir / "ro/";
    platform::ForceDirectories(folder);
    ::chmod(folder.c_str(), 0500);
    EXPECT_THROW(TImageBackupMaker maker(folder), Exception);
  }
}

TEST(BackupSet, ReadsEntriesAndMatchesImagesToTheirNameLines) {
  TempDir dir;
  std::string folder = dir / "Backup/";
  {
    TImageBackupMaker maker(folder);
    maker.AddEntry(3, "/s/a.GIF", "GIF");
    maker.AddPieceNames("abcd");
    maker.AddEntry(2, "/s/b.jpeg", "JP");
    maker.AddPieceNames("efghijkl");
    maker.AddEntry(4, "/s/page.htm", "page");
    maker.AddEntry(1, "/s/d.png", "P");
    maker.AddPieceNames("mnop");
    maker.AddEntry(1, "/s/e.WebP", "W");
    maker.AddPieceNames("qrst");
    maker.AddEntry(1, "/s/c.bmp", "B");  // backed up, the run ended before its names
  }
  TBackupSet set = ReadBackupSet(folder + "0");
  EXPECT_TRUE(set.Problems.empty());
  ASSERT_EQ(set.Entries.size(), 6u);
  EXPECT_EQ(set.Entries[0].PieceLine, 0);
  EXPECT_EQ(set.Entries[1].PieceLine, 1);
  EXPECT_FALSE(set.Entries[2].IsImage);
  EXPECT_EQ(set.Entries[3].PieceLine, 2);
  EXPECT_EQ(set.Entries[4].PieceLine, 3);
  EXPECT_EQ(set.Entries[5].PieceLine, -1);
  EXPECT_EQ(ReadBackupContent(set, set.Entries[2]), "page");
}

TEST(BackupSet, TornSetsAreReportedNotTrusted) {
  TempDir dir;
  std::string base = dir / "Backup/0";
  dir.Write("Backup/0.ind", Record("/s/a.gif", 3) + Record("/s/b.htm", 5) + std::string(100, 'x'));
  dir.Write("Backup/0.dat", "abcde");  // b.htm's data is short
  dir.Write("Backup/0.img", "abcd\r\nef");
  TBackupSet set = ReadBackupSet(base);
  ASSERT_EQ(set.Entries.size(), 1u);
  EXPECT_EQ(set.Entries[0].Name, "/s/a.gif");
  EXPECT_EQ(set.Entries[0].PieceLine, 0);
  EXPECT_EQ(set.Problems.size(), 3u);  // torn record, short data, torn line

  dir.Write("Backup/0.ind", Record("/s/a.htm", 3));
  dir.Write("Backup/0.dat", "abcdef");  // data of an entry whose record never came
  dir.Write("Backup/0.img", "ABCD\r\n");
  set = ReadBackupSet(base);
  EXPECT_EQ(set.Entries.size(), 1u);
  EXPECT_EQ(set.PieceLines.size(), 0u);
  EXPECT_EQ(set.Problems.size(), 2u);
  EXPECT_THROW(ReadBackupSet(dir / "Backup/9"), Exception);
}

TEST(BackupSet, RestoreKeepsOldestCopyRemovesPiecesAndKeepsUnknownChanges) {
  TempDir dir;
  std::string site = dir / "site/";
  {
    TImageBackupMaker maker(dir / "Backup/");
    maker.AddEntry(8, site + "a.gif", "GIF-orig");
    maker.AddPieceNames("abcdwxyz");
    maker.AddEntry(6, site + "page.htm", "page-1");
    maker.AddEntry(6, site + "page.htm", "page-2");
    maker.AddEntry(5, site + "edit.htm", "old-e");
  }
  dir.Write("site/page.htm", "protected<!--mark-->");
  dir.Write("site/abcd.gif", "piece");
  dir.Write("site/wxyz.gif", "piece");
  dir.Write("site/keep.gif", "user's");
  dir.Write("site/edit.htm", "the user edited this");
  ::chmod((site + "page.htm").c_str(), 0640);
  auto account = [](const TBackupEntry&, const std::string& current, const std::string&) {
    return current.find("<!--mark-->") != std::string::npos;
  };
  TRestoreReport report = RestoreBackupSet(ReadBackupSet(dir / "Backup/0"), account);
  EXPECT_TRUE(report.Ok());
  EXPECT_EQ(dir.Read("site/a.gif"), "GIF-orig") << "a deleted source comes back";
  EXPECT_EQ(dir.Read("site/page.htm"), "page-1") << "the oldest copy wins";
  EXPECT_EQ(dir.Read("site/edit.htm"), "old-e");
  EXPECT_EQ(dir.Read("site/edit.htm.before-restore"), "the user edited this");
  EXPECT_EQ(report.KeptAside.size(), 1u);
  EXPECT_FALSE(platform::FileExists(site + "abcd.gif"));
  EXPECT_FALSE(platform::FileExists(site + "wxyz.gif"));
  EXPECT_EQ(dir.Read("site/keep.gif"), "user's");
  struct stat st;
  ASSERT_EQ(::stat((site + "page.htm").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u) << "the page keeps its mode";
}

TEST(BackupSet, RestoreRefusesAPathThatMayBeCut) {
  TempDir dir;
  std::string longPath = dir.path() + "/" + std::string(255 - dir.path().size() - 1, 'n');
  ASSERT_EQ(longPath.size(), 255u);
  { TImageBackupMaker maker(dir / "Backup/"); maker.AddEntry(1, longPath, "x"); }
  TRestoreReport report = RestoreBackupSet(ReadBackupSet(dir / "Backup/0"), nullptr);
  EXPECT_FALSE(report.Ok());
  EXPECT_FALSE(platform::FileExists(longPath));
}

TEST(BackupSet, RestoredFileThatWasDeletedGetsItsOldPermissions) {
  TempDir dir;
  const std::string image = dir.Write("site/private.gif", "GIF-secret");
  const std::string page = dir.Write("site/page.htm", "old");
  ::chmod(image.c_str(), 0600);
  ::chmod(page.c_str(), 0644);
  const std::string longName = dir.path() + "/" + std::string(252 - dir.path().size(), 'm');
  {
    TImageBackupMaker maker(dir / "Backup/");
    maker.AddEntry(10, image, "GIF-secret");
    maker.AddEntry(3, page, "old");
    maker.AddEntry(1, longName, "x");  // 253 bytes: no room for the mode
  }
  ::unlink(image.c_str());
  dir.Write("site/page.htm", "protected");
  ::chmod(page.c_str(), 0640);  // changed by the user since the run
  TBackupSet set = ReadBackupSet(dir / "Backup/0");
  ASSERT_EQ(set.Entries.size(), 3u);
  EXPECT_EQ(set.Entries[0].Mode, 0600);
  EXPECT_EQ(set.Entries[2].Mode, -1);
  TRestoreReport report = RestoreBackupSet(set, [](auto&&...) { return true; });
  EXPECT_EQ(report.Restored.size(), 3u);
  struct stat st;
  ASSERT_EQ(::stat(image.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "not readable by others as it never was";
  ASSERT_EQ(::stat(page.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u) << "a file that is there keeps its current mode";
}

TEST(BackupSet, RecordsWithoutAModeMarkReadAsUnknown) {
  std::string bytes = Record("/site/a.gif", 3);
  EXPECT_EQ(TBackupIndexRecord::Decode(bytes.data()).Mode, -1) << "zeros past the name";
  bytes[1 + kBackupModeOffset] = static_cast<char>(0xED);
  bytes[2 + kBackupModeOffset] = static_cast<char>(0x51);  // 0x51ED: no mark
  EXPECT_EQ(TBackupIndexRecord::Decode(bytes.data()).Mode, -1);
  bytes[2 + kBackupModeOffset] = static_cast<char>(0xAF);  // marked; set-id bits are never kept
  EXPECT_EQ(TBackupIndexRecord::Decode(bytes.data()).Mode, 0755);
  auto encoded = TBackupIndexRecord::Make("/site/a.gif", 3, 04755).Encode();
  EXPECT_EQ(TBackupIndexRecord::Decode(encoded.data()).Mode, 0755);
  EXPECT_EQ(TBackupIndexRecord::Decode(encoded.data()).NameText(), "/site/a.gif");
}

}  // namespace
