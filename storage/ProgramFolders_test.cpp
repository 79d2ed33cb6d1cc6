#include "storage/ProgramFolders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/File.h"
#include "testsupport/TempDir.h"
#include "platform/UserFolders.h"

namespace {

using testsupport::ScopedEnv;
using testsupport::TempDir;

TFolderFacts Facts(bool writable, const std::string& runtime = "/run/user/1000") {
  TFolderFacts facts;
  facts.Installation = "/opt/velmora";
  facts.InstallationWritable = writable;
  facts.ConfigHome = "/home/ann/.config";
  facts.DataHome = "/home/ann/.local/share";
  facts.RuntimeFolder = runtime;
  return facts;
}

void ExpectFolders(const TProgramFolders& got, const TProgramFolders& want) {
  EXPECT_EQ(got.Program, want.Program);
  EXPECT_EQ(got.Options, want.Options);
  EXPECT_EQ(got.Data, want.Data);
  EXPECT_EQ(got.HandOff, want.HandOff);
}

TEST(ProgramFoldersTest, BesideTheProgramWhenWritableElseTheUsersOwnFolders) {
  const std::string opt = "/opt/velmora";
  ExpectFolders(ChooseProgramFolders(Facts(true)), {opt, opt, opt, opt});
  ExpectFolders(ChooseProgramFolders(Facts(false)),
                {opt, "/home/ann/.config/velmora", "/home/ann/.local/share/velmora",
                 "/run/user/1000/velmora"});
  // A session without a runtime folder keeps the hand-off file with the
  // options, never in a folder others can write.
  EXPECT_EQ(ChooseProgramFolders(Facts(false, "")).HandOff, "/home/ann/.config/velmora");

  for (bool writable : {true, false}) {
    TFolderFacts facts = Facts(writable);
    facts.Home = "/tmp/home/";
    ExpectFolders(ChooseProgramFolders(facts), {"/tmp/home", "/tmp/home", "/tmp/home", "/tmp/home"});
  }
}

TEST(ProgramFoldersTest, FactsComeFromTheEnvironmentAndTheRunningProgram) {
  TempDir dir;
  ::unsetenv("VLM_HOME");
  ScopedEnv config("XDG_CONFIG_HOME", dir / "config/");
  ScopedEnv runtime("XDG_RUNTIME_DIR", dir / "run");
  ScopedEnv data("XDG_DATA_HOME", "relative/is/ignored");
  ScopedEnv home("HOME", dir / "ann");
  const TFolderFacts facts = CurrentFolderFacts();
  EXPECT_TRUE(facts.Home.empty());
  EXPECT_TRUE(platform::FileExists(facts.Installation + "/storage_test"));
  EXPECT_TRUE(facts.InstallationWritable);  // the build tree
  EXPECT_EQ(facts.ConfigHome, dir / "config");
  EXPECT_EQ(facts.DataHome, dir / "ann/.local/share");
  EXPECT_EQ(facts.RuntimeFolder, dir / "run");

  // The build tree is writable, so everything stays beside the program.
  EXPECT_EQ(GetOptionsFile(), facts.Installation + "/vlm.ini");
  EXPECT_EQ(GetBackupDir(), facts.Installation + "/Backup/");
  {
    ScopedEnv vlmHome("VLM_HOME", dir / "home");
    EXPECT_EQ(GetHandOffFile(), dir / "home/files.tmp");
    EXPECT_TRUE(platform::DirectoryExists(dir / "home"));
  }
}

TEST(ProgramFoldersTest, WritableFolders) {
  TempDir dir;
  EXPECT_TRUE(platform::IsWritableFolder(dir.path()));
  EXPECT_FALSE(platform::IsWritableFolder(dir / "missing"));
  EXPECT_FALSE(platform::IsWritableFolder(""));
  if (::geteuid() != 0) {  // root may write whatever the mode says
    ::chmod(dir.path().c_str(), 0555);
    EXPECT_FALSE(platform::IsWritableFolder(dir.path()));
  }
}

TEST(ProgramFoldersTest, TheUsersOptionsStartAsACopyOfTheShippedOnes) {
  TempDir dir;
  const std::string shipped = dir.Write("opt/vlm.ini", "shipped\r\n");
  TProgramFolders folders{dir / "opt", dir / "config/velmora", dir / "data", dir / "run"};

  const std::string path = OptionsFileIn(folders);
  EXPECT_EQ(path, dir / "config/velmora/vlm.ini");
  EXPECT_EQ(TempDir::ReadFile(path), "shipped\r\n");

  // Once the user has options of their own, they are kept.
  platform::ReplaceFile(path, "mine\r\n");
  dir.Write("opt/vlm.ini", "updated\r\n");
  EXPECT_EQ(TempDir::ReadFile(OptionsFileIn(folders)), "mine\r\n");

  // Nothing shipped: nothing is made up; the reader reports the missing file.
  TProgramFolders bare{dir / "bare", dir / "config2", dir / "data", dir / "run"};
  EXPECT_FALSE(platform::FileExists(OptionsFileIn(bare)));

  // Options beside the program are the shipped file itself.
  TProgramFolders beside{dir / "opt", dir / "opt", dir / "opt", dir / "opt"};
  EXPECT_EQ(OptionsFileIn(beside), shipped);
}

}  // namespace
