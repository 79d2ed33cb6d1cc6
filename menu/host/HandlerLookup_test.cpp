#include "menu/host/HandlerLookup.h"

#include <gtest/gtest.h>

namespace {

using platform::RegistryKey;

const char kClassA[] = "{19741013-C829-11D1-8233-0020AF3E97A9}";
const char kClassB[] = "{0000AAAA-0000-0000-0000-00000000000B}";

RegistryKey RegistryWith(const std::string& text) {
  RegistryKey tree;
  std::string error;
  EXPECT_TRUE(tree.Parse("REGEDIT4\r\n" + text, error)) << error;
  return tree;
}

const std::string kServers = std::string("[HKEY_CLASSES_ROOT\\CLSID\\") + kClassA +
                             "\\InprocServer32]\r\n@=\"/lib/a.so\"\r\n"
                             "[HKEY_CLASSES_ROOT\\CLSID\\" +
                             kClassB + "\\InprocServer32]\r\n@=\"/lib/b.so\"\r\n";

std::vector<std::string> Libraries(const std::vector<THandlerEntry>& handlers) {
  std::vector<std::string> paths;
  for (const auto& handler : handlers) paths.push_back(handler.LibraryPath);
  return paths;
}

TEST(HandlerLookupTest, FilesUseAllFilesHandlersAndFoldersTheFolderOnes) {
  const RegistryKey registry = RegistryWith(
      kServers + "[HKEY_CLASSES_ROOT\\*\\shellex\\ContextMenuHandlers\\Velmora]\r\n@=\"" + kClassA +
      "\"\r\n[HKEY_CLASSES_ROOT\\Folder\\shellex\\ContextMenuHandlers\\Other]\r\n@=\"" + kClassB +
      "\"\r\n[HKEY_CLASSES_ROOT\\Folder\\shellex\\ContextMenuHandlers\\Velmora]\r\n@=\"" + kClassA +
      "\"\r\n");
  std::vector<std::string> problems;
  EXPECT_EQ(Libraries(FindContextMenuHandlers(registry, true, false, problems)),
            std::vector<std::string>{"/lib/a.so"});
  EXPECT_EQ(Libraries(FindContextMenuHandlers(registry, false, true, problems)),
            (std::vector<std::string>{"/lib/b.so", "/lib/a.so"}));
  // A mixed selection meets each class once.
  const auto both = FindContextMenuHandlers(registry, true, true, problems);
  EXPECT_EQ(Libraries(both), (std::vector<std::string>{"/lib/a.so", "/lib/b.so"}));
  EXPECT_EQ(both[0].Name, "Velmora");
  EXPECT_EQ(GuidToString(both[0].ClassId), kClassA);
  EXPECT_TRUE(problems.empty());
}

TEST(HandlerLookupTest, TheKeyNameMayBeTheClass) {
  const RegistryKey registry = RegistryWith(
      kServers + "[HKEY_CLASSES_ROOT\\*\\shellex\\ContextMenuHandlers\\" + kClassB + "]\r\n");
  std::vector<std::string> problems;
  EXPECT_EQ(Libraries(FindContextMenuHandlers(registry, true, false, problems)),
            std::vector<std::string>{"/lib/b.so"});
}

TEST(HandlerLookupTest, HandlersWithoutClassOrServerAreReportedAndLeftOut) {
  const RegistryKey registry = RegistryWith(
      "[HKEY_CLASSES_ROOT\\*\\shellex\\ContextMenuHandlers\\NoClass]\r\n@=\"not a class\"\r\n"
      "[HKEY_CLASSES_ROOT\\*\\shellex\\ContextMenuHandlers\\NoServer]\r\n@=\"" +
      std::string(kClassA) + "\"\r\n[HKEY_CLASSES_ROOT\\CLSID\\" + kClassA + "]\r\n@=\"x\"\r\n");
  std::vector<std::string> problems;
  EXPECT_TRUE(FindContextMenuHandlers(registry, true, true, problems).empty());
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_NE(problems[0].find("NoClass"), std::string::npos);
  EXPECT_NE(problems[1].find("NoServer"), std::string::npos);
}

TEST(HandlerLookupTest, AnEmptyRegistryHasNoHandlers) {
  std::vector<std::string> problems;
  EXPECT_TRUE(FindContextMenuHandlers(RegistryKey(), true, true, problems).empty());
  EXPECT_TRUE(problems.empty());
}

}  // namespace
