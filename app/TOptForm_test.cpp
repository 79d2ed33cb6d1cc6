#include "app/TOptForm.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include "app/AppTest.h"
#include "app/FolderTree.h"
#include "app/TAddDirForm.h"
#include "app/TFileTypeForm.h"
#include "testsupport/RecordingShell.h"
#include "storage/vlmOption.h"

namespace {

using apptest::Child;

TOptions SampleOptions() {
  TOptions o;
  o.CustomDir = "/web/start";
  o.LastDir = "/web/last/";
  o.ATag = 1;
  o.WidthHeight = 0;
  o.ProtectBMP = 2;  // any non-zero byte is true
  o.ProtectGIF = 0;
  o.ProtectJPG = 1;
  o.ProtectPNG = 1;
  o.ProtectWebP = 0;
  o.SliceByPixels = 0;
  o.IncludeSubdir = 1;
  o.InitialDirMode = 0;
  o.MinWidth = 16;
  o.MinHeight = -5;
  o.PieHor = 3;
  o.PieVer = 4;
  o.PixWidth = 64;
  o.PixHeight = 48;
  o.SiteRoot = "/web/site";
  o.FileTypes = {{"htm", "HTML Document"}, {"asp", "Active Server Page"}, {"php", ""}};
  return o;
}

class OptionsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { Options = SampleOptions(); }

  void Open() {
    form_ = std::make_unique<TOptForm>();
    form_->show();
    form_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  }
  template <typename T = QLineEdit>
  T* Get(const char* name) const {
    return Child<T>(form_.get(), name);
  }
  void Type(const char* edit, const QString& text) const { Get(edit)->setText(text); }
  // Clicks the radio button on its round mark, as a user does.
  void Choose(const char* radio) const {
    auto* button = Get<QRadioButton>(radio);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(7, button->height() / 2));
  }
  QTreeWidget* list() const { return form_->FileTypeList(); }
  QStringList Cells(int column) const {
    QStringList cells;
    for (int row = 0; row < list()->topLevelItemCount(); ++row) {
      cells << list()->topLevelItem(row)->text(column);
    }
    return cells;
  }
  void Select(std::initializer_list<int> rows) const {
    for (int row : rows) list()->topLevelItem(row)->setSelected(true);
  }
  // Presses OK and returns the messages of the general error handler.
  std::vector<std::string> PressOK() const {
    std::vector<std::string> messages;
    apptest::ModalWatcher watcher([&](QWidget* window) {
      if (auto* box = qobject_cast<QMessageBox*>(window)) {
        messages.push_back(box->text().toStdString());
        box->button(QMessageBox::Ok)->click();
      }
    });
    apptest::Click(form_.get(), "btnOK");
    return messages;
  }

  apptest::ProgramFolder home_;
  std::unique_ptr<TOptForm> form_;
};

