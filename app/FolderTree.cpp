#include "app/FolderTree.h"

#include <QFileIconProvider>
#include <QHeaderView>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/FileName.h"
#include "platform/Exception.h"
#include "platform/File.h"

namespace fs = std::filesystem;

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kReadRole = Qt::UserRole + 1;

std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::vector<std::string> Segments(const std::string& path) {
  std::vector<std::string> segments;
  size_t start = 0;
  while (start < path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    if (slash > start) segments.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  return segments;
}

bool IsBinName(const std::string& lower) {
  return lower == "recycled" || lower == "recycler" || lower == "$recycle.bin" ||
         lower == ".trash" || lower.starts_with(".trash-");
}

// Calls `visit` with the name of every subfolder the tree shows, in the file
// system's order, until it returns false.
template <typename Visit>
void ForEachShownSubfolder(const std::string& folder, Visit visit) {
  std::error_code error;
  fs::directory_iterator it(fs::path(folder), fs::directory_options::skip_permission_denied, error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    std::error_code ignored;
    if (!it->is_directory(ignored)) continue;
    const std::string name = it->path().filename().string();
    if (IsHiddenFolderName(name) || IsBelowRecycleBin(folder + name + "/")) continue;
    if (!visit(name)) return;
  }
}

QFileIconProvider& Icons() {
  static QFileIconProvider provider;
  return provider;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return DecodeName(text).startsWith(DecodeName(prefix), Qt::CaseInsensitive);
}

std::string CurrentDirectory() {
  std::error_code error;
  const fs::path current = fs::current_path(error);
  return error ? std::string("/") : current.string();
}

// `path` as an absolute folder path without "." or ".." levels, ending "/".
std::string NormalFolderPath(const std::string& path) {
  fs::path full(path);
  if (full.is_relative()) full = fs::path(CurrentDirectory()) / full;
  std::string normal = full.lexically_normal().string();
  if (!normal.ends_with('/')) normal += '/';
  return normal;
}

}  // namespace

bool IsBelowRecycleBin(const std::string& folder) {
  const std::vector<std::string> levels = Segments(AsciiLower(folder));
  // The last level is the folder itself: a bin is shown, only what lies
  // below one is not.
  for (size_t i = 0; i + 1 < levels.size(); ++i) {
    if (IsBinName(levels[i])) return true;
    if (levels[i] == "trash" && i >= 2 && levels[i - 1] == "share" && levels[i - 2] == ".local") {
      return true;
    }
  }
  return false;
}

std::vector<std::string> ShownSubfolders(const std::string& folder) {
  std::vector<std::string> names;
  ForEachShownSubfolder(folder, [&](const std::string& name) {
    names.push_back(name);
    return true;
  });
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const int order = DecodeName(a).compare(DecodeName(b), Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a < b;
  });
  return names;
}

bool HasShownSubfolder(const std::string& folder) {
  bool found = false;
  ForEachShownSubfolder(folder, [&](const std::string&) {
    found = true;
    return false;
  });
  return found;
}

TFolderTree::TFolderTree(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setAcceptDrops(false);
  setDragDropMode(QAbstractItemView::NoDragDrop);
  setIconSize(QSize(16, 16));
  setUniformRowHeights(true);
  header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  header()->setStretchLastSection(false);
  // The selection keeps its colours when the focus goes elsewhere.
  QPalette colours = palette();
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
    colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
  }
  setPalette(colours);
  connect(this, &QTreeWidget::itemExpanded, this, &TFolderTree::ReadChildren);
  SetRoots(DesktopFolderRoots());
}

void TFolderTree::SetRoots(const std::vector<TFolderRoot>& roots) {
  clear();
  for (const TFolderRoot& root : roots) {
    QIcon icon = Icons().icon(QFileIconProvider::Drive);
    if (root.kind == TFolderRoot::Kind::Home) {
      icon = QIcon::fromTheme(QStringLiteral("user-home"),
                              Icons().icon(QFileInfo(DecodeName(root.path))));
    }
    QTreeWidgetItem* item = MakeItem(root.path, DecodeName(root.caption), icon);
    item->setToolTip(0, DecodeName(root.path));
    addTopLevelItem(item);
  }
}

QTreeWidgetItem* TFolderTree::MakeItem(const std::string& path, const QString& caption,
                                       const QIcon& icon) {
  auto* item = new QTreeWidgetItem(QStringList{caption});
  item->setData(0, kPathRole, QByteArray::fromStdString(path));
  item->setIcon(0, icon);
  item->setChildIndicatorPolicy(HasShownSubfolder(path) ? QTreeWidgetItem::ShowIndicator
                                                        : QTreeWidgetItem::DontShowIndicator);
  return item;
}

std::string TFolderTree::PathOf(const QTreeWidgetItem* item) {
  return item->data(0, kPathRole).toByteArray().toStdString();
}

void TFolderTree::ReadChildren(QTreeWidgetItem* item) {
  if (item->data(0, kReadRole).toBool()) return;
  item->setData(0, kReadRole, true);
  const std::string folder = PathOf(item);
  for (const std::string& name : ShownSubfolders(folder)) {
    const std::string path = folder + name + "/";
    item->addChild(MakeItem(path, DecodeName(name), Icons().icon(QFileInfo(DecodeName(path)))));
  }
  if (item->childCount() == 0) item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
}

QTreeWidgetItem* TFolderTree::RootHolding(const std::string& path) const {
  QTreeWidgetItem* holder = nullptr;
  size_t length = 0;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    QTreeWidgetItem* root = topLevelItem(i);
    const std::string rootPath = PathOf(root);
    if (StartsWithNoCase(path, rootPath) && (!holder || rootPath.size() > length)) {
      holder = root;
      length = rootPath.size();
    }
  }
  return holder;
}

void TFolderTree::SelectPath(const std::string& path) {
  if (path.empty()) throw Exception("Invalid Path Name");
  if (path == "?") return;
  std::string target;
  if (platform::DirectoryExists(path)) {
    target = NormalFolderPath(path);
  } else {
    const QTreeWidgetItem* root = RootHolding(NormalFolderPath(CurrentDirectory()));
    target = root ? PathOf(root) : "/";
  }
  QTreeWidgetItem* item = RootHolding(target);
  if (!item) return;
  for (const std::string& level : Segments(target.substr(PathOf(item).size()))) {
    ReadChildren(item);
    QTreeWidgetItem* found = nullptr;
    for (Qt::CaseSensitivity sensitivity : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
      for (int i = 0; i < item->childCount() && !found; ++i) {
        if (item->child(i)->text(0).compare(DecodeName(level), sensitivity) == 0) {
          found = item->child(i);
        }
      }
      if (found) break;
    }
    if (!found) break;
    item->setExpanded(true);
    item = found;
  }
  setCurrentItem(item);
  item->setSelected(true);
  scrollToItem(item);
}

std::string TFolderTree::SelectedPath() const {
  const QList<QTreeWidgetItem*> selected = selectedItems();
  return selected.isEmpty() ? std::string("?") : PathOf(selected.first());
}
