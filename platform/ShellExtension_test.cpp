#include "platform/ShellExtension.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/DropDataObject.h"
#include "platform/PopupMenu.h"

namespace {

FORMATETC DropFormat() { return {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

TEST(DropListTest, CountsLengthsAndCopiesWithinTheBuffer) {
  const char* paths[] = {"/a/page.htm", "/b", "/c/with blank.html"};
  HDROP drop = MakeDropList(paths, 3);
  ASSERT_NE(drop, nullptr);
  EXPECT_EQ(DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0), 3u);
  EXPECT_EQ(DragQueryFileA(drop, 2, nullptr, 0), std::strlen(paths[2]));

  char buffer[32];
  EXPECT_EQ(DragQueryFileA(drop, 1, buffer, sizeof buffer), 2u);
  EXPECT_STREQ(buffer, "/b");

  // A short buffer receives a cut path and its NUL, and nothing past its end.
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(DragQueryFileA(drop, 0, buffer, 5), 4u);
  EXPECT_STREQ(buffer, "/a/p");
  EXPECT_EQ(buffer[5], '#');
  EXPECT_EQ(DragQueryFileA(drop, 0, buffer, 0), 0u);
  EXPECT_EQ(buffer[0], '/');

  EXPECT_EQ(DragQueryFileA(drop, 3, buffer, sizeof buffer), 0u);
  GlobalFree(drop);

  HDROP empty = MakeDropList(nullptr, 0);
  EXPECT_EQ(DragQueryFileA(empty, 0xFFFFFFFF, nullptr, 0), 0u);
  GlobalFree(empty);
}

TEST(DropDataObjectTest, DeliversADropListOnlyForFileSelections) {
  TDropDataObject* files = TDropDataObject::ForPaths({"/x/one.htm", "/x/two"});
  FORMATETC format = DropFormat();
  STGMEDIUM medium{};
  ASSERT_EQ(files->GetData(&format, &medium), S_OK);
  EXPECT_EQ(medium.tymed, TYMED_HGLOBAL);
  char buffer[MAX_PATH + 1];
  ASSERT_EQ(DragQueryFileA(medium.hGlobal, 0xFFFFFFFF, nullptr, 0), 2u);
  DragQueryFileA(medium.hGlobal, 1, buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "/x/two");
  ReleaseStgMedium(&medium);
  EXPECT_EQ(medium.hGlobal, nullptr);
  EXPECT_EQ(medium.tymed, TYMED_NULL);

  FORMATETC text = {1, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  EXPECT_EQ(files->GetData(&text, &medium), DV_E_FORMATETC);
  EXPECT_EQ(medium.hGlobal, nullptr);
  files->Release();

  TDropDataObject* virtualItems = TDropDataObject::WithoutFiles();
  EXPECT_EQ(virtualItems->GetData(&format, &medium), DV_E_FORMATETC);
  void* unknown = nullptr;
  ASSERT_EQ(virtualItems->QueryInterface(IID_IDataObject, &unknown), S_OK);
  EXPECT_EQ(unknown, static_cast<IDataObject*>(virtualItems));
  EXPECT_EQ(virtualItems->Release(), 1u);
  EXPECT_EQ(virtualItems->Release(), 0u);
}

// An owner that a medium releases instead of freeing its block.
struct CountingOwner : IUnknown {
  int releases = 0;
  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return ++releases, 1; }
};

TEST(DropDataObjectTest, MediumWithAnOwnerReleasesTheOwner) {
  CountingOwner owner;
  char block[4];
  STGMEDIUM medium{TYMED_HGLOBAL, block, &owner};
  ReleaseStgMedium(&medium);
  EXPECT_EQ(owner.releases, 1);
  EXPECT_EQ(medium.pUnkForRelease, nullptr);
}

TEST(PopupMenuTest, InsertsByPositionAndByCommand) {
  TPopupMenu menu;
  EXPECT_TRUE(InsertMenuA(menu.Handle(), 0, MF_BYPOSITION | MF_STRING, 10, "ten"));
  EXPECT_TRUE(InsertMenuA(menu.Handle(), 0, MF_BYPOSITION | MF_STRING, 11, "eleven"));
  EXPECT_TRUE(InsertMenuA(menu.Handle(), 99, MF_BYPOSITION | MF_STRING, 12, "twelve"));
  EXPECT_TRUE(InsertMenuA(menu.Handle(), 10, MF_BYCOMMAND | MF_SEPARATOR, 0, nullptr));
  EXPECT_FALSE(InsertMenuA(menu.Handle(), 42, MF_BYCOMMAND | MF_STRING, 13, "nowhere"));
  EXPECT_FALSE(InsertMenuA(menu.Handle(), 0, MF_BYPOSITION | MF_STRING, 14, nullptr));
  EXPECT_FALSE(InsertMenuA(nullptr, 0, MF_BYPOSITION | MF_STRING, 15, "no menu"));

  const auto& items = menu.Items();
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].text, "eleven");
  EXPECT_NE(items[1].flags & MF_SEPARATOR, 0u);
  EXPECT_EQ(items[2].id, 10u);
  EXPECT_EQ(items[3].text, "twelve");
}

}  // namespace
