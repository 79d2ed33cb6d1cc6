#include "app/TProcForm.h"

#include <QCoreApplication>
#include <QShowEvent>

#include "app/ErrorHandler.h"
#include "app/FileName.h"
#include "engine/PageLoop.h"
#include "engine/ProtectionRun.h"
#include "engine/vlmKernel.h"
#include "platform/Exception.h"
#include "ui_TProcForm.h"

namespace {

constexpr int kClientWidth = 407;
constexpr int kClientHeight = 144;

}  // namespace

TProcForm::TProcForm(std::vector<std::string> files, TFinalSizeSink finalSize, QWidget* parent)
    : TModelForm(parent),
      ui_(std::make_unique<Ui::TProcForm>()),
      finalSize_(std::move(finalSize)),
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

TProcForm::TProcForm(const QString& title, TWork work, QWidget* parent)
    : TProcForm(std::vector<std::string>{}, TFinalSizeSink(), parent) {
  SetTitle(title);
  work_ = std::move(work);
  ui_->btnCancel->setEnabled(false);
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
  QTimer::singleShot(0, this, [this] { work_ ? DoWork() : ProcessFiles(); });
}

void TProcForm::ProcessFiles() {
  std::exception_ptr failure;
  try {
    const std::unique_ptr<TProtectionRun> run = MakeProtectionRun();
    ui_->prbPro->setMaximum(static_cast<int>(Files_.size()));
    TPageLoopEvents events;
    events.PageStarting = [this](size_t, const std::string& page) {
      ui_->lblFile->setText(DecodeName(page));
    };
    events.PageDone = [this](size_t index, const std::string& page, const TPageOutcome& outcome) {
      if (outcome.FinalSize >= 0 && finalSize_) {
        finalSize_(static_cast<int32_t>(index), outcome.FinalSize);
      }
      if (!outcome.Error.empty()) ShowException(EConvertError(PageErrorText(page, outcome.Error)));
    };
    events.Progress = [this](size_t done) {
      QCoreApplication::processEvents();
      ui_->prbPro->setValue(static_cast<int>(done));
    };
    events.Stopped = [this] { return Stopped_; };
    failure = RunPageLoop(*run, Files_, events).Failure;
  } catch (...) {
    failure = std::current_exception();
  }
  // An error that ended the run is shown while the window still stands; the
  // window then closes itself as after any other run.
  if (failure) ShowException(failure);
  Stopped_ = true;
  tmClose_->start();
}

void TProcForm::DoWork() {
  std::exception_ptr failure;
  try {
    work_([this](const std::string& path, size_t done, size_t total) {
      ui_->lblFile->setText(DecodeName(path));
      ui_->prbPro->setMaximum(static_cast<int>(total));
      ui_->prbPro->setValue(static_cast<int>(done));
      QCoreApplication::processEvents();
    });
  } catch (...) {
    failure = std::current_exception();
  }
  if (failure) ShowException(failure);
  Stopped_ = true;
  tmClose_->start();
}
