#include "app/TFileTypeForm.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include "app/AppTest.h"
#include "app/TOptForm.h"
#include "testsupport/RecordingShell.h"
#include "storage/vlmOption.h"

namespace {

TEST(NormalizeExtension, DropsStarsAndDotsAndLowerCasesAsciiOnly) {
  EXPECT_EQ(NormalizeExtension("*.HTM"), "htm");
  EXPECT_EQ(NormalizeExtension(".Html"), "html");
  EXPECT_EQ(NormalizeExtension("s.h.t.m.l"), "shtml");
  EXPECT_EQ(NormalizeExtension(" htm"), " htm");
  EXPECT_EQ(NormalizeExtension("htm,X"), "htm,x");
  EXPECT_EQ(NormalizeExtension("*.*"), "");
  EXPECT_EQ(NormalizeExtension("\xC3\x84SP"), "\xC3\x84sp");  // only ASCII letters change
}

// An editor over an options dialog whose list holds htm, asp and php.
class FileTypeEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Options.FileTypes = {{"htm", "HTML Document"}, {"asp", "Active Server Page"}, {"php", ""}};
    options_ = std::make_unique<TOptForm>();
  }

  // Shows `editor` and waits until it is the active window.
  static void Open(TFileTypeForm& editor) {
    editor.show();
    editor.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
  }
  static QLineEdit* Edit(const TFileTypeForm& editor, const char* name) {
    return apptest::Child<QLineEdit>(&editor, name);
  }
  QStringList Cells(int column) const {
    QStringList cells;
    QTreeWidget* list = options_->FileTypeList();
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
      cells << list->topLevelItem(row)->text(column);
    }
    return cells;
  }
  void Select(std::initializer_list<int> rows) const {
    for (int row : rows) options_->FileTypeList()->topLevelItem(row)->setSelected(true);
  }

  apptest::ProgramFolder home_;
  std::unique_ptr<TOptForm> options_;
};

TEST_F(FileTypeEditorTest, AddModeAppendsTheNormalizedExtensionAndTheTypeAsTyped) {
  TFileTypeForm editor(*options_, false);
  Open(editor);
  EXPECT_EQ(editor.Title(), "Add File Type");
  EXPECT_EQ(editor.ClientArea()->size(), QSize(373, 166));
  EXPECT_TRUE(apptest::Child<QLabel>(&editor, "imgHelp")->isVisible());
  EXPECT_FALSE(apptest::Child<QLabel>(&editor, "imgMin")->isVisible());
  EXPECT_TRUE(apptest::Child<QLabel>(&editor, "imgExit")->isVisible());
  EXPECT_EQ(QApplication::focusWidget(), Edit(editor, "edtExt"));
  EXPECT_TRUE(Edit(editor, "edtExt")->text().isEmpty());
  EXPECT_TRUE(Edit(editor, "edtType")->text().isEmpty());

  QTest::keyClicks(Edit(editor, "edtExt"), "*.SHTM");
  QTest::keyClicks(Edit(editor, "edtType"), " Server page, parsed ");
  apptest::Click(&editor, "btnOK");
  EXPECT_FALSE(editor.isVisible());
  EXPECT_EQ(Cells(0), QStringList({"htm", "asp", "php", "shtm"}));
  EXPECT_EQ(Cells(1),
            QStringList({"HTML Document", "Active Server Page", "", " Server page, parsed "}));
}

TEST_F(FileTypeEditorTest, DuplicateAndEmptyEntriesAreAccepted) {
  for (const char* typed : {"htm", ""}) {
    TFileTypeForm editor(*options_, false);
    Open(editor);
    QTest::keyClicks(Edit(editor, "edtExt"), typed);
    apptest::Click(&editor, "btnOK");
  }
  EXPECT_EQ(Cells(0), QStringList({"htm", "asp", "php", "htm", ""}));
  EXPECT_EQ(Cells(1), QStringList({"HTML Document", "Active Server Page", "", "", ""}));
}

