#include "app/TMainForm.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QMessageBox>
#include <QShowEvent>
#include <QTimer>

#include "app/CommandLine.h"
#include "app/ErrorHandler.h"
#include "app/FileName.h"
#include "storage/FolderScan.h"
#include "app/ListColumns.h"
#include "app/TAddDirForm.h"
#include "app/TDirForm.h"
#include "app/TOptForm.h"
#include "app/TProcForm.h"
#include "platform/File.h"
#include "platform/Shell.h"
#include "storage/GlobalLib.h"
#include "storage/vlmOption.h"
#include "ui_TMainForm.h"

namespace {

constexpr int kClientWidth = 523;
constexpr int kClientHeight = 381;
constexpr int kColumnWidths[] = {130, 210, 70, 70};
enum Column { kFileName, kPath, kSize, kFinalSize };
constexpr char kHelpTopic[] = "main.htm";

QString ListedKey(const std::string& path) { return DecodeName(path).toCaseFolded(); }

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
    const std::string file = GetProgramDir() + "/vlm.ini";
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

void TMainForm::FormActivate() { ProcessCommandLine(); }

void TMainForm::ProcessCommandLine() {
  if (arguments_.empty()) return;
  AddPaths(CommandLinePaths(arguments_));
  btnStartClick();
}

bool TMainForm::IsListed(const std::string& path) const {
  return !FilePaths_.empty() && listedKeys_.contains(ListedKey(path));
}

void TMainForm::AddFiles(const std::vector<std::string>& paths, TDirForm& progress) {
  QTreeWidget* list = ui_->lvFiles;
  list->setUpdatesEnabled(false);
  bool failed = false;
  try {
    for (const std::string& path : paths) {
      progress.ShowFile(path);
      if (IsRegularFile(path) && !IsListed(path)) {
        const int32_t size = FileSizeOf(path);
        auto row = std::make_unique<QTreeWidgetItem>();
        row->setText(kFileName, DecodeName(FileNameOf(path)));
        row->setToolTip(kFileName, DecodeName(path));
        row->setIcon(kFileName, SmallFileIcon(path));
        row->setText(kPath, DecodeName(FolderOf(path)));
        row->setText(kSize, FormatSize(size));
        row->setTextAlignment(kSize, Qt::AlignRight | Qt::AlignVCenter);
        row->setTextAlignment(kFinalSize, Qt::AlignRight | Qt::AlignVCenter);
        FilePaths_.push_back(path);
        listedKeys_.insert(ListedKey(path));
        list->addTopLevelItem(row.release());
      }
      QCoreApplication::processEvents();
      progress.StepProgress();
      if (progress.Stopped()) break;
    }
  } catch (...) {
    failed = true;
  }
  list->setUpdatesEnabled(true);
  if (failed) ShowError(201, "Error adding files");
}

void TMainForm::AddPaths(const std::vector<std::string>& paths) {
  std::vector<std::string> remaining;
  for (const std::string& path : paths) {
    if (platform::DirectoryExists(path)) {
      ReadDirectory(*this, path.ends_with('/') ? path : path + "/");
    } else {
      remaining.push_back(path);
    }
    QCoreApplication::processEvents();
  }
  if (!remaining.empty()) AddFileList(*this, remaining);
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
  if (FilePaths_.empty()) return;
  TProcForm form(*this, FilePaths_, this);
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

void TMainForm::btnAddClick() { NotAvailableYet(QStringLiteral("Adding files through a dialog")); }

void TMainForm::btnAddDirClick() {
  TAddDirForm chooser(this, this);
  chooser.AddMode = true;
  chooser.exec();
}

void TMainForm::btnOptionClick() { ShowOptionsDialog(this); }

void TMainForm::btnAboutClick() { NotAvailableYet(QStringLiteral("The about box")); }

void TMainForm::NotAvailableYet(const QString& what) {
  QMessageBox::information(this, QString::fromLatin1(kApplicationTitle),
                           what + QStringLiteral(" is not available in this version yet."));
}
