#include "menu/ContextMenuHandler.h"

#include <sys/file.h>

#include <cstring>

#include "menu/ContextMenuFactory.h"
#include "menu/MenuTesting.h"
#include "platform/PopupMenu.h"

namespace {

using menutest::InitializeWith;
using menutest::InvokeOffset;
using menutest::MenuInstallation;
using testsupport::TempDir;

// One right-click on `paths` in a loaded installation: the handler, its
// Initialize result and the menu it filled.
struct RightClick {
  RightClick(MenuInstallation& install, const std::vector<std::string>& paths,
             UINT flags = CMF_NORMAL)
      : menu(install.NewHandler(CLSID_ContextMenu)) {
    initResult = InitializeWith(menu, paths);
    queryResult = menu->QueryContextMenu(popup.Handle(), 0, 100, 200, flags);
  }
  ~RightClick() { menu->Release(); }
  IContextMenu* menu;
  TPopupMenu popup;
  HRESULT initResult;
  HRESULT queryResult;
};

class ContextMenuTest : public testing::Test {
 protected:
  void Load(const std::vector<std::string>& fileTypes) {
    install = std::make_unique<MenuInstallation>(fileTypes);
    ASSERT_EQ(install->Load(), "");
    menutest::WriteProgramRecorder(install->Folder());
  }
  std::string Page(const std::string& name) { return files.Write(name, "<html></html>"); }
  std::string Folder(const std::string& name) {
    std::filesystem::create_directories(files / name);
    return files / name;
  }
  std::string HandOff() const { return TempDir::ReadFile(install->Folder() + "/files.tmp"); }
  bool HandOffExists() const { return platform::FileExists(install->Folder() + "/files.tmp"); }