TEST_F(FileTypeEditorTest, EnterMovesFromExtensionToTypeAndThenActsAsOK) {
  TFileTypeForm editor(*options_, false);
  Open(editor);
  QLineEdit* extension = Edit(editor, "edtExt");
  QTest::keyClicks(extension, ".XHT");
  QTest::keyClick(extension, Qt::Key_Return);
  EXPECT_TRUE(editor.isVisible());
  EXPECT_EQ(QApplication::focusWidget(), Edit(editor, "edtType"));
  EXPECT_EQ(Cells(0).size(), 3);

  QTest::keyClicks(Edit(editor, "edtType"), "XHTML");
  QTest::keyClick(Edit(editor, "edtType"), Qt::Key_Enter);
  EXPECT_FALSE(editor.isVisible());
  EXPECT_EQ(Cells(0), QStringList({"htm", "asp", "php", "xht"}));
  EXPECT_EQ(Cells(1).last(), "XHTML");
}

TEST_F(FileTypeEditorTest, EscapeInEitherFieldAndCancelLeaveTheListAlone) {
  for (const char* field : {"edtExt", "edtType", ""}) {
    TFileTypeForm editor(*options_, false);
    Open(editor);
    QTest::keyClicks(Edit(editor, "edtExt"), "new");
    if (*field) {
      Edit(editor, field)->setFocus();
      QTest::keyClick(Edit(editor, field), Qt::Key_Escape);
    } else {
      apptest::Click(&editor, "btnCancel");
    }
    EXPECT_FALSE(editor.isVisible()) << field;
  }
  EXPECT_EQ(Cells(0), QStringList({"htm", "asp", "php"}));
}

TEST_F(FileTypeEditorTest, ModifyModeEditsTheTopmostSelectedRow) {
  Select({2, 1});
  TFileTypeForm editor(*options_, true);
  Open(editor);
  EXPECT_EQ(editor.Title(), "Modify File Type");
  EXPECT_EQ(Edit(editor, "edtExt")->text(), "asp");
  EXPECT_EQ(Edit(editor, "edtType")->text(), "Active Server Page");
  Edit(editor, "edtExt")->setText("*.ASPX");
  Edit(editor, "edtType")->clear();
  apptest::Click(&editor, "btnOK");
  EXPECT_EQ(Cells(0), QStringList({"htm", "aspx", "php"}));
  EXPECT_EQ(Cells(1), QStringList({"HTML Document", "", ""}));
}

TEST_F(FileTypeEditorTest, ModifyModeRefillsTheFieldsAtEveryActivation) {
  Select({2});
  TFileTypeForm editor(*options_, true);
  Open(editor);
  EXPECT_EQ(Edit(editor, "edtExt")->text(), "php");
  EXPECT_EQ(Edit(editor, "edtType")->text(), "");
  Edit(editor, "edtExt")->setText("typed");
  Edit(editor, "edtType")->setText("typed too");

  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  EXPECT_EQ(Edit(editor, "edtExt")->text(), "typed");
  editor.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
  EXPECT_EQ(Edit(editor, "edtExt")->text(), "php");
  EXPECT_EQ(Edit(editor, "edtType")->text(), "");
}

TEST_F(FileTypeEditorTest, AddModeKeepsWhatWasTypedAcrossActivations) {
  TFileTypeForm editor(*options_, false);
  Open(editor);
  Edit(editor, "edtExt")->setText("cfm");
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  editor.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
  EXPECT_EQ(Edit(editor, "edtExt")->text(), "cfm");
}

TEST_F(FileTypeEditorTest, HelpOpensTheFileTypeTopic) {
  testsupport::RecordingShell shell;
  TFileTypeForm editor(*options_, false);
  Open(editor);
  QTest::mouseClick(apptest::Child<QLabel>(&editor, "imgHelp"), Qt::LeftButton);
  EXPECT_EQ(shell.requests,
            (std::vector<testsupport::RecordingShell::Request>{{"help", "option.htm#file"}}));
  EXPECT_TRUE(editor.isVisible());
}

}  // namespace
