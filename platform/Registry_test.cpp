#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

#include "platform/Exception.h"
#include "testsupport/TempDir.h"

namespace {

using platform::Registry;
using platform::RegistryRoot;
using testsupport::ScopedEnv;
using testsupport::TempDir;

TEST(RegistryTest, DefaultPathFollowsTheEnvironment) {
  ScopedEnv home("HOME", "/home/someone");
  {
    ScopedEnv registry("VLM_REGISTRY", "/tmp/test.reg");
    EXPECT_EQ(Registry::DefaultPath(), "/tmp/test.reg");
  }
  ScopedEnv noRegistry("VLM_REGISTRY", "");
  {
    ScopedEnv config("XDG_CONFIG_HOME", "/cfg");
    EXPECT_EQ(Registry::DefaultPath(), "/cfg/velmora/registry.reg");
  }
  ScopedEnv relative("XDG_CONFIG_HOME", "relative/not/allowed");
  EXPECT_EQ(Registry::DefaultPath(), "/home/someone/.config/velmora/registry.reg");
}

TEST(RegistryTest, ChangesAreWrittenAsARegistryFileInMissingFolders) {
  TempDir dir;
  Registry registry(dir / "config/velmora/registry.reg");
  EXPECT_TRUE(registry.Read().SubKeys().empty());
  ASSERT_TRUE(registry.SetString(RegistryRoot::ClassesRoot, "Folder\\shellex", "", ""));
  ASSERT_TRUE(registry.SetString(RegistryRoot::LocalMachine, "SOFTWARE\\X", "Name", "data"));
  ASSERT_TRUE(registry.CreateKey(RegistryRoot::ClassesRoot, "Empty\\Key"));

  const std::string text = dir.Read("config/velmora/registry.reg");
  EXPECT_EQ(text.rfind("REGEDIT4\r\n", 0), 0u);
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n\"Name\"=\"data\"\r\n"),
            std::string::npos);

  // A second store on the same file sees everything.
  auto tree = Registry(registry.Path()).Read();
  EXPECT_EQ(tree.Find("HKEY_CLASSES_ROOT\\Folder\\shellex")->String(""), "");
  EXPECT_NE(tree.Find("HKEY_CLASSES_ROOT\\Empty\\Key"), nullptr);
}

TEST(RegistryTest, DeletesOnlyExistingKeysWithoutSubkeys) {
  TempDir dir;
  Registry registry(dir / "registry.reg");
  ASSERT_TRUE(
      registry.SetString(RegistryRoot::ClassesRoot, "CLSID\\{A}\\InprocServer32", "", "/lib.so"));
  EXPECT_FALSE(registry.DeleteKey(RegistryRoot::ClassesRoot, "CLSID\\{A}"));
  EXPECT_EQ(errno, ENOTEMPTY);
  EXPECT_FALSE(registry.DeleteKey(RegistryRoot::ClassesRoot, "CLSID\\{B}"));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_FALSE(registry.DeleteKey(RegistryRoot::ClassesRoot, ""));
  EXPECT_TRUE(registry.DeleteKey(RegistryRoot::ClassesRoot, "CLSID\\{A}\\InprocServer32"));
  EXPECT_TRUE(registry.DeleteKey(RegistryRoot::ClassesRoot, "CLSID\\{A}"));
  auto tree = registry.Read();
  EXPECT_EQ(tree.Find("HKEY_CLASSES_ROOT\\CLSID\\{A}"), nullptr);
  EXPECT_NE(tree.Find("HKEY_CLASSES_ROOT\\CLSID"), nullptr);
}

TEST(RegistryTest, AFileThatIsNoRegistryIsNeitherReadNorOverwritten) {
  TempDir dir;
  const std::string garbage = "this is not a registry\n";
  dir.Write("registry.reg", garbage);
  Registry registry(dir / "registry.reg");
  EXPECT_THROW(registry.Read(), EStreamError);
  EXPECT_FALSE(registry.SetString(RegistryRoot::ClassesRoot, "A", "", "x"));
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(dir.Read("registry.reg"), garbage);
  EXPECT_FALSE(registry.SetString(RegistryRoot::ClassesRoot, "A\\\\B", "", "x"));
}

TEST(RegistryTest, AStoreThatCannotBeWrittenReportsFailure) {
  TempDir dir;
  dir.Write("plainfile", "x");
  Registry registry(dir / "plainfile/registry.reg");
  EXPECT_FALSE(registry.SetString(RegistryRoot::ClassesRoot, "A", "", "x"));
  EXPECT_FALSE(registry.CreateKey(RegistryRoot::ClassesRoot, "A"));
  EXPECT_THROW(registry.Read(), EStreamError);
}

TEST(RegistryTest, ConcurrentWritersLoseNoChange) {
  TempDir dir;
  const std::string path = dir / "registry.reg";
  std::vector<std::thread> writers;
  for (int w = 0; w < 4; ++w) {
    writers.emplace_back([&, w] {
      Registry own(path);
      for (int i = 0; i < 10; ++i) {
        own.SetString(RegistryRoot::ClassesRoot, "Key" + std::to_string(w), std::to_string(i), "v");
      }
    });
  }
  for (auto& writer : writers) writer.join();
  auto tree = Registry(path).Read();
  for (int w = 0; w < 4; ++w) {
    const auto* key = tree.Find("HKEY_CLASSES_ROOT\\Key" + std::to_string(w));
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->Values().size(), 10u);
  }
}

}  // namespace
