#include "app/TDirForm.h"

#include <QCoreApplication>
#include <QScreen>
#include <QShowEvent>

#include "app/ErrorHandler.h"
#include "app/FileName.h"
#include "storage/FolderScan.h"
#include "storage/vlmOption.h"
#include "ui_TDirForm.h"

namespace {

constexpr int kClientWidth = 408;
constexpr int kClientHeight = 149;

}  // namespace

TDirForm::TDirForm(TAddPages addPages, bool dirMode, std::string directory,
                   std::vector<std::string> found, QWidget* parent)
    : TModelForm(parent),
      ui_(std::make_unique<Ui::TDirForm>()),
      addPages_(std::move(addPages)),
      tmClose_(new QTimer(this)),
      DirMode_(dirMode),
      Directory_(std::move(directory)),
      Found_(std::move(found)) {
  setObjectName(QStringLiteral("TDirForm"));
  ui_->setupUi(ClientArea());
  ShowFrameButtons(false, false, false);
  TitleLabel()->setAlignment(Qt::AlignCenter);
  SetClientSize(kClientWidth, kClientHeight);
  ui_->aniFind->hide();
  ui_->prbDir->hide();
  tmClose_->setObjectName(QStringLiteral("tmClose"));
  tmClose_->setInterval(1);
  connect(tmClose_, &QTimer::timeout, this, [this] { Guarded([this] { tmCloseTimer(); }); });
  connect(ui_->btnCancel, &QPushButton::clicked, this,
          [this] { Guarded([this] { btnCancelClick(); }); });
}

TDirForm::~TDirForm() = default;

void TDirForm::ShowFile(const std::string& path) { ui_->lblFile->setText(DecodeName(path)); }

void TDirForm::StepProgress() { ui_->prbDir->setValue(ui_->prbDir->value() + 1); }

void TDirForm::btnCancelClick() { Stopped_ = true; }

void TDirForm::CancelModal() {
  ending_ = true;
  Stopped_ = true;
}

void TDirForm::tmCloseTimer() {
  if (close()) tmClose_->stop();
}

void TDirForm::showEvent(QShowEvent* event) {
  TModelForm::showEvent(event);
  if (activated_) return;
  activated_ = true;
  if (const QScreen* desktop = screen()) {
    move(desktop->availableGeometry().center() - rect().center());
  }
  QTimer::singleShot(0, this, [this] { FormActivate(); });
}

void TDirForm::FormActivate() {
  std::exception_ptr failure;
  try {
    if (DirMode_) {
      SetTitle(QStringLiteral("Reading Directory..."));
      QCoreApplication::processEvents();
      ui_->aniFind->show();
      ui_->aniFind->Start();
      const TScanStep step = [this](const std::string& path) {
        ShowFile(path);
        QCoreApplication::processEvents();
        return !Stopped_;
      };
      if (Options.IncludeSubdir) {
        ReadTree(Directory_, Found_, step);
      } else {
        ReadFolder(Directory_, Found_, step);
      }
    }
    SetTitle(QStringLiteral("Adding Files..."));
    QCoreApplication::processEvents();
    ui_->aniFind->Stop();
    ui_->aniFind->hide();
    if (!Found_.empty() && !ending_) {
      Stopped_ = false;
      ui_->prbDir->show();
      ui_->prbDir->setMaximum(static_cast<int>(Found_.size()));
      addPages_(Found_, *this);
    }
  } catch (...) {
    failure = std::current_exception();
  }
  // The window closes itself also after an error, so the program stays usable.
  if (failure) ShowException(failure);
  Stopped_ = true;
  tmClose_->start();
}
