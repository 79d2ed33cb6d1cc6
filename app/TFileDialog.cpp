#include "app/TFileDialog.h"

#include <QFileInfo>
#include <QMessageBox>

#include "app/FileFilter.h"
#include "app/FileName.h"

bool IsReadOnlyFile(const QString& path) {
  const QFileInfo info(path);
  // The permission bits themselves; WriteUser tells only what this process
  // may do, which for the administrator is everything.
  constexpr QFile::Permissions kWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
  return !(info.permissions() & kWrite) || !info.isWritable();
}

TFileDialog::TFileDialog(QWidget* parent, const QString& objectName, const QString& title)
    : QFileDialog(parent, title) {
  setObjectName(objectName);
  setOption(QFileDialog::DontUseNativeDialog);
  setOption(QFileDialog::HideNameFilterDetails);
  setSizeGripEnabled(true);
  resize(760, 460);  // room for the columns of the detail view
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
  if (RefuseReadOnly && info.exists() && IsReadOnlyFile(file)) {
    QMessageBox::warning(this, windowTitle(),
                         name + QStringLiteral("\nThis file is set to read-only.\nTry again "
                                               "with a different file name."));
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
