#include "app/TModelForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMouseEvent>
#include <QShowEvent>
#include <QTimer>
#include <QPointer>
#include <QWindow>
#include <algorithm>
#include <memory>
#include <vector>

#include "app/ErrorHandler.h"
#include "app/WindowPosition.h"
#include "ui_TModelForm.h"

// The images live in the program's resources, which a static library must
// register itself.
static void InitResources() { Q_INIT_RESOURCE(vlm); }

namespace {

constexpr int kBorder = 1;
constexpr int kTitleBarHeight = 20;
constexpr char kMinimizedTogether[] = "vlmMinimizedTogether";

void SetColor(QWidget* widget, QPalette::ColorRole role, const QColor& color) {
  QPalette palette = widget->palette();
  palette.setColor(role, color);
  widget->setPalette(palette);
}

}  // namespace

TModelForm::TModelForm(QWidget* parent, bool mainWindow)
    : QDialog(parent), frame_(std::make_unique<Ui::TModelForm>()) {
  static const bool resources = (InitResources(), true);
  (void)resources;
  frame_->setupUi(this);
  setWindowFlags((mainWindow ? Qt::Window : Qt::Dialog) | Qt::FramelessWindowHint |
                 Qt::WindowMinimizeButtonHint);
  setFont(QFont(QStringLiteral("Sans Serif"), 8));

  SetColor(frame_->Panel2, QPalette::Window, Qt::black);
  SetColor(frame_->Panel3, QPalette::Window, QColor(240, 240, 240));
  SetColor(frame_->lblTitle, QPalette::WindowText, Qt::white);
  QFont bold = frame_->lblTitle->font();
  bold.setBold(true);
  frame_->lblTitle->setFont(bold);
  frame_->imgTitleBar->lower();
  frame_->imgMin->hide();

  for (QWidget* watched :
       {static_cast<QWidget*>(frame_->Panel1), static_cast<QWidget*>(frame_->imgTitleBar),
        static_cast<QWidget*>(frame_->lblTitle), static_cast<QWidget*>(frame_->imgHelp),
        static_cast<QWidget*>(frame_->imgMin), static_cast<QWidget*>(frame_->imgExit)}) {
    watched->installEventFilter(this);
  }
}

TModelForm::~TModelForm() = default;

QWidget* TModelForm::ClientArea() const { return frame_->Panel3; }

QLabel* TModelForm::TitleLabel() const { return frame_->lblTitle; }

QString TModelForm::Title() const { return frame_->lblTitle->text(); }

void TModelForm::SetTitle(const QString& title) {
  frame_->lblTitle->setText(title);
  setWindowTitle(title);
}

void TModelForm::ShowFrameButtons(bool help, bool minimize, bool close) {
  frame_->imgHelp->setVisible(help);
  frame_->imgMin->setVisible(minimize);
  frame_->imgExit->setVisible(close);
}

void TModelForm::SetClientSize(int width, int height) {
  setFixedSize(width + 2 * kBorder, height + kTitleBarHeight + 2 * kBorder);
}

void TModelForm::imgMinClick() { MinimizeApplication(); }

void TModelForm::imgExitClick() { close(); }

void TModelForm::reject() { close(); }

void TModelForm::setVisible(bool visible) {
  if (visible && !isVisible() && parentWidget()) SyncWindowPosition(*parentWidget()->window());
  showing_ = visible;
  QDialog::setVisible(visible);
  showing_ = false;
}

bool TModelForm::event(QEvent* event) {
  // The window manager has placed the window once it activates it.
  if (event->type() == QEvent::WindowActivate) SyncWindowPosition(*this);
  return QDialog::event(event);
}

void TModelForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!watchingExposure_ && windowHandle()) {
    windowHandle()->installEventFilter(this);
    watchingExposure_ = true;
  }
}

void TModelForm::closeEvent(QCloseEvent* event) {
  bool granted = false;
  Guarded([&] { granted = FormCloseQuery(); });
  event->setAccepted(granted);
}