  TempDir files;
  std::unique_ptr<MenuInstallation> install;
};

TEST_F(ContextMenuTest, OnlyUnlistedFilesGiveNoItem) {
  Load({"htm,HTML Document"});
  RightClick click(*install, {Page("photo.jpg"), Page("notes.txt"), Page("page.html")});
  EXPECT_EQ(click.initResult, S_OK);
  EXPECT_EQ(click.queryResult, 0);
  EXPECT_TRUE(click.popup.Items().empty());
}

TEST_F(ContextMenuTest, FolderAndListedPageAreHandedToTheProgramInOrder) {
  Load({"htm,HTML Document"});
  const std::string folder = Folder("site");
  const std::string page = Page("site/index.htm");
  RightClick click(*install, {folder, page, Page("site/photo.jpg")});
  EXPECT_EQ(click.initResult, S_OK);
  ASSERT_EQ(click.queryResult, 1);
  ASSERT_EQ(click.popup.Items().size(), 1u);
  EXPECT_EQ(click.popup.Items()[0].text, "&Protect Images");
  EXPECT_EQ(click.popup.Items()[0].id, 100u);

  EXPECT_EQ(InvokeOffset(click.menu, 0), S_OK);
  EXPECT_EQ(HandOff(), folder + "\r\n" + page + "\r\n");
  ASSERT_TRUE(menutest::AwaitFile(install->Folder() + "/started"));
  EXPECT_EQ(TempDir::ReadFile(install->Folder() + "/started"),
            "arg:/menu\ncwd:" + install->Folder() + "\n");
}

TEST_F(ContextMenuTest, ItemGoesWhereTheShellAsks) {
  Load({"htm,HTML Document"});
  auto* menu = install->NewHandler(CLSID_ContextMenu);
  InitializeWith(menu, {Folder("a")});
  TPopupMenu popup;
  InsertMenuA(popup.Handle(), 0, MF_BYPOSITION, 1, "Open");
  InsertMenuA(popup.Handle(), 1, MF_BYPOSITION, 2, "Delete");
  EXPECT_EQ(menu->QueryContextMenu(popup.Handle(), 1, 7, 9, CMF_NORMAL), 1);
  ASSERT_EQ(popup.Items().size(), 3u);
  EXPECT_EQ(popup.Items()[1].text, "&Protect Images");
  EXPECT_EQ(popup.Items()[1].id, 7u);
  // A menu that refuses the item leaves no identifier used.
  EXPECT_EQ(menu->QueryContextMenu(nullptr, 0, 7, 9, CMF_NORMAL), 0);
  menu->Release();
}

TEST_F(ContextMenuTest, ExtensionsMatchTheListInLowerCaseOnly) {
  Load({"htm,HTML Document", "HTML,upper-case entry"});
  EXPECT_EQ(RightClick(*install, {Page("PAGE.HTM")}).queryResult, 1);
  EXPECT_EQ(RightClick(*install, {Page("Mixed.HtM")}).queryResult, 1);
  EXPECT_EQ(RightClick(*install, {Page("page.html")}).queryResult, 0);
  EXPECT_EQ(RightClick(*install, {Page("PAGE.HTML")}).queryResult, 0);
  // No extension: the dot of the folder name does not count.
  EXPECT_EQ(RightClick(*install, {Page("my.site/readme")}).queryResult, 0);
}

TEST_F(ContextMenuTest, FilesWithoutExtensionNeedAnEmptyEntry) {
  Load({"htm,HTML Document", ",pages without extension"});
  EXPECT_EQ(RightClick(*install, {Page("my.site/readme")}).queryResult, 1);
  EXPECT_EQ(RightClick(*install, {Page("photo.jpg")}).queryResult, 0);
}

TEST_F(ContextMenuTest, FlagsDecideTheItem) {
  Load({"htm,HTML Document"});
  const std::string page = Page("index.htm");
  const struct {
    UINT flags;
    HRESULT expected;
  } cases[] = {
      {CMF_NORMAL, 1},
      {CMF_DEFAULTONLY, 0},
      {CMF_VERBSONLY, 0},
      {CMF_NOVERBS, 0},
      {CMF_EXPLORE, 1},
      {CMF_EXPLORE | CMF_DEFAULTONLY, 1},
      {CMF_EXPLORE | CMF_VERBSONLY | CMF_NOVERBS, 1},
      {0x0010, 1},  // higher flags do not matter
      {0x0010 | CMF_DEFAULTONLY, 0},
  };
  for (const auto& c : cases) {
    RightClick click(*install, {page}, c.flags);
    EXPECT_EQ(click.queryResult, c.expected) << "flags " << c.flags;
    EXPECT_EQ(click.popup.Items().size(), static_cast<size_t>(c.expected));
  }
}

TEST_F(ContextMenuTest, EachChoiceReplacesTheHandOffFile) {
  Load({"htm,HTML Document"});
  {
    RightClick first(*install, {Folder("one"), Page("two.htm"), Page("three.htm")});
    EXPECT_EQ(InvokeOffset(first.menu, 0), S_OK);
  }
  const std::string page = Page("four.htm");
  RightClick second(*install, {page});
  EXPECT_EQ(InvokeOffset(second.menu, 0), S_OK);
  EXPECT_EQ(HandOff(), page + "\r\n");
}

TEST_F(ContextMenuTest, OnlyCommandOffsetZeroRuns) {
  Load({"htm,HTML Document"});
  RightClick click(*install, {Page("index.htm")});
  CMINVOKECOMMANDINFO byVerb{};
  byVerb.lpVerb = "protect";
  EXPECT_EQ(click.menu->InvokeCommand(&byVerb), E_FAIL);
  EXPECT_EQ(InvokeOffset(click.menu, 1), E_INVALIDARG);
  EXPECT_EQ(click.menu->InvokeCommand(nullptr), E_INVALIDARG);
  EXPECT_FALSE(HandOffExists());
}

TEST_F(ContextMenuTest, HelpTextOnlyForOffsetZeroAndTheNarrowRequest) {
  Load({"htm,HTML Document"});
  RightClick click(*install, {Page("index.htm")});
  char buffer[64];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(click.menu->GetCommandString(1, GCS_HELPTEXTA, nullptr, buffer, sizeof buffer),
            E_INVALIDARG);
  for (UINT type : {GCS_HELPTEXTW, GCS_VERBA, GCS_VERBW, GCS_VALIDATEA}) {
    EXPECT_EQ(click.menu->GetCommandString(0, type, nullptr, buffer, sizeof buffer), S_OK);
  }
  EXPECT_EQ(buffer[0], '#');

  EXPECT_EQ(click.menu->GetCommandString(0, GCS_HELPTEXTA, nullptr, buffer, sizeof buffer), S_OK);
  EXPECT_STREQ(buffer, "Protect images on the Web page(s)");
  EXPECT_EQ(std::strlen(buffer), 33u);

  // A small buffer gets what fits, with its NUL, and nothing beyond.
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(click.menu->GetCommandString(0, GCS_HELPTEXTA, nullptr, buffer, 8), S_OK);
  EXPECT_STREQ(buffer, "Protect");
  EXPECT_EQ(buffer[8], '#');
  EXPECT_EQ(click.menu->GetCommandString(0, GCS_HELPTEXTA, nullptr, buffer, 0), S_OK);
  EXPECT_EQ(click.menu->GetCommandString(0, GCS_HELPTEXTA, nullptr, nullptr, 64), S_OK);
}

TEST_F(ContextMenuTest, SelectionsThatCannotBeReadGiveNoItem) {
  Load({"htm,HTML Document"});
  IContextMenu* menu = install->NewHandler(CLSID_ContextMenu);
  IShellExtInit* init = nullptr;
  ASSERT_EQ(menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)), S_OK);
  TPopupMenu popup;

  ASSERT_EQ(InitializeWith(menu, {Page("index.htm")}), S_OK);
  EXPECT_EQ(init->Initialize(nullptr, nullptr, nullptr), E_INVALIDARG);

  TDropDataObject* virtualItems = TDropDataObject::WithoutFiles();
  EXPECT_EQ(init->Initialize(nullptr, virtualItems, nullptr), DV_E_FORMATETC);
  virtualItems->Release();
  EXPECT_EQ(menu->QueryContextMenu(popup.Handle(), 0, 1, 2, CMF_NORMAL), 0);

  EXPECT_EQ(InitializeWith(menu, {}), S_OK);
  EXPECT_EQ(menu->QueryContextMenu(popup.Handle(), 0, 1, 2, CMF_NORMAL), 0);
  EXPECT_TRUE(popup.Items().empty());
  init->Release();
  menu->Release();
}

