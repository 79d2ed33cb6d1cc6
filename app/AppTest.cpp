#include "app/AppTest.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QTest>

#include "testsupport/Wait.h"

namespace apptest {

ProgramFolder::ProgramFolder()
    : home_("VLM_HOME", dir_.path()),
      runtime_("XDG_RUNTIME_DIR", dir_.path()),
      config_("XDG_CONFIG_HOME", dir_ / "config") {
  WriteOptions(true);
}

void ProgramFolder::WriteOptions(bool includeSubdir, const std::string& lineEnd) const {
  // ATag .. SliceByPixels, InitialDirMode, MinWidth, MinHeight, PieHor, PieVer,
  // PixWidth, PixHeight, CustomDir, LastDir, IncludeSubdir, then the types.
  const std::vector<std::string> lines = {"1",
                                          "1",
                                          "1",
                                          "1",
                                          "1",
                                          "0",
                                          "2",
                                          "16",
                                          "16",
                                          "3",
                                          "3",
                                          "64",
                                          "64",
                                          "",
                                          "",
                                          includeSubdir ? "1" : "0",
                                          "htm,HTML Document",
                                          "html,HTML Document"};
  std::string text;
  for (const std::string& line : lines) text += line + lineEnd;
  dir_.Write("vlm.ini", text);
}

namespace {

// Notes the class of every modal window when it is shown.
class ShowSpy : public QObject {
 public:
  explicit ShowSpy(std::vector<std::string>& seen) : seen_(seen) { qApp->installEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (event->type() == QEvent::Show && widget && widget->isWindow() && widget->isModal()) {
      seen_.push_back(widget->metaObject()->className());
    }
    return false;
  }

 private:
  std::vector<std::string>& seen_;
};

}  // namespace

ModalWatcher::ModalWatcher(std::function<void(QWidget*)> action)
    : action_(std::move(action)),
      timer_(std::make_unique<QTimer>()),
      showSpy_(std::make_unique<ShowSpy>(seen_)) {
  timer_->setInterval(5);
  QObject::connect(timer_.get(), &QTimer::timeout, [this] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) return;
    for (const QPointer<QWidget>& done : handled_) {
      if (done == modal) return;
    }
    handled_.push_back(modal);
    action_(modal);
  });
  timer_->start();
}

ModalWatcher::~ModalWatcher() = default;

void Click(QWidget* window, const char* name) {
  QTest::mouseClick(Child<QAbstractButton>(window, name), Qt::LeftButton);
}

bool WaitFor(const std::function<bool()>& done) {
  return testsupport::WaitFor(done, [] { QTest::qWait(20); });
}

std::string PlainPage(const std::string& title) {
  return "<HTML><HEAD><TITLE>" + title + "</TITLE></HEAD><BODY>" + title + "</BODY></HTML>";
}

}  // namespace apptest

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  // The tests close main windows without ending the process.
  QApplication::setQuitOnLastWindowClosed(false);
  return RUN_ALL_TESTS();
}
