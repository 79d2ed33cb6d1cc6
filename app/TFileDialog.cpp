#include "app/TFileDialog.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QTreeView>
#include <QMessageBox>

#include "app/FileFilter.h"
#include "app/FileName.h"
#include "platform/File.h"

TFileDialog::TFileDialog(QWidget* parent, const QString& objectName, const QString& title)
    : QFileDialog(parent, title) {
  setObjectName(objectName);
  setOption(QFileDialog::DontUseNativeDialog);
  setOption(QFileDialog::HideNameFilterDetails);
  setSizeGripEnabled(true);
  resize(760, 460);  // room for the columns of the detail view
}

void TFileDialog::showEvent(QShowEvent* event) {
  QFileDialog::showEvent(event);
  // Size, type and date show in full; the name takes the room that is left.
  // Set at each showing: the toolkit restores the columns it saved.
  if (auto* view = findChild<QTreeView*>(QStringLiteral("treeView"))) {
    QHeaderView* header = view->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
  }
}

void TFileDialog::SetFilter(const std::string& filter, int entry) {
  const QStringList filters = NameFilters(filter);
  setNameFilters(filters);
  if (entry >= 1 && entry <= filters.size()) selectNameFilter(filters[entry - 1]);
}

bool TFileDialog::Execute() { return exec() == QDialog::Accepted; }

std::vector<std::string> TFileDialog::Files() const {
  std::vector<std::string> files;
  for (const QString& file : selectedFiles()) files.push_back(EncodeName(file));
  return files;
}

bool TFileDialog::Refused(const QString& file) {
  const QFileInfo info(file);
  const QString name = QDir::toNativeSeparators(info.absoluteFilePath());
  if (acceptMode() == QFileDialog::AcceptSave && !QFileInfo(info.absolutePath()).isDir()) {
    QMessageBox::warning(this, windowTitle(),
                         name + QStringLiteral("\nPath does not exist.\nCheck the path and try "
                                               "again."));
    return true;
  }
  if (RefuseReadOnly && info.exists() && platform::IsReadOnlyFile(EncodeName(file))) {
    // Pages to protect are rewritten in place; a list is replaced.
    const QString message = acceptMode() == QFileDialog::AcceptOpen
                                ? QStringLiteral("\nThis file is read-only, so it cannot be "
                                                 "changed.\nMake it writable, or choose "
                                                 "another file.")
                                : QStringLiteral("\nThis file is read-only, so it cannot be "
                                                 "replaced.\nMake it writable, or choose "
                                                 "another name.");
    QMessageBox::warning(this, windowTitle(), name + message);
    return true;
  }
  if (PromptCreate && !info.exists()) {
    return QMessageBox::question(
               this, windowTitle(),
               name + QStringLiteral("\nThis file does not exist.\nDo you want to create it?")) !=
           QMessageBox::Yes;
  }
  return false;
}

void TFileDialog::accept() {
  const QStringList files = selectedFiles();
  for (const QString& file : files) {
    // A folder is opened by the dialog itself, a missing file to open is
    // reported by it.
    if (QFileInfo(file).isDir()) break;
    if (Refused(file)) return;
  }
  QFileDialog::accept();
}
