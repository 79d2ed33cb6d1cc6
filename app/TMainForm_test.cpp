#include "app/TMainForm.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <signal.h>
#include <sys/stat.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <cstring>
#include <functional>

#include "app/AppTest.h"
#include "app/TAboutForm.h"
#include "app/TAddDirForm.h"
#include "app/TDirForm.h"
#include "app/TErrorForm.h"
#include "app/TFileTypeForm.h"
#include "app/TOptForm.h"
#include "app/TerminationSignal.h"
#include "engine/BmpCodec.h"
#include "testsupport/TestImages.h"
#include "engine/vlmKernel.h"
#include "platform/File.h"
#include "testsupport/RecordingShell.h"
#include "storage/GlobalLib.h"
#include "storage/vlmOption.h"

namespace {

using Paths = std::vector<std::string>;

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = SetShowErrorHandler(&TErrorForm::Show);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    form_ = std::make_unique<TMainForm>(Paths{});
  }
  void TearDown() override {
    form_.reset();
    QLocale::setDefault(QLocale::system());
    SetShowErrorHandler(previous_);
  }

  QTreeWidget* list() const { return form_->FileList(); }
  // The texts of column `column`, row by row.
  QStringList Column(int column) const {
    QStringList texts;
    for (int row = 0; row < list()->topLevelItemCount(); ++row) {
      texts << list()->topLevelItem(row)->text(column);
    }
    return texts;
  }
  Paths Pages(int count, const std::string& folder = "site") const {
    Paths pages;
    for (int i = 1; i <= count; ++i) {
      pages.push_back(home_.Write(folder + "/p" + std::to_string(i) + ".htm", "page"));
    }
    return pages;
  }

  apptest::ProgramFolder home_;
  TShowErrorHandler previous_;
  std::unique_ptr<TMainForm> form_;
};

