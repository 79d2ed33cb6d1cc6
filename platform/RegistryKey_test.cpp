#include "platform/RegistryKey.h"

#include <gtest/gtest.h>

namespace {

using platform::RegistryKey;

RegistryKey Parsed(const std::string& text) {
  RegistryKey tree;
  std::string error;
  EXPECT_TRUE(tree.Parse(text, error)) << error;
  return tree;
}

TEST(RegistryKeyTest, FormatsSectionsInTreeOrderAndReadsThemBack) {
  RegistryKey tree;
  tree.Create("HKEY_CLASSES_ROOT\\CLSID\\{X}\\InprocServer32")
      ->SetString("", "/opt/my lib/menu.so");
  tree.Find("HKEY_CLASSES_ROOT\\CLSID\\{X}\\InprocServer32")
      ->SetString("ThreadingModel", "Apartment");
  tree.Create("HKEY_CLASSES_ROOT\\*\\shellex")->SetString("", "");
  tree.Create("HKEY_CLASSES_ROOT\\CLSID\\{X}")->SetString("", "say \"hi\" C:\\dir");

  const std::string text = tree.Format();
  EXPECT_EQ(text,
            "REGEDIT4\r\n\r\n"
            "[HKEY_CLASSES_ROOT]\r\n\r\n"
            "[HKEY_CLASSES_ROOT\\*]\r\n\r\n"
            "[HKEY_CLASSES_ROOT\\*\\shellex]\r\n@=\"\"\r\n\r\n"
            "[HKEY_CLASSES_ROOT\\CLSID]\r\n\r\n"
            "[HKEY_CLASSES_ROOT\\CLSID\\{X}]\r\n@=\"say \\\"hi\\\" C:\\\\dir\"\r\n\r\n"
            "[HKEY_CLASSES_ROOT\\CLSID\\{X}\\InprocServer32]\r\n"
            "@=\"/opt/my lib/menu.so\"\r\n\"ThreadingModel\"=\"Apartment\"\r\n\r\n");

  RegistryKey again = Parsed(text);
  EXPECT_EQ(again.Format(), text);
  EXPECT_EQ(again.Find("HKEY_CLASSES_ROOT\\CLSID\\{X}")->String(""), "say \"hi\" C:\\dir");
}

TEST(RegistryKeyTest, NamesMatchWithoutCaseAndKeepTheirOwn) {
  RegistryKey tree;
  tree.Create("HKEY_CLASSES_ROOT\\Folder\\ShellEx")->SetString("Name", "one");
  RegistryKey* same = tree.Create("hkey_classes_root\\FOLDER\\shellex");
  same->SetString("NAME", "two");
  EXPECT_EQ(same, tree.Find("HKEY_CLASSES_ROOT\\Folder\\ShellEx"));
  EXPECT_EQ(same->Name(), "ShellEx");
  ASSERT_EQ(same->Values().size(), 1u);
  EXPECT_EQ(same->Values()[0].name, "Name");
  EXPECT_EQ(same->String("name"), "two");
  EXPECT_EQ(tree.Find("HKEY_CLASSES_ROOT")->SubKeys().size(), 1u);
}

TEST(RegistryKeyTest, InvalidPathsAreRefused) {
  RegistryKey tree;
  EXPECT_EQ(tree.Create("A\\\\B"), nullptr);
  EXPECT_EQ(tree.Create("A\\B\\"), nullptr);
  EXPECT_EQ(tree.Create("A\\line\nbreak"), nullptr);
  EXPECT_TRUE(tree.SubKeys().empty());
  EXPECT_EQ(tree.Create(""), &tree);
}

TEST(RegistryKeyTest, DeletesWholeSubtreesOnly) {
  RegistryKey tree;
  tree.Create("R\\A\\B\\C");
  tree.Create("R\\A2");
  EXPECT_FALSE(tree.DeleteTree("R\\Missing"));
  EXPECT_FALSE(tree.DeleteTree("R\\A\\B\\C\\D"));
  EXPECT_TRUE(tree.DeleteTree("R\\a\\b"));
  EXPECT_EQ(tree.Find("R\\A\\B"), nullptr);
  ASSERT_NE(tree.Find("R\\A"), nullptr);
  EXPECT_NE(tree.Find("R\\A2"), nullptr);
}

TEST(RegistryKeyTest, OtherValueTypesSurviveARewriteAndLineBreaksBecomeBytes) {
  RegistryKey tree = Parsed(
      "REGEDIT4\n"
      "; a comment\n"
      "[HKEY_LOCAL_MACHINE\\Soft]\n"
      "\"Count\"=dword:0000002a\n"
      "\"Blob\"=hex:01,02,\\\n"
      "  03,04\n"
      "\"Text\"=hex(1):41,0a,42,00\n"
      "@ = \"spaced\"\n");
  const RegistryKey* soft = tree.Find("HKEY_LOCAL_MACHINE\\Soft");
  ASSERT_NE(soft, nullptr);
  EXPECT_EQ(soft->Value("Count")->raw, "dword:0000002a");
  EXPECT_EQ(soft->String("Count"), std::nullopt);
  EXPECT_EQ(soft->Value("Blob")->raw, "hex:01,02,03,04");
  EXPECT_EQ(soft->String("Text"), "A\nB");
  EXPECT_EQ(soft->String(""), "spaced");

  const std::string text = tree.Format();
  EXPECT_NE(text.find("\"Text\"=hex(1):41,0a,42,00\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"Count\"=dword:0000002a\r\n"), std::string::npos);
  EXPECT_EQ(Parsed(text).Format(), text);
}

TEST(RegistryKeyTest, DeletionSectionsAndValuesApply) {
  RegistryKey tree = Parsed(
      "REGEDIT4\r\n\r\n[A\\B]\r\n\"x\"=\"1\"\r\n\"y\"=\"2\"\r\n[A\\C]\r\n"
      "[-A\\C]\r\n\"ignored\"=\"value of a deleted key\"\r\n[A\\B]\r\n\"y\"=-\r\n");
  EXPECT_EQ(tree.Find("A\\C"), nullptr);
  const RegistryKey* b = tree.Find("A\\B");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->String("x"), "1");
  EXPECT_EQ(b->Value("y"), nullptr);
}

TEST(RegistryKeyTest, TextThatIsNoRegistryFileIsRefusedAndLeavesNothing) {
  for (const char* text : {"", "Windows Registry Editor Version 5.00\r\n", "REGEDIT4\r\n[A\r\n",
                           "REGEDIT4\r\n[A]\r\n\"x\"\"1\"\r\n",
                           "REGEDIT4\r\n[A]\r\n\"x\"=\"open\r\n", "REGEDIT4\r\n[A]\r\nbare=1\r\n",
                           "REGEDIT4\r\n[A]\r\n\"x\"=hex(1):4\r\n", "REGEDIT4\r\n[A\\\\B]\r\n"}) {
    RegistryKey tree;
    tree.Create("Old");
    std::string error;
    EXPECT_FALSE(tree.Parse(text, error)) << text;
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(tree.SubKeys().empty());
  }
}

}  // namespace
