#include "app/ErrorHandler.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>

#include "app/AppTest.h"
#include "platform/Exception.h"

namespace {

TEST(ErrorHandler, FullStopIsAddedAfterLettersAndDigitsOnly) {
  EXPECT_EQ(WithFullStop("Division by zero"), "Division by zero.");
  EXPECT_EQ(WithFullStop("List index out of bounds (5)"), "List index out of bounds (5)");
  EXPECT_EQ(WithFullStop("'x' is not a valid integer value"), "'x' is not a valid integer value.");
  EXPECT_EQ(WithFullStop("Error 7"), "Error 7.");
  EXPECT_EQ(WithFullStop("Done."), "Done.");
  EXPECT_EQ(WithFullStop("Why!"), "Why!");
  EXPECT_EQ(WithFullStop("/"), "/.");
  EXPECT_EQ(WithFullStop(""), "");
}

TEST(ErrorHandler, AnErrorThatEscapesAnEventIsShownAndTheProgramGoesOn) {
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  apptest::ModalWatcher watcher([&](QWidget* window) {
    auto* box = qobject_cast<QMessageBox*>(window);
    ASSERT_NE(box, nullptr);
    caption = box->windowTitle();
    text = box->text();
    icon = box->icon();
    box->button(QMessageBox::Ok)->click();
  });
  bool after = false;
  Guarded([] { throw EConvertError("'abc' is not a valid integer value"); });
  after = true;
  EXPECT_TRUE(after);
  EXPECT_EQ(caption, "Velmora");
  EXPECT_EQ(text, "'abc' is not a valid integer value.");
  EXPECT_EQ(icon, QMessageBox::Critical);
  EXPECT_EQ(watcher.seen().size(), 1u);

  Guarded([] {});
  EXPECT_EQ(watcher.seen().size(), 1u);
}

}  // namespace