TEST_F(OptionsDialogTest, DialogHasItsFrameTabsAndControls) {
  Open();
  EXPECT_EQ(form_->Title(), "Option");
  EXPECT_EQ(form_->ClientArea()->size(), QSize(444, 447));
  EXPECT_TRUE(Get<QLabel>("imgHelp")->isVisible());
  EXPECT_FALSE(Get<QLabel>("imgMin")->isVisible());
  EXPECT_TRUE(Get<QLabel>("imgExit")->isVisible());

  auto* tabs = Get<QTabWidget>("tbcOptions");
  ASSERT_EQ(tabs->count(), 2);
  EXPECT_EQ(tabs->tabText(0), "Protection");
  EXPECT_EQ(tabs->tabText(1), "Preference");
  EXPECT_EQ(tabs->currentWidget(), Get<QWidget>("pPro"));
  EXPECT_TRUE(tabs->isAncestorOf(QApplication::focusWidget()) ||
              QApplication::focusWidget() == tabs);
  tabs->setCurrentIndex(1);
  EXPECT_TRUE(Get<QWidget>("pPre")->isVisible());
  EXPECT_FALSE(Get<QWidget>("pPro")->isVisible());

  const std::pair<const char*, const char*> texts[] = {
      {"rdo10", "Cut images into"},
      {"rdo11", "Cut images into"},
      {"chkATag", "Protect images within <A> tag"},
      {"chkWidthHeight", "Add width and height attribute for each piece of image"},
      {"chkBMP", "BMP(*.bmp)"},
      {"chkGIF", "GIF(*.gif)"},
      {"chkJPG", "JPG(*.jpg,*.jpeg)"},
      {"chkPNG", "PNG(*.png)"},
      {"chkWebP", "WebP(*.webp)"},
      {"rdoTable", "Table of pieces"},
      {"rdoLayered", "Layered picture"},
      {"btnAdd", "Add"},
      {"btnDelete", "Delete"},
      {"btnModify", "Modify"},
      {"rdo20", "User define:"},
      {"btnBrowse", "..."},
      {"rdo21", "Current directory of the system"},
      {"rdo22", "Last opened"},
      {"btnOK", "OK"},
      {"btnCancel", "Cancel"}};
  for (auto [name, text] : texts) EXPECT_EQ(Get<QAbstractButton>(name)->text(), text) << name;

  EXPECT_EQ(list()->headerItem()->text(0), "Extension");
  EXPECT_EQ(list()->headerItem()->text(1), "Type");
  EXPECT_EQ(list()->header()->sectionSize(0), 80);
  // Type takes the rest of the list's width, so no space stays empty.
  EXPECT_GE(list()->header()->sectionSize(1), 160);
  EXPECT_EQ(list()->header()->sectionSize(0) + list()->header()->sectionSize(1),
            list()->viewport()->width());
  EXPECT_EQ(list()->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_EQ(list()->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(list()->editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST_F(OptionsDialogTest, FillingShowsEveryOption) {
  Options.SliceByPixels = 1;
  Open();
  EXPECT_EQ(Get("edtMinWidth")->text(), "16");
  EXPECT_EQ(Get("edtMinHeight")->text(), "-5");
  EXPECT_EQ(Get("edtPieHor")->text(), "3");
  EXPECT_EQ(Get("edtPieVer")->text(), "4");
  EXPECT_EQ(Get("edtPixWidth")->text(), "64");
  EXPECT_EQ(Get("edtPixHeight")->text(), "48");
  EXPECT_TRUE(Get<QRadioButton>("rdo11")->isChecked());
  EXPECT_FALSE(Get<QRadioButton>("rdo10")->isChecked());
  // Both slicing modes stay editable whichever is chosen.
  for (const char* edit : {"edtPieHor", "edtPieVer", "edtPixWidth", "edtPixHeight"}) {
    EXPECT_TRUE(Get(edit)->isEnabled()) << edit;
  }
  EXPECT_TRUE(Get<QCheckBox>("chkATag")->isChecked());
  EXPECT_FALSE(Get<QCheckBox>("chkWidthHeight")->isChecked());
  EXPECT_TRUE(Get<QCheckBox>("chkBMP")->isChecked());
  EXPECT_FALSE(Get<QCheckBox>("chkGIF")->isChecked());
  EXPECT_TRUE(Get<QCheckBox>("chkJPG")->isChecked());
  EXPECT_TRUE(Get<QCheckBox>("chkPNG")->isChecked());
  EXPECT_FALSE(Get<QCheckBox>("chkWebP")->isChecked());
  EXPECT_TRUE(Get<QRadioButton>("rdoTable")->isChecked());
  EXPECT_FALSE(Get<QRadioButton>("rdoLayered")->isChecked());
  EXPECT_EQ(Get("edtCustomDir")->text(), "/web/start");
  EXPECT_EQ(Get("edtSiteRoot")->text(), "/web/site");
  EXPECT_TRUE(Get<QLabel>("lblSiteRoot")->text().startsWith("Site root folder"));
  EXPECT_EQ(Cells(0), QStringList({"htm", "asp", "php"}));
  EXPECT_EQ(Cells(1), QStringList({"HTML Document", "Active Server Page", ""}));
}

TEST_F(OptionsDialogTest, InitialDirectoryModeChoosesTheRadioButtonAndOKKeepsIt) {
  struct Case {
    int32_t mode;
    const char* checked;  // nullptr: none
    bool folderEnabled;
  };
  for (const Case& c : {Case{0, "rdo20", true}, Case{1, "rdo21", false}, Case{2, "rdo22", false},
                        Case{7, nullptr, true}}) {
    Options = SampleOptions();
    Options.InitialDirMode = c.mode;
    Open();
    for (const char* name : {"rdo20", "rdo21", "rdo22"}) {
      const bool expected = c.checked && std::string(name) == c.checked;
      EXPECT_EQ(Get<QRadioButton>(name)->isChecked(), expected) << c.mode << " " << name;
    }
    EXPECT_EQ(Get("edtCustomDir")->isEnabled(), c.folderEnabled) << c.mode;
    EXPECT_EQ(Get<QPushButton>("btnBrowse")->isEnabled(), c.folderEnabled) << c.mode;
    EXPECT_EQ(Get("edtCustomDir")->text(), "/web/start") << c.mode;
    EXPECT_TRUE(PressOK().empty());
    EXPECT_FALSE(form_->isVisible());
    EXPECT_EQ(Options.InitialDirMode, c.mode);
    EXPECT_EQ(Options.CustomDir, "/web/start") << "kept also when the field is disabled";
  }
}

TEST_F(OptionsDialogTest, InitialDirectoryChoiceEnablesTheUserDefinedFolder) {
  Options.InitialDirMode = 1;
  Open();
  Get<QTabWidget>("tbcOptions")->setCurrentIndex(1);
  Choose("rdo20");
  EXPECT_TRUE(Get("edtCustomDir")->isEnabled());
  EXPECT_TRUE(Get<QPushButton>("btnBrowse")->isEnabled());
  Type("edtCustomDir", "/web/other");
  Choose("rdo22");
  EXPECT_FALSE(Get("edtCustomDir")->isEnabled());
  EXPECT_FALSE(Get<QPushButton>("btnBrowse")->isEnabled());
  // The slicing choice enables and disables nothing.
  Choose("rdo11");
  EXPECT_TRUE(Get("edtPieHor")->isEnabled());
  EXPECT_TRUE(PressOK().empty());
  EXPECT_EQ(Options.InitialDirMode, 2);
  EXPECT_EQ(Options.CustomDir, "/web/other");
  EXPECT_EQ(Options.SliceByPixels, 1);
}

TEST_F(OptionsDialogTest, OKTakesEveryValueAndLeavesTheAddFolderFieldsAlone) {
  Open();
  Type("edtMinWidth", "  +20");
  Type("edtMinHeight", "0");
  Choose("rdo11");
  Type("edtPieHor", "-2");
  Type("edtPieVer", "2147483647");
  Type("edtPixWidth", "-2147483648");
  Type("edtPixHeight", "007");
  Get<QCheckBox>("chkATag")->setChecked(false);
  Get<QCheckBox>("chkWidthHeight")->setChecked(true);
  Get<QCheckBox>("chkBMP")->setChecked(false);
  Get<QCheckBox>("chkGIF")->setChecked(true);
  Get<QCheckBox>("chkJPG")->setChecked(false);
  Get<QCheckBox>("chkPNG")->setChecked(false);
  Get<QCheckBox>("chkWebP")->setChecked(true);
  Choose("rdoLayered");
  Get<QRadioButton>("rdo21")->setChecked(true);
  Type("edtCustomDir", " /web/with blanks ");
  Type("edtSiteRoot", "/srv/site root");
  Options.LastDir = "/set/meanwhile/";
  Options.IncludeSubdir = 0;
  EXPECT_TRUE(PressOK().empty());
  EXPECT_FALSE(form_->isVisible());

  TOptions expected = SampleOptions();
  expected.MinWidth = 20;
  expected.MinHeight = 0;
  expected.SliceByPixels = 1;
  expected.PieHor = -2;
  expected.PieVer = 2147483647;
  expected.PixWidth = -2147483647 - 1;
  expected.PixHeight = 7;
  expected.ATag = 0;
  expected.WidthHeight = 1;
  expected.ProtectBMP = 0;
  expected.ProtectGIF = 1;
  expected.ProtectJPG = 0;
  expected.ProtectPNG = 0;
  expected.ProtectWebP = 1;
  expected.Markup = TMarkup::Layered;
  expected.SiteRoot = "/srv/site root";
  expected.InitialDirMode = 1;
  expected.CustomDir = " /web/with blanks ";
  expected.LastDir = "/set/meanwhile/";
  expected.IncludeSubdir = 0;
  EXPECT_EQ(Options, expected);
}

TEST_F(OptionsDialogTest, ABadNumberStopsOKThereAndTheDialogStaysOpen) {
  Open();
  Get<QTabWidget>("tbcOptions")->setCurrentIndex(1);
  Type("edtMinWidth", "30");
  Type("edtMinHeight", "31");
  Choose("rdo11");
  Type("edtPieHor", "5");
  Type("edtPieVer", "abc");
  Type("edtPixWidth", "99");
  Get<QCheckBox>("chkGIF")->setChecked(true);
  Get<QRadioButton>("rdo22")->setChecked(true);
  list()->topLevelItem(0)->setSelected(true);
  apptest::Click(form_.get(), "btnDelete");

  EXPECT_EQ(PressOK(), std::vector<std::string>{"'abc' is not a valid integer value."});
  EXPECT_TRUE(form_->isVisible());
  EXPECT_EQ(Options.MinWidth, 30);
  EXPECT_EQ(Options.MinHeight, 31);
  EXPECT_EQ(Options.SliceByPixels, 1);
  EXPECT_EQ(Options.PieHor, 5);
  EXPECT_EQ(Options.PieVer, 4);
  EXPECT_EQ(Options.PixWidth, 64);
  EXPECT_EQ(Options.ProtectGIF, 0);
  EXPECT_EQ(Options.InitialDirMode, 0);
  EXPECT_EQ(Options.FileTypes.size(), 3u);
  // The field in question is in front, ready to be corrected.
  EXPECT_EQ(Get<QTabWidget>("tbcOptions")->currentIndex(), 0);
  EXPECT_EQ(form_->focusWidget(), Get("edtPieVer"));
  EXPECT_EQ(Get("edtPieVer")->selectedText(), "abc");

  Type("edtPieVer", "6");
  EXPECT_TRUE(PressOK().empty());
  EXPECT_FALSE(form_->isVisible());
  EXPECT_EQ(Options.PieVer, 6);
  EXPECT_EQ(Options.PixWidth, 99);
  EXPECT_EQ(Options.InitialDirMode, 2);
  EXPECT_EQ(Options.FileTypes.size(), 2u);
}

TEST_F(OptionsDialogTest, OnlyWholeDecimalNumbersWithin32BitsAreTaken) {
  Open();
  for (const char* bad : {"", " ", "12 ", "1.5", "1e3", "$10", "0x10", "- 3", "+", "2147483648",
                          "-2147483649", "\xEF\xBC\x91"}) {
    const QString text = QString::fromUtf8(bad);
    Type("edtMinWidth", text);
    EXPECT_EQ(PressOK(), std::vector<std::string>{"'" + text.toStdString() +
                                                  "' is not a valid integer value."})
        << bad;
    EXPECT_EQ(Options.MinWidth, 16) << bad;
  }
}

TEST_F(OptionsDialogTest, CancelAndCloseKeepEveryOption) {
  for (const char* way : {"btnCancel", "imgExit", "Escape"}) {
    Options = SampleOptions();
    Open();
    Type("edtMinWidth", "1");
    Get<QCheckBox>("chkATag")->setChecked(false);
    Type("edtCustomDir", "/elsewhere");
    Select({0, 2});
    apptest::Click(form_.get(), "btnDelete");
    form_->AddFileType("new", "New");
    if (std::string(way) == "imgExit") {
      QTest::mouseClick(Get<QLabel>("imgExit"), Qt::LeftButton);
    } else if (std::string(way) == "Escape") {
      QTest::keyClick(Get("edtMinWidth"), Qt::Key_Escape);
    } else {
      apptest::Click(form_.get(), way);
    }
    EXPECT_FALSE(form_->isVisible()) << way;
    EXPECT_EQ(Options, SampleOptions()) << way;
  }
}

TEST_F(OptionsDialogTest, DeleteRemovesEverySelectedRowAtOnce) {
  Options.FileTypes = {{"a", "A"}, {"b", "B"}, {"c", "C"}, {"d", "D"}, {"e", "E"}};
  Open();
  apptest::Click(form_.get(), "btnDelete");  // nothing selected
  EXPECT_EQ(Cells(0).size(), 5);
  Select({4, 0, 2});
  apptest::Click(form_.get(), "btnDelete");
  EXPECT_EQ(Cells(0), QStringList({"b", "d"}));
  EXPECT_TRUE(PressOK().empty());
  ASSERT_EQ(Options.FileTypes.size(), 2u);
  EXPECT_EQ(Options.FileTypes[0].Extension, "b");
  EXPECT_EQ(Options.FileTypes[1].Description, "D");
}

TEST_F(OptionsDialogTest, AddOpensTheEditorAndOKStoresTheNewRow) {
  Open();
  apptest::ModalWatcher watcher([](QWidget* window) {
    auto* editor = qobject_cast<TFileTypeForm*>(window);
    if (!editor) return;
    EXPECT_FALSE(editor->ModifyMode());
    EXPECT_EQ(editor->Title(), "Add File Type");
    QTest::keyClicks(Child<QLineEdit>(editor, "edtExt"), "*.JSP");
    apptest::Click(editor, "btnOK");
  });
  apptest::Click(form_.get(), "btnAdd");
  EXPECT_EQ(watcher.seen(), std::vector<std::string>{"TFileTypeForm"});
  EXPECT_EQ(Cells(0), QStringList({"htm", "asp", "php", "jsp"}));
  EXPECT_EQ(Cells(1).last(), "");
  EXPECT_EQ(Options.FileTypes.size(), 3u) << "not before OK";
  EXPECT_TRUE(PressOK().empty());
  ASSERT_EQ(Options.FileTypes.size(), 4u);
  EXPECT_EQ(Options.FileTypes[3].Extension, "jsp");
  EXPECT_EQ(Options.FileTypes[3].Description, "");
}

TEST_F(OptionsDialogTest, ModifyEditsTheTopmostSelectedRowOrDoesNothing) {
  Open();
  std::vector<std::pair<QString, QString>> shown;
  apptest::ModalWatcher watcher([&](QWidget* window) {
    auto* editor = qobject_cast<TFileTypeForm*>(window);
    if (!editor) return;
    EXPECT_TRUE(editor->ModifyMode());
    shown.emplace_back(Child<QLineEdit>(editor, "edtExt")->text(),
                       Child<QLineEdit>(editor, "edtType")->text());
    Child<QLineEdit>(editor, "edtType")->setText("Changed");
    apptest::Click(editor, "btnOK");
  });
  apptest::Click(form_.get(), "btnModify");
  QTest::qWait(20);
  EXPECT_TRUE(watcher.seen().empty()) << "no row selected";

  Select({2, 1, 0});
  apptest::Click(form_.get(), "btnModify");
  EXPECT_EQ(shown, (std::vector<std::pair<QString, QString>>{{"htm", "HTML Document"}}));
  EXPECT_EQ(Cells(1), QStringList({"Changed", "Active Server Page", ""}));
}

TEST_F(OptionsDialogTest, TextsThatAreNoUtf8SurviveOKUnlessChanged) {
  Options.CustomDir = "/web/caf\xE9";
  Options.FileTypes = {{"htm", "Document \xE9t\xE9"}, {"php", "Page \xE9"}};
  Open();
  Select({0});
  form_->SetSelectedFileType("htm", form_->FileTypeList()->topLevelItem(0)->text(1).toStdString());
  Select({1});
  form_->FileTypeList()->topLevelItem(0)->setSelected(false);
  form_->SetSelectedFileType("php", "Page e");
  EXPECT_TRUE(PressOK().empty());
  EXPECT_EQ(Options.CustomDir, "/web/caf\xE9");
  ASSERT_EQ(Options.FileTypes.size(), 2u);
  EXPECT_EQ(Options.FileTypes[0].Description, "Document \xE9t\xE9");
  EXPECT_EQ(Options.FileTypes[1].Description, "Page e");
}

TEST_F(OptionsDialogTest, BrowseChoosesTheUserDefinedFolderInTheChooser) {
  QDir().mkpath(QString::fromStdString(home_ / "site/sub"));
  Options.CustomDir = home_ / "site/sub";
  Open();
  std::vector<std::string> shownAt;
  std::function<void(TAddDirForm&)> action;
  apptest::ModalWatcher watcher([&](QWidget* window) {
    if (auto* chooser = qobject_cast<TAddDirForm*>(window)) {
      EXPECT_FALSE(chooser->AddMode);
      EXPECT_EQ(chooser->Title(), "Select Initial Directory");
      shownAt.push_back(chooser->Tree()->SelectedPath());
      action(*chooser);
    }
  });
  action = [&](TAddDirForm& chooser) {
    chooser.Tree()->SelectPath(home_ / "site");
    apptest::Click(&chooser, "btnOK");
  };
  apptest::Click(form_.get(), "btnBrowse");
  EXPECT_EQ(Get("edtCustomDir")->text().toStdString(), home_ / "site");
  EXPECT_EQ(Options.CustomDir, home_ / "site/sub") << "not before OK";

  action = [&](TAddDirForm& chooser) { apptest::Click(&chooser, "btnCancel"); };
  apptest::Click(form_.get(), "btnBrowse");
  EXPECT_EQ(Get("edtCustomDir")->text().toStdString(), home_ / "site");

  EXPECT_EQ(shownAt, (std::vector<std::string>{home_ / "site/sub/", home_ / "site/"}));
  EXPECT_TRUE(PressOK().empty());
  EXPECT_EQ(Options.CustomDir, home_ / "site");
  EXPECT_EQ(Options.LastDir, "/web/last/");
  EXPECT_EQ(Options.IncludeSubdir, 1);
}

TEST_F(OptionsDialogTest, HelpOpensTheOptionsTopic) {
  testsupport::RecordingShell shell;
  Open();
  QTest::mouseClick(Get<QLabel>("imgHelp"), Qt::LeftButton);
  EXPECT_EQ(shell.requests,
            (std::vector<testsupport::RecordingShell::Request>{{"help", "option.htm"}}));
  EXPECT_TRUE(form_->isVisible());
}

}  // namespace
