#include "app/TAddDirForm.h"

#include <QKeyEvent>
#include <QLabel>
#include <filesystem>
#include <system_error>

#include "app/ErrorHandler.h"
#include "app/FileName.h"
#include "app/FolderTree.h"
#include "platform/File.h"
#include "platform/Shell.h"
#include "storage/vlmOption.h"
#include "ui_TAddDirForm.h"

namespace {

constexpr int kClientWidth = 303;
constexpr int kClientHeight = 327;
constexpr char kHelpTopic[] = "index.htm#adddir";
// The space between the tree and what stands below it.
constexpr int kMargin = 10;

std::string CurrentDirectory() {
  std::error_code error;
  const std::filesystem::path current = std::filesystem::current_path(error);
  return error ? std::string() : current.string();
}

// The folder where the chooser opens in add mode.
std::string InitialDirFromOptions() {
  switch (Options.InitialDirMode) {
    case 0:
      return Options.CustomDir;
    case 1:
      return CurrentDirectory();
    case 2:
      return Options.LastDir;
    default:
      return {};
  }
}

}  // namespace

TAddDirForm::TAddDirForm(TReadFolder readFolder, QWidget* parent)
    : TModelForm(parent),
      ui_(std::make_unique<Ui::TAddDirForm>()),
      readFolder_(std::move(readFolder)) {
  setObjectName(QStringLiteral("TAddDirForm"));
  ui_->setupUi(ClientArea());
  ShowFrameButtons(true, false, true);
  TitleLabel()->setAlignment(Qt::AlignCenter);
  SetClientSize(kClientWidth, kClientHeight);
  ui_->dtDir->installEventFilter(this);
  connect(ui_->btnOK, &QPushButton::clicked, this, [this] { Guarded([this] { btnOKClick(); }); });
  connect(ui_->btnCancel, &QPushButton::clicked, this, [this] { imgExitClick(); });
}

TAddDirForm::~TAddDirForm() = default;

TFolderTree* TAddDirForm::Tree() const { return ui_->dtDir; }

void TAddDirForm::showEvent(QShowEvent* event) {
  TModelForm::showEvent(event);
  if (!event->spontaneous()) Guarded([this] { FormShow(); });
}

void TAddDirForm::FormShow() {
  // Without the box the tree reaches down to the buttons, as far as its
  // margin above the box in add mode.
  const int treeBottom = AddMode ? ui_->chkSubdir->y() - kMargin : ui_->btnOK->y() - kMargin;
  ui_->pnlDir->resize(ui_->pnlDir->width(), treeBottom - ui_->pnlDir->y());
  ui_->dtDir->resize(ui_->dtDir->width(), ui_->pnlDir->height() - 2 * ui_->dtDir->y());
  if (AddMode) {
    SetTitle(QStringLiteral("Add a Directory"));
    ui_->chkSubdir->show();
    ui_->chkSubdir->setChecked(Options.IncludeSubdir != 0);
    InitialDir = InitialDirFromOptions();
  } else {
    SetTitle(QStringLiteral("Select Initial Directory"));
    ui_->chkSubdir->hide();
  }
  ui_->dtDir->setFocus();
  ui_->dtDir->SelectPath(InitialDir);
}

void TAddDirForm::btnOKClick() {
  const std::string path = ui_->dtDir->SelectedPath();
  const bool selected = path != "?";
  if (AddMode) {
    if (selected && readFolder_ && platform::DirectoryExists(path)) {
      Options.IncludeSubdir = ui_->chkSubdir->isChecked() ? 1 : 0;
      Options.LastDir = path;
      hide();
      readFolder_(path);
    }
  } else {
    chosen_ = true;
    chosenDir_ = !selected ? std::string() : path == "/" ? path : path.substr(0, path.size() - 1);
  }
  imgExitClick();
}

void TAddDirForm::imgHelpClick() { platform::CurrentShell().OpenHelpTopic(kHelpTopic); }

bool TAddDirForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_->dtDir && event->type() == QEvent::KeyPress) {
    switch (static_cast<QKeyEvent*>(event)->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        Guarded([this] { btnOKClick(); });
        return true;
      case Qt::Key_Escape:
        imgExitClick();
        return true;
      default:
        break;
    }
  }
  return TModelForm::eventFilter(watched, event);
}

bool ChooseInitialDirectory(QWidget* parent, QString& folder) {
  TAddDirForm chooser(nullptr, parent);
  chooser.AddMode = false;
  chooser.InitialDir = EncodeName(folder);
  chooser.exec();
  if (!chooser.Chosen()) return false;
  folder = DecodeName(chooser.ChosenDir());
  return true;
}