TEST_F(ContextMenuTest, EveryHandlerKeepsItsOwnSelection) {
  Load({"htm,HTML Document"});
  const std::string mine = Page("mine.htm");
  IContextMenu* first = install->NewHandler(CLSID_ContextMenu);
  IContextMenu* second = install->NewHandler(CLSID_ContextMenu);
  ASSERT_EQ(InitializeWith(first, {mine}), S_OK);
  ASSERT_EQ(InitializeWith(second, {Page("photo.jpg")}), S_OK);
  TPopupMenu popup;
  EXPECT_EQ(first->QueryContextMenu(popup.Handle(), 0, 1, 2, CMF_NORMAL), 1);
  EXPECT_EQ(InvokeOffset(first, 0), S_OK);
  EXPECT_EQ(HandOff(), mine + "\r\n");
  first->Release();
  second->Release();
}

TEST_F(ContextMenuTest, LongPathsAreHandedOverWhole) {
  Load({"htm,HTML Document"});
  std::string name = "folder";
  while (name.size() < 300) name += "/a-rather-long-folder-name";
  const std::string page = Page(name + "/index.htm");
  ASSERT_GT(page.size(), 300u);
  RightClick click(*install, {page});
  ASSERT_EQ(click.queryResult, 1);
  EXPECT_EQ(InvokeOffset(click.menu, 0), S_OK);
  EXPECT_EQ(HandOff(), page + "\r\n");
}