void TModelForm::changeEvent(QEvent* event) {
  if (event->type() == QEvent::WindowStateChange && !isMinimized() &&
      property(kMinimizedTogether).toBool()) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (!window->property(kMinimizedTogether).toBool()) continue;
      window->setProperty(kMinimizedTogether, false);
      if (window != this) window->showNormal();
    }
  }
  QDialog::changeEvent(event);
}

bool TModelForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == windowHandle()) {
    // The window manager maps a window only where it has placed it.
    if (event->type() == QEvent::Expose) {
      QTimer::singleShot(0, this, [this] { SyncWindowPosition(*this); });
    }
    return false;
  }
  if (watched == frame_->Panel1 && event->type() == QEvent::Resize) {
    frame_->imgTitleBar->setGeometry(frame_->Panel1->rect());
    return false;
  }
  const bool bar = watched == frame_->imgTitleBar || watched == frame_->lblTitle;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
      if (bar) lblTitleMouseDown(static_cast<QMouseEvent*>(event));
      return bar;
    case QEvent::MouseMove:
      if (bar && dragging_) {
        move(static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - dragOffset_);
        return true;
      }
      return false;
    case QEvent::MouseButtonRelease: {
      dragging_ = false;
      auto* mouse = static_cast<QMouseEvent*>(event);
      auto* image = qobject_cast<QWidget*>(watched);
      if (mouse->button() != Qt::LeftButton || !image ||
          !image->rect().contains(mouse->position().toPoint())) {
        return false;
      }
      if (watched == frame_->imgExit) {
        Guarded([this] { imgExitClick(); });
      } else if (watched == frame_->imgMin) {
        Guarded([this] { imgMinClick(); });
      } else if (watched == frame_->imgHelp) {
        Guarded([this] { imgHelpClick(); });
      } else {
        return false;
      }
      return true;
    }
    default:
      return false;
  }
}

void TModelForm::lblTitleMouseDown(QMouseEvent* event) {
  // The window system moves the window while the button is held, with either
  // button; where it cannot, the window follows the mouse itself. Either way
  // the move starts from where the window really is.
  SyncWindowPosition(*this);
  if (windowHandle() && windowHandle()->startSystemMove()) return;
  dragging_ = true;
  dragOffset_ = event->globalPosition().toPoint() - pos();
}

void MinimizeApplication() {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (!window->isVisible() || window->isMinimized()) continue;
    window->setProperty(kMinimizedTogether, true);
    window->showMinimized();
  }
}

void EndModalWindows(QObject* context, std::function<void()> then) {
  auto* timer = new QTimer(context);
  auto asked = std::make_shared<std::vector<QPointer<QWidget>>>();
  auto step = [timer, asked, then = std::move(then)] {
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    QWidget* top = QApplication::activeModalWidget();
    std::vector<QWidget*> modal;
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (window->isVisible() && window->isModal() && window != top) modal.push_back(window);
    }
    if (top) modal.push_back(top);
    if (modal.empty()) {
      timer->stop();
      timer->deleteLater();
      then();
      return;
    }
    // A working window beneath (a run under its error window) is told at
    // once, so that it begins no further step; the others end one by one
    // from the top, each once it stands in its own modal loop.
    auto ask = [&asked](QWidget* window) {
      if (std::find(asked->begin(), asked->end(), window) != asked->end()) return;
      asked->push_back(window);
      if (auto* form = qobject_cast<TModelForm*>(window)) {
        Guarded([form] { form->CancelModal(); });
      } else if (auto* dialog = qobject_cast<QDialog*>(window)) {
        dialog->reject();
      } else {
        window->close();
      }
    };
    for (QWidget* window : modal) {
      auto* form = qobject_cast<TModelForm*>(window);
      if (window != top && form && form->StopsAtNextStep()) ask(window);
    }
    if (!top) {
      for (QWidget* window : modal) ask(window);
      return;
    }
    if (auto* form = qobject_cast<TModelForm*>(top); form && form->Showing()) return;
    ask(top);
  };
  QObject::connect(timer, &QTimer::timeout, timer, step);
  timer->start(20);
  step();
}
