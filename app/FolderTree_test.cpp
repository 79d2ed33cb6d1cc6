#include "app/FolderTree.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QTreeWidgetItem>
#include <filesystem>

#include "platform/Exception.h"
#include "testsupport/TempDir.h"

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

TEST(FolderRules, OnlyWhatLiesBelowARecycleBinIsHidden) {
  EXPECT_FALSE(IsBelowRecycleBin("/d/RECYCLED/"));
  EXPECT_TRUE(IsBelowRecycleBin("/d/RECYCLED/x/"));
  EXPECT_TRUE(IsBelowRecycleBin("/d/web/Recycler/a/b/"));
  EXPECT_TRUE(IsBelowRecycleBin("/media/disk/$Recycle.Bin/S-1-5/"));
  EXPECT_TRUE(IsBelowRecycleBin("/media/disk/.Trash-1000/files/"));
  EXPECT_TRUE(IsBelowRecycleBin("/media/disk/.Trash/files/"));
  EXPECT_TRUE(IsBelowRecycleBin("/home/u/.local/share/Trash/files/"));
  EXPECT_FALSE(IsBelowRecycleBin("/home/u/.local/share/Trash/"));
  EXPECT_FALSE(IsBelowRecycleBin("/home/u/share/Trash/files/"));
  EXPECT_FALSE(IsBelowRecycleBin("/d/recycledstuff/x/"));
  EXPECT_FALSE(IsBelowRecycleBin("/d/old recycled/x/"));
  EXPECT_FALSE(IsBelowRecycleBin("/"));
}

// A folder tree with every kind of entry the rules look at.
class FolderTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"web/images", ".hidden/inside", "recycled/inner", "RECYCLER/x",
                               "nested/a/b", "leaf", "withhiddenonly/.git", "Zeta"}) {
      fs::create_directories(dir_ / folder);
    }
    dir_.Write("page.htm", "p");
    dir_.Write("nested/a/b/page.htm", "p");
    fs::create_directory_symlink(dir_ / "web", dir_ / "linked");
    root_ = dir_.path() + "/";
  }

  testsupport::TempDir dir_;
  std::string root_;
};

TEST_F(FolderTreeTest, ShowsVisibleFoldersSortedAndKnowsWhichCanBeExpanded) {
  EXPECT_EQ(ShownSubfolders(root_), (Names{"leaf", "linked", "nested", "recycled", "RECYCLER",
                                           "web", "withhiddenonly", "Zeta"}));
  EXPECT_TRUE(ShownSubfolders(root_ + "recycled/").empty());
  EXPECT_TRUE(ShownSubfolders(root_ + "missing/").empty());
  EXPECT_TRUE(HasShownSubfolder(root_ + "nested/"));
  EXPECT_TRUE(HasShownSubfolder(root_ + "linked/"));
  EXPECT_FALSE(HasShownSubfolder(root_ + "leaf/"));
  EXPECT_FALSE(HasShownSubfolder(root_ + "withhiddenonly/"));
  EXPECT_FALSE(HasShownSubfolder(root_ + "RECYCLER/"));
  EXPECT_FALSE(HasShownSubfolder(root_ + "nested/a/b/"));
}

