#include "app/TErrorForm.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "app/AppTest.h"
#include "testsupport/RecordingShell.h"
#include "storage/GlobalLib.h"

namespace {

struct Shown {
  std::string title;
  std::string message;
  bool closeButton = false;
  bool helpOrMinimize = true;
};

// Installs the error window as ShowError's handler for one test.
class ErrorWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = SetShowErrorHandler(&TErrorForm::Show); }
  void TearDown() override { SetShowErrorHandler(previous_); }
  TShowErrorHandler previous_;
};

TEST_F(ErrorWindowTest, ShowsNumberAndMessageUntilOk) {
  std::vector<Shown> shown;
  apptest::ModalWatcher watcher([&](QWidget* window) {
    Shown s;
    s.title = apptest::Child<QLabel>(window, "lblTitle")->text().toStdString();
    s.message = apptest::Child<QLabel>(window, "lblErrorMsg")->text().toStdString();
    s.closeButton = apptest::Child<QLabel>(window, "imgExit")->isVisible();
    s.helpOrMinimize = apptest::Child<QLabel>(window, "imgHelp")->isVisible() ||
                       apptest::Child<QLabel>(window, "imgMin")->isVisible();
    shown.push_back(s);
    apptest::Click(window, "btnOK");
  });
  ShowError(102, "Can not open file /web/a.htm");
  ShowError(104, "Can not write file /web/b.htm");
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].title, "Error #102");
  EXPECT_EQ(shown[0].message, "Can not open file /web/a.htm");
  EXPECT_TRUE(shown[0].closeButton);
  EXPECT_FALSE(shown[0].helpOrMinimize);
  EXPECT_EQ(shown[1].title, "Error #104");
  EXPECT_EQ(watcher.seen(), (std::vector<std::string>{"TErrorForm", "TErrorForm"}));
}

TEST_F(ErrorWindowTest, ReportItWritesAMailAndLeavesTheWindowOpen) {
  testsupport::RecordingShell shell;
  bool openAfterReport = false;
  apptest::ModalWatcher watcher([&](QWidget* window) {
    apptest::Click(window, "btnRep");
    openAfterReport = window->isVisible();
    QTest::mouseClick(apptest::Child<QLabel>(window, "imgExit"), Qt::LeftButton);
  });
  ShowError(201, "Error adding files");
  EXPECT_TRUE(openAfterReport);
  ASSERT_EQ(shell.requests.size(), 1u);
  EXPECT_EQ(shell.requests[0].kind, "link");
  EXPECT_EQ(shell.requests[0].what, "mailto:support@velmora.example?subject=Error%20%23201");
}

TEST(ErrorWindow, ReportLinkEncodesTheSubject) {
  EXPECT_EQ(ReportLink("Error #102"), "mailto:support@velmora.example?subject=Error%20%23102");
  EXPECT_EQ(ReportLink("a&b=c?d"), "mailto:support@velmora.example?subject=a%26b%3Dc%3Fd");
  EXPECT_EQ(ReportLink("Error #-1"), "mailto:support@velmora.example?subject=Error%20%23-1");
}

TEST(ErrorWindow, ALongPathIsShownWhole) {
  const std::string path = "/home/someone/" + std::string(300, 'x') + "/page.htm";
  TErrorForm form(102, "Can not open file " + path);
  form.show();
  auto* message = apptest::Child<QLabel>(&form, "lblErrorMsg");
  EXPECT_EQ(form.Title(), "Error #102");
  EXPECT_GT(message->height(), 65);
  EXPECT_GT(form.height(), 174 + 22);
  // The buttons moved below the grown message.
  EXPECT_GT(apptest::Child<QPushButton>(&form, "btnOK")->y(), message->geometry().bottom());

  TErrorForm shortOne(201, "Error adding files");
  shortOne.show();
  EXPECT_EQ(shortOne.size(), QSize(462, 196));
}

}  // namespace
