#include "app/TErrorForm.h"

#include <QApplication>
#include <QStyle>

#include "app/ErrorHandler.h"
#include "app/FileName.h"
#include "platform/Shell.h"
#include "ui_TErrorForm.h"

namespace {

constexpr int kClientWidth = 460;
constexpr int kClientHeight = 174;

std::string PercentEncoded(const std::string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (unsigned char c : text) {
    const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                            (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
    if (unreserved) {
      encoded += static_cast<char>(c);
    } else {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 15];
    }
  }
  return encoded;
}

}  // namespace

std::string ReportLink(const std::string& title) {
  return std::string("mailto:") + kSupportAddress + "?subject=" + PercentEncoded(title);
}

TErrorForm::TErrorForm(int errorNumber, const std::string& errorText, QWidget* parent)
    : TModelForm(parent),
      ui_(std::make_unique<Ui::TErrorForm>()),
      ErrorNumber_(errorNumber),
      ErrorText_(errorText) {
  setObjectName(QStringLiteral("TErrorForm"));
  ui_->setupUi(ClientArea());
  SetTitle(QStringLiteral("Error"));
  TitleLabel()->setAlignment(Qt::AlignCenter);
  ShowFrameButtons(false, false, true);
  ui_->imgIcon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
  SetClientSize(kClientWidth, kClientHeight);
  connect(ui_->btnOK, &QPushButton::clicked, this, [this] { Guarded([this] { imgExitClick(); }); });
  connect(ui_->btnRep, &QPushButton::clicked, this, [this] { Guarded([this] { btnRepClick(); }); });
}

TErrorForm::~TErrorForm() = default;

void TErrorForm::Show(int errorNumber, const std::string& errorText) {
  QWidget* owner = QApplication::activeModalWidget();
  if (!owner) owner = QApplication::activeWindow();
  TErrorForm form(errorNumber, errorText, owner);
  form.exec();
}

void TErrorForm::showEvent(QShowEvent* event) {
  FormShow();
  TModelForm::showEvent(event);
}

void TErrorForm::FormShow() {
  SetTitle(QStringLiteral("Error #%1").arg(ErrorNumber_));
  ui_->lblErrorMsg->setText(DecodeName(ErrorText_));
  // The message grows the window downwards when it needs more lines than the
  // label has, so that a long path is shown whole.
  TMessageLabel* message = ui_->lblErrorMsg;
  const int extra = message->NeededHeight(message->width()) - message->height();
  if (extra > 0) {
    message->resize(message->width(), message->height() + extra);
    ui_->btnOK->move(ui_->btnOK->x(), ui_->btnOK->y() + extra);
    ui_->btnRep->move(ui_->btnRep->x(), ui_->btnRep->y() + extra);
    SetClientSize(kClientWidth, kClientHeight + extra);
  }
}

void TErrorForm::btnRepClick() {
  platform::CurrentShell().OpenLink(ReportLink(Title().toStdString()));
}
