#include "app/TMainForm.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QShowEvent>
#include <QTimer>

#include "app/CommandLine.h"
#include "app/ErrorHandler.h"
#include "app/FileFilter.h"
#include "app/FileName.h"
#include "app/ListColumns.h"
#include "app/ListFile.h"
#include "app/RestoreLastRun.h"
#include "app/TAboutForm.h"
#include "app/TAddDirForm.h"
#include "app/TDirForm.h"
#include "app/TFileDialog.h"
#include "app/TOptForm.h"
#include "app/TProcForm.h"
#include "platform/File.h"
#include "platform/Path.h"
#include "platform/Shell.h"
#include "storage/FolderScan.h"
#include "storage/GlobalLib.h"
#include "storage/ProgramFolders.h"
#include "storage/vlmOption.h"
#include "ui_TMainForm.h"

namespace {

constexpr int kClientWidth = 523;
constexpr int kClientHeight = 381;
constexpr int kColumnWidths[] = {130, 210, 70, 70};
enum Column { kFileName, kPath, kSize, kFinalSize };
constexpr char kHelpTopic[] = "main.htm";

QString ListedKey(const std::string& path) { return QString::fromStdString(PageKey(path)); }

// The desktop's small icon for the file; the toolkit's own file icon where
// the desktop has no icon theme.
QIcon SmallFileIcon(const std::string& path) {
  static QFileIconProvider provider;
  return provider.icon(QFileInfo(DecodeName(path)));
}

}  // namespace

TMainForm::TMainForm(std::vector<std::string> arguments, QWidget* parent)
    : TModelForm(parent, /*mainWindow=*/true),
      ui_(std::make_unique<Ui::TMainForm>()),
      arguments_(std::move(arguments)) {
  setObjectName(QStringLiteral("TMainForm"));
  ui_->setupUi(ClientArea());
  SetTitle(QStringLiteral("Velmora 1.0"));
  setWindowTitle(QString::fromLatin1(kApplicationTitle));
  ShowFrameButtons(true, true, true);
  SetClientSize(kClientWidth, kClientHeight);

  QTreeWidget* list = ui_->lvFiles;
  QPalette palette = list->palette();
  palette.setColor(QPalette::Base, QColor(240, 240, 240));
  list->setPalette(palette);
  list->header()->setStretchLastSection(false);
  list->header()->setSectionsMovable(false);
  for (int column = 0; column < 4; ++column) {
    list->header()->resizeSection(column, kColumnWidths[column]);
  }
  list->headerItem()->setTextAlignment(kSize, Qt::AlignRight | Qt::AlignVCenter);
  list->headerItem()->setTextAlignment(kFinalSize, Qt::AlignRight | Qt::AlignVCenter);

  const std::pair<QToolButton*, void (TMainForm::*)()> buttons[] = {
      {ui_->btnAdd, &TMainForm::btnAddClick},     {ui_->btnAddDir, &TMainForm::btnAddDirClick},
      {ui_->btnDel, &TMainForm::btnDelClick},     {ui_->btnDelAll, &TMainForm::btnDelAllClick},
      {ui_->btnStart, &TMainForm::btnStartClick}, {ui_->btnOption, &TMainForm::btnOptionClick},
      {ui_->btnPre, &TMainForm::btnPreClick},     {ui_->btnHelp, &TMainForm::imgHelpClick},
      {ui_->btnAbout, &TMainForm::btnAboutClick},
  };
  for (const auto& [button, handler] : buttons) {
    connect(button, &QToolButton::clicked, this,
            [this, handler = handler] { Guarded([&] { (this->*handler)(); }); });
  }
  MakeFilesMenu();
  // The list's shortcuts work from the start.
  list->setFocus();
  setAcceptDrops(true);
  FormCreate();
}

TMainForm::~TMainForm() {
  Guarded([this] { FormDestroy(); });
}

QTreeWidget* TMainForm::FileList() const { return ui_->lvFiles; }