TEST_F(ContextMenuTest, NoProgramStartsWithoutACompleteHandOffFile) {
  Load({"htm,HTML Document"});
  RightClick click(*install, {Page("index.htm")});

  // Held by another opener: the file stays as it was.
  install->Temp().Write("install/files.tmp", "old\r\n");
  {
    platform::File holder;
    ASSERT_TRUE(
        holder.Create(install->Folder() + "/files.tmp", platform::Sharing::Exclusive, false));
    EXPECT_EQ(InvokeOffset(click.menu, 0), E_FAIL);
    EXPECT_NE(TakeErrorDescription().find(install->Folder() + "/files.tmp"), std::string::npos);
  }
  EXPECT_EQ(HandOff(), "old\r\n");

  // Cannot be a file at all.
  std::filesystem::remove(install->Folder() + "/files.tmp");
  std::filesystem::create_directory(install->Folder() + "/files.tmp");
  EXPECT_EQ(InvokeOffset(click.menu, 0), E_FAIL);
  EXPECT_NE(TakeErrorDescription().find(install->Folder() + "/files.tmp"), std::string::npos);

  // Neither attempt started the program (this one does, and proves it).
  std::filesystem::remove(install->Folder() + "/files.tmp");
  EXPECT_FALSE(platform::FileExists(install->Folder() + "/started"));
  EXPECT_EQ(InvokeOffset(click.menu, 0), S_OK);
  ASSERT_TRUE(menutest::AwaitFile(install->Folder() + "/started"));
  EXPECT_EQ(TempDir::ReadFile(install->Folder() + "/starts"), "start\n");
}

TEST_F(ContextMenuTest, AMissingProgramIsReportedAndLeavesTheHandOffFileInPlace) {
  Load({"htm,HTML Document"});
  std::filesystem::remove(install->Folder() + "/vlm");
  const std::string page = Page("index.htm");
  RightClick click(*install, {page});
  EXPECT_EQ(InvokeOffset(click.menu, 0), E_FAIL);
  EXPECT_EQ(TakeErrorDescription(),
            "Cannot start \"" + install->Folder() + "/vlm\". No such file or directory");
  EXPECT_EQ(HandOff(), page + "\r\n");
}

TEST_F(ContextMenuTest, ANameWithALineBreakIsRefusedAndNothingStarts) {
  Load({"htm,HTML Document"});
  // Each name lies beside the one its first line names, which must never be
  // protected in its place.
  Folder("photos");
  Page("index.htm");
  for (const char* name : {"photos\nold", "photos\rold", "index.htm\nold.htm", "index\r.htm"}) {
    const bool isFolder = std::string(name).rfind("photos", 0) == 0;
    const std::string path = isFolder ? Folder(name) : Page(name);
    std::string shown = path;
    for (size_t at; (at = shown.find_first_of("\r\n")) != std::string::npos;) {
      shown.replace(at, 1, shown[at] == '\n' ? "\\n" : "\\r");
    }
    RightClick click(*install, {Folder("site"), path});
    ASSERT_EQ(click.queryResult, 1) << shown;
    TakeErrorDescription();
    EXPECT_EQ(InvokeOffset(click.menu, 0), static_cast<HRESULT>(0x8007007B)) << shown;
    EXPECT_EQ(TakeErrorDescription(), "Cannot hand \"" + shown +
                                          "\" to the program: its name holds a line break. "
                                          "Rename it to protect its images.");
    EXPECT_FALSE(HandOffExists()) << shown;
  }
  EXPECT_FALSE(platform::FileExists(install->Folder() + "/starts"));
}

}  // namespace