TEST_F(MainFormTest, WindowHasItsToolBarAndListColumns) {
  form_->show();
  EXPECT_EQ(form_->Title(), "Velmora 1.0");
  EXPECT_EQ(form_->ClientArea()->size(), QSize(523, 381));
  for (const char* name : {"imgHelp", "imgMin", "imgExit"}) {
    EXPECT_TRUE(apptest::Child<QLabel>(form_.get(), name)->isVisible()) << name;
  }
  const std::pair<const char*, const char*> buttons[] = {
      {"btnAdd", "Add Files"},     {"btnAddDir", "Add Dir"}, {"btnDel", "Delete Files"},
      {"btnDelAll", "Delete All"}, {"btnStart", "Start"},    {"btnOption", "Option"},
      {"btnPre", "Preview"},       {"btnHelp", "Help"},      {"btnAbout", "About"}};
  int left = -1;
  for (auto [name, hint] : buttons) {
    auto* button = apptest::Child<QToolButton>(form_.get(), name);
    EXPECT_EQ(button->size(), QSize(51, 51)) << name;
    EXPECT_EQ(button->toolTip(), hint);
    EXPECT_FALSE(button->icon().isNull()) << name;
    EXPECT_GT(button->x(), left) << name;
    left = button->x();
  }
  QTreeWidget* files = list();
  EXPECT_EQ(files->objectName(), "lvFiles");
  const QStringList captions = {"FileName", "Path", "Size", "Final Size"};
  const int widths[] = {130, 210, 70, 70};
  for (int column = 0; column < 4; ++column) {
    EXPECT_EQ(files->headerItem()->text(column), captions[column]);
    EXPECT_EQ(files->header()->sectionSize(column), widths[column]);
  }
  EXPECT_EQ(files->palette().color(QPalette::Base), QColor(240, 240, 240));
  EXPECT_EQ(files->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_EQ(files->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_FALSE(files->isSortingEnabled());
  // The list's shortcuts work from the start, without a click into it.
  QApplication::setActiveWindow(form_.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  EXPECT_EQ(QApplication::focusWidget(), files);
}

TEST_F(MainFormTest, AddedPagesBecomeRowsWithNameFolderAndSize) {
  const std::string big = home_.Write("site/big.htm", std::string(1234567, 'x'));
  const std::string small = home_.Write("site/sub/Small.HTML", "12345");
  const std::string other = home_.Write("site/notes.txt", "");
  AddFileList(*form_, {big, home_ / "site/missing.htm", home_ / "site", small, other});
  EXPECT_EQ(form_->FilePaths(), (Paths{big, small, other}));
  EXPECT_EQ(Column(0), QStringList({"big.htm", "Small.HTML", "notes.txt"}));
  EXPECT_EQ(Column(1), QStringList({QString::fromStdString(home_ / "site"),
                                    QString::fromStdString(home_ / "site/sub"),
                                    QString::fromStdString(home_ / "site")}));
  EXPECT_EQ(Column(2), QStringList({"1,234,567", "5", "0"}));
  EXPECT_EQ(Column(3), QStringList({"", "", ""}));
  QTreeWidgetItem* row = list()->topLevelItem(0);
  EXPECT_EQ(row->textAlignment(2) & Qt::AlignHorizontal_Mask, Qt::AlignRight);
  EXPECT_EQ(row->textAlignment(3) & Qt::AlignHorizontal_Mask, Qt::AlignRight);
  EXPECT_FALSE(row->icon(0).isNull());
  // Every cell of a row hints at the full path.
  for (int column = 0; column < 4; ++column) {
    EXPECT_EQ(list()->topLevelItem(1)->toolTip(column).toStdString(), small) << column;
  }
}

TEST_F(MainFormTest, APageIsListedOnceWhateverNameLeadsToIt) {
  const std::string upper = home_.Write("site/A.HTM", "A");
  const std::string lower = home_.Write("site/a.htm", "a");
  std::filesystem::create_symlink(upper, home_ / "site/link.htm");
  AddFileList(*form_, {upper, upper, home_ / "site/link.htm", home_ / "site/../site/A.HTM"});
  EXPECT_EQ(form_->FilePaths(), Paths{upper});
  EXPECT_FALSE(form_->IsListed(lower)) << "another file";
  AddFileList(*form_, {lower});
  EXPECT_EQ(form_->FilePaths(), (Paths{upper, lower}));
  list()->topLevelItem(1)->setSelected(true);
  apptest::Click(form_.get(), "btnDel");

  const Paths more = Pages(1);
  AddFileList(*form_, more);
  list()->topLevelItem(0)->setSelected(true);
  apptest::Click(form_.get(), "btnDel");
  AddFileList(*form_, {lower});
  EXPECT_EQ(form_->FilePaths(), (Paths{more[0], lower}));
}

TEST_F(MainFormTest, DeleteFilesRemovesTheSelectedRowsAndTheirPaths) {
  const Paths pages = Pages(5);
  AddFileList(*form_, pages);
  apptest::Click(form_.get(), "btnDel");  // nothing selected
  EXPECT_EQ(form_->FilePaths().size(), 5u);

  list()->topLevelItem(1)->setSelected(true);
  list()->topLevelItem(3)->setSelected(true);
  apptest::Click(form_.get(), "btnDel");
  EXPECT_EQ(form_->FilePaths(), (Paths{pages[0], pages[2], pages[4]}));
  EXPECT_EQ(Column(0), QStringList({"p1.htm", "p3.htm", "p5.htm"}));
  for (const std::string& page : pages) EXPECT_TRUE(platform::FileExists(page));

  apptest::Click(form_.get(), "btnDelAll");
  EXPECT_TRUE(form_->FilePaths().empty());
  EXPECT_EQ(list()->topLevelItemCount(), 0);
  EXPECT_FALSE(form_->IsListed(pages[0]));
}

TEST_F(MainFormTest, FinalSizeIsFormattedAndReplaced) {
  AddFileList(*form_, Pages(2));
  form_->SetFinalSize(1, 1234567);
  EXPECT_EQ(Column(3), QStringList({"", "1,234,567"}));
  form_->SetFinalSize(1, 0);
  form_->SetFinalSize(0, 12345);
  form_->SetFinalSize(7, 1);  // no such row
  EXPECT_EQ(Column(3), QStringList({"12,345", "0"}));
}

TEST_F(MainFormTest, AFileThatCannotBeMeasuredStopsTheAddingWithError201) {
  const Paths pages = Pages(3);
  platform::File lock;
  ASSERT_TRUE(lock.Open(pages[1], platform::Access::Read, platform::Sharing::Exclusive));
  std::vector<std::pair<QString, QString>> errors;
  apptest::ModalWatcher watcher([&](QWidget* window) {
    if (!qobject_cast<TErrorForm*>(window)) return;
    errors.emplace_back(apptest::Child<QLabel>(window, "lblTitle")->text(),
                        apptest::Child<QLabel>(window, "lblErrorMsg")->text());
    apptest::Click(window, "btnOK");
  });
  AddFileList(*form_, pages);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].first, "Error #201");
  EXPECT_EQ(errors[0].second.toStdString(), "Error adding files: Can not open file " + pages[1]);
  EXPECT_EQ(form_->FilePaths(), Paths{pages[0]});
  EXPECT_EQ(Column(0), QStringList({"p1.htm"}));

  lock.Close();
  AddFileList(*form_, pages);
  EXPECT_EQ(form_->FilePaths(), pages);
}

TEST_F(MainFormTest, AddPathsReadsFoldersFirstThenAddsThePagesNamed) {
  const Paths folderPages = Pages(2, "folder");
  const std::string named = home_.Write("named.txt", "any extension");
  form_->AddPaths({named, home_ / "folder", home_ / "missing", ""});
  ASSERT_EQ(form_->FilePaths().size(), 3u);
  Paths fromFolder(form_->FilePaths().begin(), form_->FilePaths().begin() + 2);
  std::sort(fromFolder.begin(), fromFolder.end());
  EXPECT_EQ(fromFolder, folderPages);
  EXPECT_EQ(form_->FilePaths()[2], named);
}

TEST_F(MainFormTest, PreviewOpensTheSelectedPagesInRowOrder) {
  testsupport::RecordingShell shell;
  const Paths pages = Pages(4);
  AddFileList(*form_, pages);
  apptest::Click(form_.get(), "btnPre");
  EXPECT_TRUE(shell.requests.empty());
  list()->topLevelItem(3)->setSelected(true);
  list()->topLevelItem(0)->setSelected(true);
  list()->topLevelItem(2)->setSelected(true);
  apptest::Click(form_.get(), "btnPre");
  EXPECT_EQ(shell.requests, (std::vector<testsupport::RecordingShell::Request>{
                                {"page", pages[0]}, {"page", pages[2]}, {"page", pages[3]}}));
}

// A desktop whose browser goes missing after `working` pages.
class VanishingBrowserShell final : public platform::Shell {
 public:
  explicit VanishingBrowserShell(int working) : working_(working), previous_(SetShell(this)) {}
  ~VanishingBrowserShell() override { SetShell(previous_); }
  void OpenLink(const std::string&) override {}
  void OpenHelpTopic(const std::string&) override {}
  void OpenPage(const std::string& path) override {
    if (static_cast<int>(opened.size()) == working_) throw Exception("No web browser for " + path);
    opened.push_back(path);
  }
  std::vector<std::string> opened;

 private:
  int working_;
  Shell* previous_;
};

TEST_F(MainFormTest, PreviewStopsAtTheRowWhoseBrowserIsMissingAndSaysSo) {
  VanishingBrowserShell shell(1);
  const Paths pages = Pages(3);
  AddFileList(*form_, pages);
  for (int row = 0; row < 3; ++row) list()->topLevelItem(row)->setSelected(true);
  std::vector<std::string> messages;
  apptest::ModalWatcher watcher([&](QWidget* window) {
    if (auto* box = qobject_cast<QMessageBox*>(window)) {
      messages.push_back(box->text().toStdString());
      box->button(QMessageBox::Ok)->click();
    }
  });
  apptest::Click(form_.get(), "btnPre");
  EXPECT_EQ(shell.opened, Paths{pages[0]});
  EXPECT_EQ(messages, Paths{"No web browser for " + pages[1] + "."});
}

TEST_F(MainFormTest, BothHelpButtonsOpenTheMainTopic) {
  testsupport::RecordingShell shell;
  form_->show();
  apptest::Click(form_.get(), "btnHelp");
  QTest::mouseClick(apptest::Child<QLabel>(form_.get(), "imgHelp"), Qt::LeftButton);
  EXPECT_EQ(shell.requests, (std::vector<testsupport::RecordingShell::Request>{{"help", "main.htm"},
                                                                            {"help", "main.htm"}}));
}

TEST_F(MainFormTest, EscapeDoesNotEndTheProgramTheCloseButtonDoes) {
  form_->show();
  QTest::keyClick(list(), Qt::Key_Escape);
  QTest::keyClick(form_.get(), Qt::Key_Escape);
  EXPECT_TRUE(form_->isVisible());
  QTest::mouseClick(apptest::Child<QLabel>(form_.get(), "imgExit"), Qt::LeftButton);
  EXPECT_FALSE(form_->isVisible());
}

TEST_F(MainFormTest, StartWithAnEmptyListOpensNoWindow) {
  apptest::ModalWatcher watcher([](QWidget* window) { window->close(); });
  apptest::Click(form_.get(), "btnStart");
  QTest::qWait(20);
  EXPECT_TRUE(watcher.seen().empty());
}

TEST_F(MainFormTest, OptionsAreSavedWhenTheWindowGoes) {
  home_.WriteOptions(false, "\n");
  form_.reset();
  form_ = std::make_unique<TMainForm>(Paths{});
  Options.LastDir = "/web/site/";
  form_.reset();
  const std::string saved = home_.dir().Read("vlm.ini");
  EXPECT_NE(saved.find("\r\nLastDir=/web/site/\r\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("\r\nFileType=html,HTML Document\r\n"), std::string::npos);
}

TEST_F(MainFormTest, OptionsChangedThroughTheWindowsReachTheFileWhenTheProgramEnds) {
  const std::string before = home_.dir().Read("vlm.ini");
  apptest::ModalWatcher watcher([](QWidget* window) {
    if (qobject_cast<TOptForm*>(window)) {
      apptest::Child<QLineEdit>(window, "edtMinWidth")->setText("120");
      apptest::Child<QLineEdit>(window, "edtPieVer")->setText("5");
      apptest::Child<QRadioButton>(window, "rdo20")->setChecked(true);
      apptest::Child<QLineEdit>(window, "edtCustomDir")->setText("/srv/www");
      // The editor is modal too: open it once this call has returned.
      QTimer::singleShot(0, window, [window] { apptest::Click(window, "btnAdd"); });
    } else if (qobject_cast<TFileTypeForm*>(window)) {
      apptest::Child<QLineEdit>(window, "edtExt")->setText("*.PHP");
      apptest::Child<QLineEdit>(window, "edtType")->setText("PHP Page, dynamic");
      apptest::Click(window, "btnOK");
      QTimer::singleShot(0, [] { apptest::Click(QApplication::activeModalWidget(), "btnOK"); });
    }
  });
  apptest::Click(form_.get(), "btnOption");
  EXPECT_EQ(watcher.seen(), (std::vector<std::string>{"TOptForm", "TFileTypeForm"}));
  EXPECT_EQ(Options.PieVer, 5);
  EXPECT_EQ(home_.dir().Read("vlm.ini"), before) << "written only at the end";

  form_.reset();
  EXPECT_EQ(home_.dir().Read("vlm.ini"),
            "[Velmora options 2]\r\nATag=1\r\nWidthHeight=1\r\nProtectBMP=1\r\nProtectGIF=1\r\n"
            "ProtectJPG=1\r\nProtectPNG=1\r\nProtectWebP=1\r\nSliceByPixels=0\r\n"
            "InitialDirMode=0\r\nMinWidth=120\r\nMinHeight=16\r\nPieHor=3\r\nPieVer=5\r\n"
            "PixWidth=64\r\nPixHeight=64\r\nCustomDir=/srv/www\r\nLastDir=\r\n"
            "IncludeSubdir=1\r\nSiteRoot=\r\nMarkup=table\r\nFileType=htm,HTML Document\r\n"
            "FileType=html,HTML Document\r\nFileType=php,PHP Page, dynamic\r\n");
}

TEST_F(MainFormTest, ASlicingValueTheSlicerCannotUseIsRefusedWhenARunStarts) {
  const std::string page = home_.Write("site/p.htm", "<html><head></head><body></body></html>");
  AddFileList(*form_, {page});
  std::vector<std::string> messages;
  apptest::ModalWatcher watcher([&](QWidget* window) {
    if (qobject_cast<TOptForm*>(window)) {
      apptest::Child<QLineEdit>(window, "edtPieVer")->setText("0");
      apptest::Click(window, "btnOK");
    } else if (auto* box = qobject_cast<QMessageBox*>(window)) {
      messages.push_back(box->text().toStdString());
      box->button(QMessageBox::Ok)->click();
    }
  });
  apptest::Click(form_.get(), "btnOption");
  EXPECT_TRUE(messages.empty()) << "the dialog takes any whole number";
  EXPECT_EQ(Options.PieVer, 0);
  apptest::Click(form_.get(), "btnStart");
  EXPECT_EQ(messages, std::vector<std::string>{"Slicing Mode \"Cut images into 3 x 0 pieces\": the "
                                               "number of pieces down is 0; it must be at least "
                                               "1. Change it in the options."});
  EXPECT_EQ(home_.dir().Read("site/p.htm"), "<html><head></head><body></body></html>");
  EXPECT_EQ(Column(3), QStringList({""}));
}

TEST(MainForm, OptionsThatCannotBeLoadedStopTheWindowWithFileAndCause) {
  apptest::ProgramFolder home;
  std::remove((home / "vlm.ini").c_str());
  try {
    TMainForm form({});
    FAIL() << "made without options";
  } catch (const std::exception& error) {
    EXPECT_EQ(std::string(error.what()),
              "Cannot open file \"" + home / "vlm.ini" + "\". No such file or directory");
  }
  home.Write("vlm.ini", "1\r\n1\r\nyes\r\n");
  try {
    TMainForm form({});
    FAIL() << "made with bad options";
  } catch (const std::exception& error) {
    EXPECT_EQ(std::string(error.what()), "Error in the options file \"" + home / "vlm.ini" +
                                             "\": 'yes' is not a valid integer value");
  }
  EXPECT_EQ(home.dir().Read("vlm.ini"), "1\r\n1\r\nyes\r\n");
}

TEST(MainForm, MenuStartWithoutHandOffFileShowsOneErrorAndStartsNothing) {
  apptest::ProgramFolder home;
  std::vector<std::string> messages;
  apptest::ModalWatcher watcher([&](QWidget* window) {
    if (auto* box = qobject_cast<QMessageBox*>(window)) {
      messages.push_back(box->text().toStdString());
      box->button(QMessageBox::Ok)->click();
    }
  });
  TMainForm form({"/menu"});
  form.show();
  ASSERT_TRUE(apptest::WaitFor([&] { return !messages.empty(); }));
  QTest::qWait(20);
  EXPECT_EQ(messages, std::vector<std::string>{"Cannot open file \"" + home / "files.tmp" +
                                               "\". No such file or directory."});
  EXPECT_EQ(watcher.seen(), std::vector<std::string>{"QMessageBox"});
  EXPECT_TRUE(form.FilePaths().empty());
  EXPECT_TRUE(form.isVisible());
}

// Types `names` into the name field of the file dialog `window` in `folder`
// and presses its Open or Save button, as a user does. The press comes
// after the caller has returned, so that the messages it may raise can be
// answered.
void Pick(QWidget* window, const std::string& folder, const QStringList& names) {
  auto* dialog = qobject_cast<QFileDialog*>(window);
  ASSERT_NE(dialog, nullptr);
  dialog->setDirectory(QString::fromStdString(folder));
  QStringList quoted;
  for (const QString& name : names) quoted << '"' + name + '"';
  apptest::Child<QLineEdit>(dialog, "fileNameEdit")
      ->setText(names.size() == 1 ? names[0] : quoted.join(' '));
  // Typing selects the names it finds in the list, but only once the list
  // has read the folder, and the dialog then reports them in the list's
  // order. Clearing that selection keeps the typed names in their order
  // however fast the folder was read.
  apptest::Child<QAbstractItemView>(dialog, "listView")->clearSelection();
  QPushButton* button =
      apptest::Child<QDialogButtonBox>(dialog, "buttonBox")
          ->button(dialog->acceptMode() == QFileDialog::AcceptSave ? QDialogButtonBox::Save
                                                                   : QDialogButtonBox::Open);
  QTimer::singleShot(0, button, &QPushButton::click);
}

// Answers a message box with `answer` and notes its text.
void Answer(QMessageBox* box, QMessageBox::StandardButton answer,
            std::vector<std::string>& messages) {
  messages.push_back(box->text().toStdString());
  QTimer::singleShot(0, box->button(answer), &QAbstractButton::click);
}

class MainFormFilesTest : public MainFormTest {
 protected:
  QAction* Action(const char* name) const { return apptest::Child<QAction>(form_.get(), name); }
  // Presses the key on the list as a user does after clicking into it:
  // with the main window active and the list holding the focus.
  void KeyOnList(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    form_->show();
    QApplication::setActiveWindow(form_.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    list()->setFocus();
    QTest::keyClick(list(), key, modifiers);
  }
  std::vector<std::string> messages_;
};

TEST_F(MainFormFilesTest, AddFilesOffersTheKnownTypesAndAddsTheChosenFilesInOrder) {
  const Paths pages = Pages(3);
  home_.Write("elsewhere/e.htm", "e");
  Options.InitialDirMode = 2;
  Options.LastDir = home_ / "site/";
  int shown = 0;
  apptest::ModalWatcher watcher([&](QWidget* window) {
    auto* dialog = qobject_cast<QFileDialog*>(window);
    if (!dialog) return;
    ++shown;
    EXPECT_EQ(dialog->objectName(), "dlgAddFiles");
    EXPECT_EQ(
        dialog->nameFilters(),
        QStringList({"HTML Document (*.htm) (*.htm)", "HTML Document (*.html) (*.html)",
                     "All Known Types (*.htm;*.html) (*.htm *.html)", "Any File(*.*) (*.*)"}));
    // The dialog shows the entries' names only.
    EXPECT_EQ(dialog->selectedNameFilter(), "All Known Types (*.htm;*.html)");
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFiles);
    if (shown == 1) {
      EXPECT_EQ(dialog->directory().absolutePath().toStdString(), home_ / "site");
      Pick(dialog, home_ / "site", {"p3.htm", "p1.htm"});
    } else if (shown == 2) {
      EXPECT_EQ(dialog->directory().absolutePath().toStdString(), home_ / "elsewhere");
      dialog->reject();
    } else {
      // An unknown start-folder mode leaves the dialog where it was.
      EXPECT_EQ(dialog->directory().absolutePath().toStdString(), home_ / "elsewhere");
      dialog->reject();
    }
  });
  apptest::Click(form_.get(), "btnAdd");
  EXPECT_EQ(form_->FilePaths(), (Paths{pages[2], pages[0]}));
  Options.InitialDirMode = 0;
  Options.CustomDir = home_ / "elsewhere";
  apptest::Click(form_.get(), "btnAdd");  // cancelled: nothing changes
  Options.InitialDirMode = 9;
  Options.CustomDir = home_ / "site";
  apptest::Click(form_.get(), "btnAdd");
  EXPECT_EQ(shown, 3);
  EXPECT_EQ(form_->FilePaths(), (Paths{pages[2], pages[0]}));
}

TEST_F(MainFormFilesTest, AddFilesWithoutTypesPreselectsAllKnownTypes) {
  Options.FileTypes.clear();
  apptest::ModalWatcher watcher([&](QWidget* window) {
    auto* dialog = qobject_cast<QFileDialog*>(window);
    if (!dialog) return;
    EXPECT_EQ(dialog->nameFilters(), QStringList({"All Known Types () ()", "Any File(*.*) (*.*)"}));
    EXPECT_EQ(dialog->selectedNameFilter(), "All Known Types ()");
    dialog->reject();
  });
  apptest::Click(form_.get(), "btnAdd");
  EXPECT_EQ(watcher.seen(), std::vector<std::string>{"TFileDialog"});
}

TEST_F(MainFormFilesTest, AddFilesRefusesAReadOnlyPageAndStaysOpen) {
  const Paths pages = Pages(1);
  ASSERT_EQ(::chmod(pages[0].c_str(), 0444), 0);
  QFileDialog* dialog = nullptr;
  apptest::ModalWatcher watcher([&](QWidget* window) {
    if (auto* box = qobject_cast<QMessageBox*>(window)) {
      EXPECT_TRUE(dialog && dialog->isVisible());
      Answer(box, QMessageBox::Ok, messages_);
      QTimer::singleShot(0, dialog, &QDialog::reject);
    } else if ((dialog = qobject_cast<QFileDialog*>(window))) {
      Pick(dialog, home_ / "site", {"p1.htm"});
    }
  });
  apptest::Click(form_.get(), "btnAdd");
  EXPECT_EQ(messages_, std::vector<std::string>{
                           pages[0] + "\nThis file is read-only, so it cannot be changed.\n"
                                      "Make it writable, or choose another file."});
  EXPECT_TRUE(form_->FilePaths().empty());
}

TEST_F(MainFormFilesTest, ListFilesSaveEveryRowAndLoadOnlyExistingFiles) {
  const Paths pages = Pages(3);
  AddFileList(*form_, pages);
  std::vector<std::string> dialogs;
  apptest::ModalWatcher watcher([&](QWidget* window) {
    if (auto* box = qobject_cast<QMessageBox*>(window)) {
      Answer(box, QMessageBox::Yes, messages_);
    } else if (auto* dialog = qobject_cast<QFileDialog*>(window)) {
      dialogs.push_back(dialog->objectName().toStdString());
      EXPECT_EQ(dialog->nameFilters(), QStringList({"List Files(*.lst) (*.lst)"}));
      EXPECT_EQ(dialog->defaultSuffix(), "lst");
      Pick(dialog, home_.dir().path(), {"pages"});
    }
  });
  Action("mnuSL")->trigger();
  EXPECT_EQ(messages_, std::vector<std::string>{home_ / "pages.lst" +
                                                "\nThis file does not exist.\nDo you want to "
                                                "create it?"});
  EXPECT_EQ(home_.dir().Read("pages.lst"),
            pages[0] + "\r\n" + pages[1] + "\r\n" + pages[2] + "\r\n");

  // A folder, a missing file, an empty line and a page: only the page is
  // listed, in place of the rows there were.
  home_.Write("pages.lst", home_ / "site\n" + home_ / "gone.htm\r\n\r" + pages[1]);
  Action("mnuLL")->trigger();
  EXPECT_EQ(form_->FilePaths(), Paths{pages[1]});

  // An empty list replaces the file, after asking, by an empty one.
  messages_.clear();
  Action("mnuDelAll")->trigger();
  Action("mnuSL")->trigger();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_NE(messages_[0].find("already exists"), std::string::npos) << messages_[0];
  EXPECT_EQ(home_.dir().Read("pages.lst"), "");
  EXPECT_EQ(dialogs, (std::vector<std::string>{"dlgSaveList", "dlgOpenList", "dlgSaveList"}));
}

TEST_F(MainFormFilesTest, AReadOnlyListIsNotOverwrittenAndACancelChangesNothing) {
  const Paths pages = Pages(2);
  AddFileList(*form_, pages);
  const std::string list = home_.Write("kept.lst", "kept\r\n");
  ASSERT_EQ(::chmod(list.c_str(), 0444), 0);
  QFileDialog* dialog = nullptr;
  apptest::ModalWatcher watcher([&](QWidget* window) {
    if (auto* box = qobject_cast<QMessageBox*>(window)) {
      Answer(box, QMessageBox::Ok, messages_);
      QTimer::singleShot(0, dialog, &QDialog::reject);
    } else if ((dialog = qobject_cast<QFileDialog*>(window))) {
      if (dialog->acceptMode() == QFileDialog::AcceptSave) {
        Pick(dialog, home_.dir().path(), {"kept.lst"});
      } else {
        dialog->reject();
      }
    }
  });
  Action("mnuSL")->trigger();
  EXPECT_EQ(messages_, std::vector<std::string>{list + "\nThis file is read-only, so it cannot "
                                                       "be replaced.\nMake it writable, or "
                                                       "choose another name."});
  EXPECT_EQ(home_.dir().Read("kept.lst"), "kept\r\n");
  Action("mnuLL")->trigger();  // cancelled: the list stays
  EXPECT_EQ(form_->FilePaths(), pages);
}

TEST_F(MainFormFilesTest, FileDialogsShowSizeAndTypeInFull) {
  Pages(2);
  home_.Write("site/long.htm", std::string(123456, 'x'));
  home_.Write("site/long.lst", std::string(123456, 'x'));
  Options.InitialDirMode = 0;
  Options.CustomDir = home_ / "site";
  std::vector<std::string> checked;
  apptest::ModalWatcher watcher([&](QWidget* window) {
    auto* dialog = qobject_cast<QFileDialog*>(window);
    if (!dialog) return;
    dialog->setDirectory(QString::fromStdString(home_ / "site"));
    auto* view = apptest::Child<QTreeView>(dialog, "treeView");
    EXPECT_TRUE(apptest::WaitFor([&] { return view->model()->rowCount(view->rootIndex()) > 0; }));
    QTest::qWait(50);
    for (int column = 1; column < view->header()->count(); ++column) {
      if (view->header()->isSectionHidden(column)) continue;
      EXPECT_GE(view->header()->sectionSize(column), static_cast<QAbstractItemView*>(view)->sizeHintForColumn(column))
          << dialog->objectName().toStdString() << " column " << column;
    }
    checked.push_back(dialog->objectName().toStdString());
    dialog->reject();
  });
  for (const char* opener : {"mnuAdd", "mnuLL", "mnuSL"}) Action(opener)->trigger();
  EXPECT_EQ(checked, (std::vector<std::string>{"dlgAddFiles", "dlgOpenList", "dlgSaveList"}));
}

TEST_F(MainFormFilesTest, MenuHasItsCaptionsAndShortcuts) {
  auto* menu = apptest::Child<QMenu>(form_.get(), "mnuFiles");
  QStringList items;
  for (QAction* action : menu->actions()) {
    items << (action->isSeparator() ? QStringLiteral("-")
                                    : action->objectName() + ' ' + action->text() + ' ' +
                                          action->shortcut().toString(QKeySequence::PortableText));
  }
  EXPECT_EQ(items, QStringList({"mnuAdd &Add Files Ins", "mnuAddDir Add a Dir&ectory Shift+Ins",
                                "mnuDel &Delete Files Del", "mnuDelAll Delete &All Shift+Del", "-",
                                "mnuLL &Load from List Ctrl+L", "mnuSL &Save to List Ctrl+S", "-",
                                "mnuRestore Restore Last R&un ", "-", "mnuRf &Refresh F5"}));
  EXPECT_EQ(list()->contextMenuPolicy(), Qt::CustomContextMenu);
}

TEST_F(MainFormFilesTest, ShortcutsActWhileTheListHasTheFocus) {
  const Paths pages = Pages(4);
  AddFileList(*form_, pages);
  Options.InitialDirMode = 2;
  Options.LastDir = home_ / "site";
  std::vector<std::string> opened;
  apptest::ModalWatcher watcher([&](QWidget* window) {
    opened.push_back(window->objectName().toStdString());
    if (auto* chooser = qobject_cast<TAddDirForm*>(window)) {
      EXPECT_TRUE(chooser->AddMode);
      chooser->close();
    } else if (auto* dialog = qobject_cast<QDialog*>(window)) {
      dialog->reject();
    }
  });
  KeyOnList(Qt::Key_Insert);
  KeyOnList(Qt::Key_Insert, Qt::ShiftModifier);
  KeyOnList(Qt::Key_L, Qt::ControlModifier);
  KeyOnList(Qt::Key_S, Qt::ControlModifier);
  KeyOnList(Qt::Key_F5);
  EXPECT_EQ(opened,
            (std::vector<std::string>{"dlgAddFiles", "TAddDirForm", "dlgOpenList", "dlgSaveList"}));
  list()->topLevelItem(2)->setSelected(true);
  KeyOnList(Qt::Key_Delete);
  EXPECT_EQ(form_->FilePaths(), (Paths{pages[0], pages[1], pages[3]}));
  KeyOnList(Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_TRUE(form_->FilePaths().empty());

  // Away from the list the keys do nothing.
  AddFileList(*form_, pages);
  QApplication::setActiveWindow(form_.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  auto* button = apptest::Child<QToolButton>(form_.get(), "btnAdd");
  button->setFocus();
  list()->topLevelItem(0)->setSelected(true);
  QTest::keyClick(button, Qt::Key_Delete);
  EXPECT_EQ(form_->FilePaths().size(), 4u);
}

TEST_F(MainFormFilesTest, DroppedFolderAndPageAreAddedFolderFirstWithoutARun) {
  const Paths folderPages = Pages(2, "folder");
  const std::string page = home_.Write("loose.txt", "named directly");
  form_->show();
  apptest::ModalWatcher watcher([](QWidget*) {});
  // Dropped on the list, as the window system delivers it: to the window,
  // which finds the widget that takes it.
  QWindow* window = form_->windowHandle();
  const QPoint onList = list()->mapTo(form_.get(), QPoint(50, 100));
  ASSERT_EQ(form_->childAt(onList)->parentWidget(), list());
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(page)),
                QUrl::fromLocalFile(QString::fromStdString(home_ / "folder")),
                QUrl(QStringLiteral("https://example.org/page.htm"))});
  QDragEnterEvent enter(onList, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(onList, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window, &drop);
  EXPECT_TRUE(drop.isAccepted());
  EXPECT_TRUE(form_->FilePaths().empty());  // added after the drop has ended
  ASSERT_TRUE(apptest::WaitFor([&] { return form_->FilePaths().size() == 3; }));
  QTest::qWait(20);
  Paths fromFolder(form_->FilePaths().begin(), form_->FilePaths().begin() + 2);
  std::sort(fromFolder.begin(), fromFolder.end());
  EXPECT_EQ(fromFolder, folderPages);
  EXPECT_EQ(form_->FilePaths()[2], page);
  EXPECT_EQ(watcher.seen(), (std::vector<std::string>{"TDirForm", "TDirForm"}));

  QMimeData web;
  web.setUrls({QUrl(QStringLiteral("https://example.org/page.htm"))});
  QDragEnterEvent refused(onList, Qt::CopyAction, &web, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window, &refused);
  EXPECT_FALSE(refused.isAccepted());
}

TEST_F(MainFormFilesTest, RestoreLastRunAsksThenUndoesRunsNewestFirstAndNamesTheCopiesKept) {
  const std::string picture = EncodeBmp(testimages::Gradient(90, 60));
  for (const char* name : {"site/a.bmp", "site/b.bmp", "site/c.bmp"}) home_.Write(name, picture);
  const std::string a = home_.Write("site/a.htm", "<head></head>one<img src=a.bmp>");
  const std::string b = home_.Write("site/b.htm", "<head></head>two<img src=b.bmp>");
  const std::string c = home_.Write("site/c.htm", "<head></head>three<img src=c.bmp>");
  // The second run protects a page of its own: pages protected already are
  // left alone.
  for (const Paths& pages : {Paths{a, b}, Paths{a, c}}) {
    BeginProtection();
    for (const auto& page : pages) {
      int32_t size = 0;
      ProtectPage(page, size);
    }
    EndProtection();
  }
  const std::string edited = testsupport::TempDir::ReadFile(c) + "<p>edited after the run</p>";
  home_.Write("site/c.htm", edited);

  std::vector<std::string> seen;
  apptest::ModalWatcher watcher([&](QWidget* window) {
    if (auto* box = qobject_cast<QMessageBox*>(window)) {
      if (box->standardButtons() & QMessageBox::Yes) {
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
        Answer(box, QMessageBox::Yes, seen);
      } else {
        Answer(box, QMessageBox::Ok, seen);
      }
    } else if (qobject_cast<TErrorForm*>(window)) {
      seen.push_back(apptest::Child<QLabel>(window, "lblTitle")->text().toStdString() + ": " +
                     apptest::Child<QLabel>(window, "lblErrorMsg")->text().toStdString());
      apptest::Click(window, "btnOK");
    }
  });
  for (int i = 0; i < 3; ++i) Action("mnuRestore")->trigger();

  ASSERT_EQ(seen.size(), 4u);
  EXPECT_NE(seen[0].find("Backup set 1\n"), std::string::npos) << seen[0];
  EXPECT_NE(seen[0].find("Pages: 1\nPictures: 1"), std::string::npos) << seen[0];
  EXPECT_NE(seen[1].find("Error #301: "), std::string::npos) << seen[1];
  EXPECT_NE(seen[1].find(c + "  ->  " + c + ".before-restore"), std::string::npos) << seen[1];
  EXPECT_NE(seen[2].find("Backup set 0\n"), std::string::npos) << seen[2];
  EXPECT_NE(seen[2].find("Pages: 2\n"), std::string::npos) << seen[2];
  EXPECT_NE(seen[3].find("Nothing to restore"), std::string::npos) << seen[3];
  EXPECT_EQ(std::count(watcher.seen().begin(), watcher.seen().end(), "TProcForm"), 2);
  EXPECT_EQ(testsupport::TempDir::ReadFile(a), "<head></head>one<img src=a.bmp>");
  EXPECT_EQ(testsupport::TempDir::ReadFile(b), "<head></head>two<img src=b.bmp>");
  EXPECT_EQ(testsupport::TempDir::ReadFile(c), "<head></head>three<img src=c.bmp>");
}

TEST_F(MainFormFilesTest, AboutButtonShowsTheAboutBox) {
  apptest::ModalWatcher watcher([](QWidget* window) { window->close(); });
  apptest::Click(form_.get(), "btnAbout");
  EXPECT_EQ(watcher.seen(), std::vector<std::string>{"TAboutForm"});
}

}  // namespace

namespace {

// The system's requests to end the program (logging out, kill, Ctrl+C, a
// closed terminal) while each kind of modal window is open: the window ends
// as by its Cancel, what it held is not taken, the main window closes, and
// the options are saved when it goes.
TEST(MainForm, EachEndSignalDuringEachModalWindowEndsItAsCancelAndClosesTheProgram) {
  apptest::ProgramFolder home;
  const auto previous = SetShowErrorHandler(&TErrorForm::Show);
  struct Opening {
    const char* window;  // the modal window the signal meets
    std::function<void(TMainForm&)> open;
  };
  const Opening openings[] = {
      {"TOptForm", [](TMainForm& form) { apptest::Click(&form, "btnOption"); }},
      {"TFileTypeForm", [](TMainForm& form) { apptest::Click(&form, "btnOption"); }},
      {"TAboutForm", [](TMainForm& form) { apptest::Click(&form, "btnAbout"); }},
      {"TAddDirForm",
       [&](TMainForm& form) {
         Options.InitialDirMode = 2;
         Options.LastDir = home.dir().path() + "/";
         apptest::Click(&form, "btnAddDir");
       }},
      // The general error handler's message: no folder to open the chooser at.
      {"QMessageBox",
       [](TMainForm& form) {
         Options.InitialDirMode = 2;
         Options.LastDir.clear();
         apptest::Click(&form, "btnAddDir");
       }},
      {"TErrorForm", [](TMainForm&) { ShowError(201, "Error adding files"); }},
      {"TFileDialog", [](TMainForm& form) { form.mnuLLClick(); }},
  };
  for (const Opening& opening : openings) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
      SCOPED_TRACE(std::string(opening.window) + " " + strsignal(signal));
      auto form = std::make_unique<TMainForm>(Paths{});
      const TOptions before = Options;
      TerminationSignal termination([&] { form->EndProgram(); });
      form->show();
      bool signalled = false;
      apptest::ModalWatcher watcher([&](QWidget* window) {
        if (qobject_cast<TOptForm*>(window)) {
          apptest::Child<QLineEdit>(window, "edtMinWidth")->setText("999");
          if (std::string(opening.window) == "TFileTypeForm") {
            QTimer::singleShot(0, window, [window] { apptest::Click(window, "btnAdd"); });
            return;
          }
        } else if (qobject_cast<TFileTypeForm*>(window)) {
          apptest::Child<QLineEdit>(window, "edtExt")->setText("php");
        }
        if (window->metaObject()->className() != std::string(opening.window)) return;
        signalled = true;
        ::raise(signal);
      });
      opening.open(*form);
      ASSERT_TRUE(signalled);
      ASSERT_TRUE(apptest::WaitFor([&] { return !form->isVisible(); }));
      EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
      EXPECT_EQ(Options.MinWidth, before.MinWidth) << "ended as Cancel";
      EXPECT_EQ(Options.FileTypes.size(), before.FileTypes.size());
      std::remove((home / "vlm.ini").c_str());
      form.reset();
      EXPECT_NE(home.dir().Read("vlm.ini"), "") << "saved when the window went";
    }
  }
  SetShowErrorHandler(previous);
}

}  // namespace