void TMainForm::FormCreate() {
  try {
    LoadOptions();
  } catch (const Exception& error) {
    // The message names the file; the options file's own errors do not.
    const std::string message = error.what();
    const std::string file = GetOptionsFile();
    if (message.find(file) != std::string::npos) throw;
    throw Exception("Error in the options file \"" + file + "\": " + message);
  }
}

void TMainForm::FormDestroy() { SaveOptions(); }

void TMainForm::showEvent(QShowEvent* event) {
  TModelForm::showEvent(event);
  if (activated_) return;
  activated_ = true;
  QTimer::singleShot(0, this, [this] { Guarded([this] { FormActivate(); }); });
}

void TMainForm::FormActivate() {
  if (!ending_) ProcessCommandLine();
}

void TMainForm::ProcessCommandLine() {
  if (arguments_.empty()) return;
  AddPaths(CommandLinePaths(arguments_));
  btnStartClick();
}

void TMainForm::EndProgram() {
  ending_ = true;
  EndModalWindows(this, [this] {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (window != this && window->isVisible()) window->close();
    }
    if (isVisible()) close();
  });
}

bool TMainForm::IsListed(const std::string& path) const {
  return !FilePaths_.empty() && listedKeys_.contains(ListedKey(path));
}

void TMainForm::AddFiles(const std::vector<std::string>& paths, TDirForm& progress) {
  QTreeWidget* list = ui_->lvFiles;
  list->setUpdatesEnabled(false);
  std::string failure;
  for (const std::string& path : paths) {
    progress.ShowFile(path);
    try {
      if (IsRegularFile(path) && !IsListed(path)) {
        const int32_t size = FileSizeOf(path);
        auto row = std::make_unique<QTreeWidgetItem>();
        row->setText(kFileName, DecodeName(platform::FileNameOf(path)));
        row->setIcon(kFileName, SmallFileIcon(path));
        row->setText(kPath, DecodeName(platform::FolderNameOf(path)));
        row->setText(kSize, FormatSize(size));
        // Names and folders too long for their cells can be read in full.
        for (int column = kFileName; column <= kFinalSize; ++column) {
          row->setToolTip(column, DecodeName(path));
        }
        row->setTextAlignment(kSize, Qt::AlignRight | Qt::AlignVCenter);
        row->setTextAlignment(kFinalSize, Qt::AlignRight | Qt::AlignVCenter);
        FilePaths_.push_back(path);
        listedKeys_.insert(ListedKey(path));
        list->addTopLevelItem(row.release());
      }
    } catch (const std::exception& error) {
      // The file handler's message names the file.
      failure = error.what();
      break;
    } catch (...) {
      failure = path;
      break;
    }
    QCoreApplication::processEvents();
    progress.StepProgress();
    if (progress.Stopped()) break;
  }
  list->setUpdatesEnabled(true);
  if (!failure.empty()) ShowError(201, "Error adding files: " + failure);
}

void TMainForm::AddPaths(const std::vector<std::string>& paths) {
  std::vector<std::string> remaining;
  for (const std::string& path : paths) {
    if (ending_) return;
    if (platform::DirectoryExists(path)) {
      ReadDirectory(*this, path.ends_with('/') ? path : path + "/");
    } else {
      remaining.push_back(path);
    }
    QCoreApplication::processEvents();
  }
  if (!remaining.empty() && !ending_) AddFileList(*this, remaining);
  raise();
  activateWindow();
}

void TMainForm::SetFinalSize(int32_t row, int32_t size) {
  if (QTreeWidgetItem* item = ui_->lvFiles->topLevelItem(row)) {
    item->setText(kFinalSize, FormatSize(size));
  }
}

void TMainForm::RemoveRow(int row) {
  listedKeys_.remove(ListedKey(FilePaths_[row]));
  FilePaths_.erase(FilePaths_.begin() + row);
  delete ui_->lvFiles->takeTopLevelItem(row);
}

