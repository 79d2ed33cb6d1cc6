#include "app/TProcForm.h"

#include <QCoreApplication>
#include <QShowEvent>

#include "app/ErrorHandler.h"
#include "app/FileName.h"
#include "storage/FolderScan.h"
#include "app/TMainForm.h"
#include "engine/vlmKernel.h"
#include "ui_TProcForm.h"

namespace {

constexpr int kClientWidth = 407;
constexpr int kClientHeight = 144;

}  // namespace

TProcForm::TProcForm(TMainForm& mainForm, std::vector<std::string> files, QWidget* parent)
    : TModelForm(parent),
      ui_(std::make_unique<Ui::TProcForm>()),
      mainForm_(mainForm),
      tmClose_(new QTimer(this)),
      Files_(std::move(files)) {
  setObjectName(QStringLiteral("TProcForm"));
  ui_->setupUi(ClientArea());
  SetTitle(QStringLiteral("Processing..."));
  ShowFrameButtons(false, false, false);
  SetClientSize(kClientWidth, kClientHeight);
  tmClose_->setObjectName(QStringLiteral("tmClose"));
  tmClose_->setInterval(1);
  connect(tmClose_, &QTimer::timeout, this, [this] { Guarded([this] { tmCloseTimer(); }); });
  connect(ui_->btnCancel, &QPushButton::clicked, this,
          [this] { Guarded([this] { btnCancelClick(); }); });
}

TProcForm::~TProcForm() = default;

void TProcForm::btnCancelClick() { Stopped_ = true; }

void TProcForm::tmCloseTimer() {
  if (close()) tmClose_->stop();
}

void TProcForm::showEvent(QShowEvent* event) {
  TModelForm::showEvent(event);
  if (activated_) return;
  activated_ = true;
  QTimer::singleShot(0, this, [this] { ProcessFiles(); });
}

void TProcForm::ProcessFiles() {
  std::exception_ptr failure;
  try {
    BeginProtection();
    ui_->prbPro->setMaximum(static_cast<int>(Files_.size()));
    for (size_t i = 0; i < Files_.size(); ++i) {
      ui_->lblFile->setText(DecodeName(Files_[i]));
      if (IsRegularFile(Files_[i])) {
        // The engine leaves the size alone when it could not read the page.
        int32_t finalSize = -1;
        ProtectPage(Files_[i], finalSize);
        if (finalSize >= 0) mainForm_.SetFinalSize(static_cast<int32_t>(i), finalSize);
      }
      QCoreApplication::processEvents();
      ui_->prbPro->setValue(ui_->prbPro->value() + 1);
      if (Stopped_) break;
    }
  } catch (...) {
    failure = std::current_exception();
  }
  try {
    EndProtection();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  // An error that ended the run is shown while the window still stands; the
  // window then closes itself as after any other run.
  if (failure) ShowException(failure);
  Stopped_ = true;
  tmClose_->start();
}