TEST_F(FolderTreeTest, TreeOpensThePathLevelByLevelAndSelectsIt) {
  TFolderTree tree;
  tree.SetRoots({{root_, "Test", TFolderRoot::Kind::FileSystem}});
  EXPECT_EQ(tree.SelectedPath(), "?");
  QTreeWidgetItem* top = tree.topLevelItem(0);
  EXPECT_EQ(top->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
  EXPECT_EQ(top->childCount(), 0);  // read when first opened

  tree.SelectPath(root_ + "nested/a/b");
  EXPECT_EQ(tree.SelectedPath(), root_ + "nested/a/b/");
  EXPECT_TRUE(top->isExpanded());
  ASSERT_EQ(top->childCount(), 8);
  QStringList captions;
  for (int i = 0; i < top->childCount(); ++i) captions << top->child(i)->text(0);
  EXPECT_EQ(captions.join(','), "leaf,linked,nested,recycled,RECYCLER,web,withhiddenonly,Zeta");
  const auto policy = [&](int row) { return top->child(row)->childIndicatorPolicy(); };
  EXPECT_EQ(policy(0), QTreeWidgetItem::DontShowIndicator);  // leaf
  EXPECT_EQ(policy(2), QTreeWidgetItem::ShowIndicator);      // nested
  EXPECT_EQ(policy(3), QTreeWidgetItem::DontShowIndicator);  // recycled: only inner below it
  EXPECT_EQ(policy(6), QTreeWidgetItem::DontShowIndicator);  // withhiddenonly
  EXPECT_FALSE(top->child(0)->icon(0).isNull());
  EXPECT_EQ(TFolderTree::PathOf(top->child(7)), root_ + "Zeta/");

  // Expanding a folder by hand reads it the same way.
  tree.expandItem(top->child(5));
  ASSERT_EQ(top->child(5)->childCount(), 1);
  EXPECT_EQ(TFolderTree::PathOf(top->child(5)->child(0)), root_ + "web/images/");

  tree.SelectPath("?");
  EXPECT_EQ(tree.SelectedPath(), root_ + "nested/a/b/");
  tree.SelectPath(root_ + "web/./images/../");
  EXPECT_EQ(tree.SelectedPath(), root_ + "web/");
  // Hidden folders exist but are not in the tree: the deepest shown level is.
  tree.SelectPath(root_ + ".hidden/inside");
  EXPECT_EQ(tree.SelectedPath(), root_);
  tree.SelectPath(root_ + "recycled/inner/");
  EXPECT_EQ(tree.SelectedPath(), root_ + "recycled/");
  try {
    tree.SelectPath("");
    FAIL() << "an empty path was selected";
  } catch (const Exception& error) {
    EXPECT_STREQ(error.what(), "Invalid Path Name");
  }
  EXPECT_EQ(tree.SelectedPath(), root_ + "recycled/");
}

TEST_F(FolderTreeTest, MissingPathOpensAtTheRootOfTheCurrentDirectory) {
  const fs::path before = fs::current_path();
  fs::current_path(dir_ / "web/images");
  TFolderTree tree;
  tree.SetRoots({{"/", "File System", TFolderRoot::Kind::FileSystem},
                 {root_ + "web/", "Web", TFolderRoot::Kind::Volume},
                 {root_, "Test", TFolderRoot::Kind::Home}});
  tree.SelectPath(root_ + "no/such/folder");
  EXPECT_EQ(tree.SelectedPath(), root_ + "web/");
  tree.SelectPath(root_ + "page.htm");  // a file is no folder
  EXPECT_EQ(tree.SelectedPath(), root_ + "web/");
  // A relative path is taken from the current directory.
  fs::current_path(dir_.path());
  tree.SelectPath("nested/a");
  EXPECT_EQ(tree.SelectedPath(), root_ + "nested/a/");
  // The deepest root that holds a path is where it opens.
  tree.SelectPath(root_ + "web/images");
  EXPECT_EQ(tree.selectedItems().first()->parent(), tree.topLevelItem(1));
  fs::current_path(before);
}

TEST_F(FolderTreeTest, DesktopRootsAreTheFileSystemThenTheHomeFolder) {
  testsupport::ScopedEnv home("HOME", dir_ / "nested");
  const std::vector<TFolderRoot> roots = DesktopFolderRoots();
  ASSERT_GE(roots.size(), 2u);
  EXPECT_EQ(roots[0].path, "/");
  EXPECT_EQ(roots[0].kind, TFolderRoot::Kind::FileSystem);
  EXPECT_EQ(roots[1].path, root_ + "nested/");
  EXPECT_EQ(roots[1].kind, TFolderRoot::Kind::Home);
  for (size_t i = 2; i < roots.size(); ++i) {
    EXPECT_EQ(roots[i].kind, TFolderRoot::Kind::Volume);
    EXPECT_TRUE(roots[i].path.starts_with("/media/") || roots[i].path.starts_with("/run/media/") ||
                roots[i].path.starts_with("/mnt/"))
        << roots[i].path;
  }
  TFolderTree tree;
  EXPECT_EQ(tree.topLevelItemCount(), static_cast<int>(roots.size()));
  EXPECT_EQ(tree.editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_FALSE(tree.acceptDrops());
  EXPECT_EQ(tree.palette().color(QPalette::Inactive, QPalette::Highlight),
            tree.palette().color(QPalette::Active, QPalette::Highlight));
}

}  // namespace