void TMainForm::btnDelClick() {
  QTreeWidget* list = ui_->lvFiles;
  auto selected = list->selectedItems().size();
  if (selected == 0) return;
  list->setUpdatesEnabled(false);
  for (int row = list->topLevelItemCount() - 1; row >= 0 && selected > 0; --row) {
    if (!list->topLevelItem(row)->isSelected()) continue;
    RemoveRow(row);
    --selected;
  }
  list->setUpdatesEnabled(true);
}

void TMainForm::btnDelAllClick() {
  FilePaths_.clear();
  listedKeys_.clear();
  ui_->lvFiles->clear();
}

void TMainForm::btnStartClick() {
  if (FilePaths_.empty() || ending_) return;
  TProcForm form(
      FilePaths_, [this](int32_t row, int32_t size) { SetFinalSize(row, size); }, this);
  form.exec();
}

void TMainForm::btnPreClick() {
  QTreeWidget* list = ui_->lvFiles;
  const auto selected = list->selectedItems().size();
  qsizetype opened = 0;
  for (int row = 0; row < list->topLevelItemCount() && opened < selected; ++row) {
    if (!list->topLevelItem(row)->isSelected()) continue;
    platform::CurrentShell().OpenPage(FilePaths_[row]);
    ++opened;
  }
}

void TMainForm::imgHelpClick() { platform::CurrentShell().OpenHelpTopic(kHelpTopic); }

void TMainForm::btnAddClick() {
  const std::unique_ptr<TFileDialog> dialog = AddFilesDialog();
  switch (Options.InitialDirMode) {
    case 0:
      dialog->setDirectory(DecodeName(Options.CustomDir));
      break;
    case 1:
      dialog->setDirectory(QDir::currentPath());
      break;
    case 2:
      dialog->setDirectory(DecodeName(Options.LastDir));
      break;
    default:
      break;  // where the last file dialog was left
  }
  dialog->SetFilter(BuildFileFilter(), static_cast<int>(Options.FileTypes.size()) + 1);
  if (!dialog->Execute()) return;
  AddFileList(*this, dialog->Files());
}

void TMainForm::btnAddDirClick() {
  TAddDirForm chooser([this](const std::string& folder) { ReadDirectory(*this, folder); }, this);
  chooser.AddMode = true;
  chooser.exec();
}

void TMainForm::btnOptionClick() { ShowOptionsDialog(this); }

void TMainForm::btnAboutClick() { ShowAboutBox(this); }

void TMainForm::mnuLLClick() {
  const std::unique_ptr<TFileDialog> dialog = OpenListDialog();
  if (!dialog->Execute()) return;
  btnDelAllClick();
  AddFileList(*this, ReadListFile(dialog->Files().front()));
}

void TMainForm::mnuSLClick() {
  const std::unique_ptr<TFileDialog> dialog = SaveListDialog();
  if (!dialog->Execute()) return;
  WriteListFile(dialog->Files().front(), FilePaths_);
}

void TMainForm::mnuRestoreClick() { RestoreLastRun(this); }

void TMainForm::mnuRfClick() { ui_->lvFiles->viewport()->update(); }

