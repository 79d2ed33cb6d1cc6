#include "app/TFileTypeForm.h"

#include <QScreen>
#include <QShowEvent>

#include "app/ErrorHandler.h"
#include "app/FileName.h"
#include "app/TOptForm.h"
#include "platform/Shell.h"
#include "ui_TFileTypeForm.h"

namespace {

constexpr int kClientWidth = 373;
constexpr int kClientHeight = 166;
constexpr char kHelpTopic[] = "option.htm#file";

}  // namespace

std::string NormalizeExtension(const std::string& text) {
  std::string extension;
  extension.reserve(text.size());
  for (char c : text) {
    if (c == '*' || c == '.') continue;
    extension += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return extension;
}

TFileTypeForm::TFileTypeForm(TOptForm& list, bool modifyMode, QWidget* parent)
    : TModelForm(parent),
      ui_(std::make_unique<Ui::TFileTypeForm>()),
      list_(list),
      ModifyMode_(modifyMode) {
  setObjectName(QStringLiteral("TFileTypeForm"));
  ui_->setupUi(ClientArea());
  ShowFrameButtons(true, false, true);
  SetClientSize(kClientWidth, kClientHeight);
  SetTitle(ModifyMode_ ? QStringLiteral("Modify File Type") : QStringLiteral("Add File Type"));
  ui_->edtExt->setFocus();

  connect(ui_->edtExt, &QLineEdit::returnPressed, this, [this] { ui_->edtType->setFocus(); });
  connect(ui_->edtType, &QLineEdit::returnPressed, this,
          [this] { Guarded([this] { btnOKClick(); }); });
  connect(ui_->btnOK, &QPushButton::clicked, this, [this] { Guarded([this] { btnOKClick(); }); });
  connect(ui_->btnCancel, &QPushButton::clicked, this,
          [this] { Guarded([this] { imgExitClick(); }); });
}

TFileTypeForm::~TFileTypeForm() = default;

void TFileTypeForm::showEvent(QShowEvent* event) {
  TModelForm::showEvent(event);
  if (shown_) return;
  shown_ = true;
  if (const QScreen* desktop = screen()) {
    move(desktop->availableGeometry().center() - rect().center());
  }
  // Where the window system does not activate a new window, the first showing
  // still fills the fields.
  Guarded([this] { FormActivate(); });
}

void TFileTypeForm::changeEvent(QEvent* event) {
  TModelForm::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && isVisible()) {
    Guarded([this] { FormActivate(); });
  }
}

void TFileTypeForm::FormActivate() {
  SetTitle(ModifyMode_ ? QStringLiteral("Modify File Type") : QStringLiteral("Add File Type"));
  if (ModifyMode_) list_.GetSelectedFileType(ui_->edtExt, ui_->edtType);
}

void TFileTypeForm::btnOKClick() {
  const std::string description = EncodeName(ui_->edtType->text());
  const std::string extension = NormalizeExtension(EncodeName(ui_->edtExt->text()));
  if (ModifyMode_) {
    list_.SetSelectedFileType(extension, description);
  } else {
    list_.AddFileType(extension, description);
  }
  imgExitClick();
}

void TFileTypeForm::imgHelpClick() { platform::CurrentShell().OpenHelpTopic(kHelpTopic); }
