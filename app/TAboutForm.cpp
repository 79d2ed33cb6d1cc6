#include "app/TAboutForm.h"

#include <QLabel>
#include <QPushButton>

#include "app/ErrorHandler.h"
#include "platform/Shell.h"
#include "ui_TAboutForm.h"

namespace {

constexpr int kClientWidth = 320;
constexpr int kClientHeight = 164;

}  // namespace

TAboutForm::TAboutForm(QWidget* parent)
    : TModelForm(parent), ui_(std::make_unique<Ui::TAboutForm>()) {
  setObjectName(QStringLiteral("TAboutForm"));
  ui_->setupUi(ClientArea());
  SetTitle(QStringLiteral("About Velmora"));
  TitleLabel()->setAlignment(Qt::AlignCenter);
  ShowFrameButtons(false, false, true);
  SetClientSize(kClientWidth, kClientHeight);

  QFont large = ui_->lblProduct->font();
  large.setBold(true);
  large.setPointSize(large.pointSize() + 4);
  ui_->lblProduct->setFont(large);
  const QString site = QString::fromLatin1(kSiteAddress);
  QString shown = site;
  shown.remove(QStringLiteral("https://")).chop(1);
  ui_->lblLink->setText(QStringLiteral("<a href=\"%1\">%2</a>").arg(site, shown));
  connect(ui_->lblLink, &QLabel::linkActivated, this, [](const QString& link) {
    Guarded([&] { platform::CurrentShell().OpenLink(link.toStdString()); });
  });
  connect(ui_->btnOK, &QPushButton::clicked, this, [this] { imgExitClick(); });
}

TAboutForm::~TAboutForm() = default;

void ShowAboutBox(QWidget* parent) {
  TAboutForm about(parent);
  about.exec();
}