void TMainForm::MakeFilesMenu() {
  QTreeWidget* list = ui_->lvFiles;
  mnuFiles_ = new QMenu(list);
  mnuFiles_->setObjectName(QStringLiteral("mnuFiles"));
  struct Item {
    const char* name;
    const char* caption;
    QKeySequence shortcut;
    void (TMainForm::*handler)();
  };
  const Item items[] = {
      {"mnuAdd", "&Add Files", QKeySequence(Qt::Key_Insert), &TMainForm::btnAddClick},
      {"mnuAddDir", "Add a Dir&ectory", QKeySequence(Qt::SHIFT | Qt::Key_Insert),
       &TMainForm::btnAddDirClick},
      {"mnuDel", "&Delete Files", QKeySequence(Qt::Key_Delete), &TMainForm::btnDelClick},
      {"mnuDelAll", "Delete &All", QKeySequence(Qt::SHIFT | Qt::Key_Delete),
       &TMainForm::btnDelAllClick},
      {nullptr, nullptr, {}, nullptr},
      {"mnuLL", "&Load from List", QKeySequence(Qt::CTRL | Qt::Key_L), &TMainForm::mnuLLClick},
      {"mnuSL", "&Save to List", QKeySequence(Qt::CTRL | Qt::Key_S), &TMainForm::mnuSLClick},
      {nullptr, nullptr, {}, nullptr},
      {"mnuRestore", "Restore Last R&un", QKeySequence(), &TMainForm::mnuRestoreClick},
      {nullptr, nullptr, {}, nullptr},
      {"mnuRf", "&Refresh", QKeySequence(Qt::Key_F5), &TMainForm::mnuRfClick},
  };
  for (const Item& item : items) {
    if (!item.name) {
      mnuFiles_->addSeparator();
      continue;
    }
    QAction* action = mnuFiles_->addAction(QString::fromLatin1(item.caption));
    action->setObjectName(QString::fromLatin1(item.name));
    action->setShortcut(item.shortcut);
    action->setShortcutContext(Qt::WidgetShortcut);
    list->addAction(action);  // so that the shortcut works while the list has the focus
    connect(action, &QAction::triggered, this,
            [this, handler = item.handler] { Guarded([&] { (this->*handler)(); }); });
  }
  list->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list, &QWidget::customContextMenuRequested, this,
          [this, list](const QPoint& at) { mnuFiles_->popup(list->viewport()->mapToGlobal(at)); });
}

std::unique_ptr<TFileDialog> TMainForm::AddFilesDialog() {
  auto dialog = std::make_unique<TFileDialog>(this, QStringLiteral("dlgAddFiles"),
                                              QStringLiteral("Add Files"));
  dialog->setFileMode(QFileDialog::ExistingFiles);
  // Pages are rewritten in place, so a read-only page cannot be protected.
  dialog->RefuseReadOnly = true;
  return dialog;
}

std::unique_ptr<TFileDialog> TMainForm::OpenListDialog() {
  auto dialog = std::make_unique<TFileDialog>(this, QStringLiteral("dlgOpenList"),
                                              QStringLiteral("Load from List"));
  dialog->setFileMode(QFileDialog::ExistingFile);
  dialog->setDefaultSuffix(QStringLiteral("lst"));
  dialog->SetFilter(kListFileFilter);
  return dialog;
}

std::unique_ptr<TFileDialog> TMainForm::SaveListDialog() {
  auto dialog = std::make_unique<TFileDialog>(this, QStringLiteral("dlgSaveList"),
                                              QStringLiteral("Save to List"));
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->setDefaultSuffix(QStringLiteral("lst"));
  dialog->SetFilter(kListFileFilter);
  dialog->RefuseReadOnly = true;
  dialog->PromptCreate = true;
  return dialog;
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (!event->mimeData()->hasUrls()) return;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) {
      event->acceptProposedAction();
      return;
    }
  }
}

void TMainForm::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths.push_back(EncodeName(url.toLocalFile()));
  }
  if (paths.empty()) return;
  event->acceptProposedAction();
  // The source of the drag waits until the drop is handled; the adding, with
  // its modal reading windows, runs after that.
  QTimer::singleShot(0, this, [this, paths] { Guarded([&] { AddPaths(paths); }); });
}

namespace {

void ShowReadingWindow(TMainForm& mainForm, bool dirMode, const std::string& directory,
                       const std::vector<std::string>& files) {
  TDirForm form([&mainForm](const std::vector<std::string>& paths,
                            TDirForm& progress) { mainForm.AddFiles(paths, progress); },
                dirMode, directory, files, &mainForm);
  form.exec();
}

}  // namespace

void ReadDirectory(TMainForm& mainForm, const std::string& directory) {
  ShowReadingWindow(mainForm, true, directory, {});
}

void AddFileList(TMainForm& mainForm, const std::vector<std::string>& files) {
  ShowReadingWindow(mainForm, false, {}, files);
}
