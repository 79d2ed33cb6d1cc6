#include "app/TModelForm.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QTest>

#include "app/AppTest.h"

namespace {

// A window that refuses to close until it is allowed to.
class RefusingForm : public TModelForm {
 public:
  bool mayClose = false;
  int helpClicks = 0;
  void imgHelpClick() override { ++helpClicks; }

 protected:
  bool FormCloseQuery() override { return mayClose; }
};

TEST(ModelForm, FrameHasBorderTitleBarAndHintedButtons) {
  TModelForm form;
  form.SetClientSize(200, 100);
  form.SetTitle("Frame");
  form.show();
  EXPECT_EQ(form.size(), QSize(202, 122));
  EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(form.ClientArea()->geometry(), QRect(1, 21, 200, 100));
  EXPECT_EQ(form.ClientArea()->palette().color(QPalette::Window), QColor(240, 240, 240));
  EXPECT_EQ(form.windowTitle(), "Frame");

  const QImage image = form.grab().toImage();
  for (QPoint border : {QPoint(0, 0), QPoint(201, 60), QPoint(100, 121), QPoint(0, 121)}) {
    EXPECT_EQ(image.pixelColor(border), QColor(Qt::black)) << border.x() << "," << border.y();
  }
  EXPECT_EQ(image.pixelColor(100, 80), QColor(240, 240, 240));

  auto* title = apptest::Child<QLabel>(&form, "lblTitle");
  EXPECT_EQ(title->text(), "Frame");
  EXPECT_TRUE(title->font().bold());
  EXPECT_EQ(title->palette().color(QPalette::WindowText), QColor(Qt::white));
  EXPECT_EQ(apptest::Child<QWidget>(&form, "Panel1")->height(), 20);
  const std::pair<const char*, const char*> buttons[] = {
      {"imgHelp", "Help"}, {"imgMin", "Minimize"}, {"imgExit", "Close"}};
  for (auto [name, hint] : buttons) {
    auto* image = apptest::Child<QLabel>(&form, name);
    EXPECT_EQ(image->size(), QSize(19, 19)) << name;
    EXPECT_EQ(image->toolTip(), hint);
  }
  EXPECT_TRUE(apptest::Child<QLabel>(&form, "imgHelp")->isVisible());
  EXPECT_FALSE(apptest::Child<QLabel>(&form, "imgMin")->isVisible());
  EXPECT_TRUE(apptest::Child<QLabel>(&form, "imgExit")->isVisible());
  // The close button sits at the right end of the title bar, help left of it.
  EXPECT_EQ(apptest::Child<QLabel>(&form, "imgExit")->geometry().right(), 198);
  EXPECT_LT(apptest::Child<QLabel>(&form, "imgHelp")->x(),
            apptest::Child<QLabel>(&form, "imgExit")->x());
}

TEST(ModelForm, DraggingTheTitleBarWithEitherButtonMovesTheWindow) {
  TModelForm form;
  form.SetClientSize(200, 100);
  form.move(100, 100);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  for (const char* part : {"lblTitle", "imgTitleBar"}) {
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
      QWidget* grip = apptest::Child<QWidget>(&form, part);
      const QPoint start = form.pos();
      QTest::mousePress(grip, button, {}, QPoint(30, 5));
      QTest::mouseMove(grip, QPoint(70, 35));
      QTest::mouseRelease(grip, button, {}, QPoint(70, 35));
      EXPECT_EQ(form.pos(), start + QPoint(40, 30)) << part << " " << button;
    }
  }
  // The client area is no grip.
  const QPoint start = form.pos();
  QTest::mousePress(form.ClientArea(), Qt::LeftButton, {}, QPoint(30, 30));
  QTest::mouseMove(form.ClientArea(), QPoint(80, 80));
  QTest::mouseRelease(form.ClientArea(), Qt::LeftButton, {}, QPoint(80, 80));
  EXPECT_EQ(form.pos(), start);
}

TEST(ModelForm, EveryWayOfClosingAsksTheWindowFirst) {
  RefusingForm form;
  form.SetClientSize(200, 100);
  form.show();
  QTest::mouseClick(apptest::Child<QLabel>(&form, "imgExit"), Qt::LeftButton);
  EXPECT_TRUE(form.isVisible());
  QTest::keyClick(&form, Qt::Key_Escape);
  EXPECT_TRUE(form.isVisible());
  EXPECT_FALSE(form.close());
  EXPECT_TRUE(form.isVisible());

  QTest::mouseClick(apptest::Child<QLabel>(&form, "imgHelp"), Qt::LeftButton);
  QTest::mouseClick(apptest::Child<QLabel>(&form, "imgHelp"), Qt::RightButton);
  EXPECT_EQ(form.helpClicks, 1);

  form.mayClose = true;
  QTest::mouseClick(apptest::Child<QLabel>(&form, "imgExit"), Qt::LeftButton);
  EXPECT_FALSE(form.isVisible());
}

TEST(ModelForm, CloseButtonEndsAModalShowing) {
  TModelForm form;
  form.SetClientSize(200, 100);
  apptest::ModalWatcher watcher([](QWidget* window) {
    QTest::mouseClick(apptest::Child<QLabel>(window, "imgExit"), Qt::LeftButton);
  });
  form.exec();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(watcher.seen(), std::vector<std::string>{"TModelForm"});
}

TEST(ModelForm, MinimiseTakesEveryWindowAndRestoreBringsThemBack) {
  TModelForm main(nullptr, true);
  main.ShowFrameButtons(true, true, true);
  TModelForm other;
  main.show();
  other.show();
  QTest::mouseClick(apptest::Child<QLabel>(&main, "imgMin"), Qt::LeftButton);
  EXPECT_TRUE(main.isMinimized());
  EXPECT_TRUE(other.isMinimized());
  main.showNormal();
  EXPECT_FALSE(main.isMinimized());
  EXPECT_FALSE(other.isMinimized());
}

}  // namespace
