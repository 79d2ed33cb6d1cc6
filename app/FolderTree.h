#pragma once

#include <QTreeWidget>
#include <string>
#include <vector>

#include "app/DesktopFolders.h"

// The rules of what the folder tree shows. Folder paths end with "/".

// True when `folder` lies below a recycle bin or a desktop trash folder
// (recycled, recycler, $recycle.bin, .Trash, .Trash-N, ~/.local/share/Trash),
// compared without regard to letter case. The bin itself is not below it:
// "/d/RECYCLED/" is shown, "/d/RECYCLED/x/" is not.
bool IsBelowRecycleBin(const std::string& folder);

// The names of the subfolders of `folder` that the tree shows: folders only
// (links to folders count), no hidden ones, nothing below a recycle bin.
// Sorted by name without regard to letter case. A folder that cannot be
// listed has none.
std::vector<std::string> ShownSubfolders(const std::string& folder);

// True when `folder` has at least one subfolder that the tree shows; the
// tree offers to expand only such folders.
bool HasShownSubfolder(const std::string& folder);

// A tree of the desktop's roots and their folders. The top level is read
// when the tree is made; each folder's subfolders are read when it is first
// expanded. Names cannot be edited, nothing can be dropped on it, and the
// selection stays visible when the tree loses the focus.
class TFolderTree : public QTreeWidget {
  Q_OBJECT

 public:
  // Reads DesktopFolderRoots() as the top level.
  explicit TFolderTree(QWidget* parent = nullptr);

  // Replaces the top level by `roots`; nothing is selected afterwards.
  void SetRoots(const std::vector<TFolderRoot>& roots);

  // Selects the folder at `path`: opens it level by level from the root that
  // holds it (names compared exactly first, then without regard to letter
  // case) and selects the deepest level found, scrolled into view. "?" keeps
  // the selection as it is. A path that names no folder is replaced by the
  // root that holds the process's current directory. Raises Exception
  // "Invalid Path Name" for an empty path.
  void SelectPath(const std::string& path);

  // The full path of the selected folder, ending with "/", or "?" when no
  // folder is selected.
  std::string SelectedPath() const;

  // The full path of a folder of the tree, ending with "/".
  static std::string PathOf(const QTreeWidgetItem* item);

  // Reads the subfolders of `item` unless they have been read already.
  void ReadChildren(QTreeWidgetItem* item);

 private:
  QTreeWidgetItem* MakeItem(const std::string& path, const QString& caption, const QIcon& icon);
  // The top-level item with the longest path that `path` starts with.
  QTreeWidgetItem* RootHolding(const std::string& path) const;
};
