#include "app/TAddDirForm.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <algorithm>
#include <filesystem>

#include "app/AppTest.h"
#include "app/FolderTree.h"
#include "app/TMainForm.h"
#include "testsupport/RecordingShell.h"
#include "storage/vlmOption.h"

namespace {

using Paths = std::vector<std::string>;

class AddDirFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    a_ = home_.Write("site/a.htm", "a");
    home_.Write("site/b.txt", "b");
    x_ = home_.Write("site/sub/x.htm", "x");
    form_ = std::make_unique<TMainForm>(Paths{});
    Options.InitialDirMode = 2;
    Options.LastDir = home_ / "site/";
  }
  void TearDown() override { form_.reset(); }

  // Opens the chooser from the main window's tool bar and hands it to
  // `action` once it is shown; notes every message box and answers it.
  void WithChooser(const std::function<void(TAddDirForm&)>& action) {
    bool handled = false;
    apptest::ModalWatcher watcher([&](QWidget* window) {
      if (auto* box = qobject_cast<QMessageBox*>(window)) {
        messages_.push_back(box->text().toStdString());
        box->button(QMessageBox::Ok)->click();
      } else if (auto* chooser = qobject_cast<TAddDirForm*>(window)) {
        handled = true;
        action(*chooser);
      }
    });
    apptest::Click(form_.get(), "btnAddDir");
    EXPECT_TRUE(handled);
    seen_ = watcher.seen();
  }

  apptest::ProgramFolder home_;
  std::unique_ptr<TMainForm> form_;
  std::string a_, x_;
  std::vector<std::string> messages_;
  std::vector<std::string> seen_;
};

TEST_F(AddDirFormTest, AddModeOpensAtTheLastFolderWithTheOptionsBox) {
  Options.IncludeSubdir = 0;
  WithChooser([&](TAddDirForm& chooser) {
    EXPECT_EQ(chooser.Title(), "Add a Directory");
    EXPECT_EQ(chooser.TitleLabel()->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(chooser.ClientArea()->size(), QSize(303, 327));
    EXPECT_TRUE(apptest::Child<QLabel>(&chooser, "imgHelp")->isVisible());
    EXPECT_FALSE(apptest::Child<QLabel>(&chooser, "imgMin")->isVisible());
    EXPECT_TRUE(apptest::Child<QLabel>(&chooser, "imgExit")->isVisible());
    auto* box = apptest::Child<QCheckBox>(&chooser, "chkSubdir");
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->text(), "Include Subdirectory");
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(chooser.Tree()->SelectedPath(), home_ / "site/");
    EXPECT_EQ(chooser.Tree()->size(), QSize(278, 229));
    apptest::Click(&chooser, "btnCancel");
  });
  EXPECT_TRUE(messages_.empty());
  EXPECT_TRUE(form_->FilePaths().empty());
  EXPECT_EQ(Options.LastDir, home_ / "site/");

  Options.InitialDirMode = 0;
  Options.CustomDir = home_ / "site/sub";
  Options.IncludeSubdir = 1;
  WithChooser([&](TAddDirForm& chooser) {
    EXPECT_TRUE(apptest::Child<QCheckBox>(&chooser, "chkSubdir")->isChecked());
    EXPECT_EQ(chooser.Tree()->SelectedPath(), home_ / "site/sub/");
    chooser.close();
  });

  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(home_ / "site");
  Options.InitialDirMode = 1;
  WithChooser([&](TAddDirForm& chooser) {
    EXPECT_EQ(chooser.Tree()->SelectedPath(), home_ / "site/");
    chooser.close();
  });
  std::filesystem::current_path(before);
}

TEST_F(AddDirFormTest, AnEmptyStartFolderIsReportedAndTheChooserOpensAllTheSame) {
  Options.LastDir.clear();
  WithChooser([&](TAddDirForm& chooser) {
    EXPECT_EQ(messages_, std::vector<std::string>{"Invalid Path Name."});
    EXPECT_EQ(chooser.Tree()->SelectedPath(), "?");
    EXPECT_GT(chooser.Tree()->topLevelItemCount(), 0);
    apptest::Click(&chooser, "btnOK");  // nothing selected: nothing happens
  });
  EXPECT_EQ(seen_.size(), 2u);  // the message and the chooser; no reading window
  EXPECT_TRUE(form_->FilePaths().empty());
  EXPECT_EQ(Options.LastDir, "");

  Options.InitialDirMode = 7;
  messages_.clear();
  WithChooser([&](TAddDirForm& chooser) { chooser.close(); });
  EXPECT_EQ(messages_, std::vector<std::string>{"Invalid Path Name."});
}

TEST_F(AddDirFormTest, OkReadsTheFolderAndKeepsItAndTheBoxInTheOptionsFile) {
  Options.IncludeSubdir = 1;
  WithChooser([&](TAddDirForm& chooser) {
    apptest::Child<QCheckBox>(&chooser, "chkSubdir")->setChecked(false);
    apptest::Click(&chooser, "btnOK");
  });
  EXPECT_EQ(form_->FilePaths(), Paths{a_});
  EXPECT_EQ(seen_, (std::vector<std::string>{"TAddDirForm", "TDirForm"}));
  EXPECT_EQ(Options.IncludeSubdir, 0);
  EXPECT_EQ(Options.LastDir, home_ / "site/");

  WithChooser([&](TAddDirForm& chooser) {
    chooser.Tree()->SelectPath(home_ / "site");
    apptest::Child<QCheckBox>(&chooser, "chkSubdir")->setChecked(true);
    // Enter in the tree acts as OK.
    chooser.Tree()->setFocus();
    QTest::keyClick(chooser.Tree(), Qt::Key_Return);
  });
  Paths listed = form_->FilePaths();
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, (Paths{a_, x_}));
  EXPECT_EQ(Options.IncludeSubdir, 1);

  WithChooser([&](TAddDirForm& chooser) {
    chooser.Tree()->SelectPath(home_ / "site/sub");
    apptest::Child<QCheckBox>(&chooser, "chkSubdir")->setChecked(false);
    // Escape in the tree acts as Cancel: the options stay.
    QTest::keyClick(chooser.Tree(), Qt::Key_Escape);
  });
  EXPECT_EQ(Options.LastDir, home_ / "site/");
  EXPECT_EQ(Options.IncludeSubdir, 1);

  WithChooser([&](TAddDirForm& chooser) {
    chooser.Tree()->SelectPath(home_ / "site/sub");
    apptest::Child<QCheckBox>(&chooser, "chkSubdir")->setChecked(false);
    apptest::Click(&chooser, "btnOK");
  });
  form_.reset();  // the program ends
  const std::string saved = home_.dir().Read("vlm.ini");
  const std::string lastDir = "\r\nLastDir=" + (home_ / "site/sub/") + "\r\n";
  EXPECT_NE(saved.find(lastDir), std::string::npos) << saved;
  EXPECT_NE(saved.find("\r\nIncludeSubdir=0\r\n"), std::string::npos) << saved;
}

TEST_F(AddDirFormTest, HelpButtonOpensTheChoosersTopic) {
  testsupport::RecordingShell shell;
  WithChooser([&](TAddDirForm& chooser) {
    QTest::mouseClick(apptest::Child<QLabel>(&chooser, "imgHelp"), Qt::LeftButton);
    chooser.close();
  });
  EXPECT_EQ(shell.requests,
            (std::vector<testsupport::RecordingShell::Request>{{"help", "index.htm#adddir"}}));
}

// The initial-folder mode, as the options dialog uses it.
class ChooseInitialDirectoryTest : public AddDirFormTest {
 protected:
  // Opens the chooser at `folder` and hands it to `action`; returns what
  // ChooseInitialDirectory returned.
  bool Choose(QString& folder, const std::function<void(TAddDirForm&)>& action) {
    apptest::ModalWatcher watcher([&](QWidget* window) {
      if (auto* box = qobject_cast<QMessageBox*>(window)) {
        messages_.push_back(box->text().toStdString());
        box->button(QMessageBox::Ok)->click();
      } else if (auto* chooser = qobject_cast<TAddDirForm*>(window)) {
        action(*chooser);
      }
    });
    return ChooseInitialDirectory(form_.get(), folder);
  }
};

TEST_F(ChooseInitialDirectoryTest, OkGivesTheFolderWithoutItsSlashAndChangesNoOption) {
  Options.IncludeSubdir = 1;
  QString folder = QString::fromStdString(home_ / "site/sub");
  EXPECT_TRUE(Choose(folder, [&](TAddDirForm& chooser) {
    EXPECT_EQ(chooser.Title(), "Select Initial Directory");
    EXPECT_FALSE(apptest::Child<QCheckBox>(&chooser, "chkSubdir")->isVisible());
    // The tree takes the place of the hidden box.
    EXPECT_EQ(chooser.Tree()->size(), QSize(278, 262));
    EXPECT_EQ(apptest::Child<QWidget>(&chooser, "pnlDir")->geometry().bottom() + 11,
              apptest::Child<QWidget>(&chooser, "btnOK")->y());
    EXPECT_EQ(chooser.Tree()->SelectedPath(), home_ / "site/sub/");
    chooser.Tree()->SelectPath(home_ / "site");
    apptest::Click(&chooser, "btnOK");
  }));
  EXPECT_EQ(folder.toStdString(), home_ / "site");
  EXPECT_EQ(Options.LastDir, home_ / "site/");
  EXPECT_EQ(Options.IncludeSubdir, 1);
  EXPECT_TRUE(form_->FilePaths().empty());

  EXPECT_TRUE(Choose(folder, [&](TAddDirForm& chooser) {
    chooser.Tree()->SelectPath("/");
    QTest::keyClick(chooser.Tree(), Qt::Key_Enter);
  }));
  EXPECT_EQ(folder, "/");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(ChooseInitialDirectoryTest, CancelKeepsTheFolderAndOkWithoutSelectionEmptiesIt) {
  QString folder = QString::fromStdString(home_ / "site");
  EXPECT_FALSE(Choose(
      folder, [&](TAddDirForm& chooser) { QTest::keyClick(chooser.Tree(), Qt::Key_Escape); }));
  EXPECT_EQ(folder.toStdString(), home_ / "site");

  folder = "?";  // keeps the tree as it was read: nothing selected
  EXPECT_TRUE(Choose(folder, [&](TAddDirForm& chooser) { apptest::Click(&chooser, "btnOK"); }));
  EXPECT_EQ(folder, "");
  EXPECT_TRUE(messages_.empty());

  EXPECT_TRUE(Choose(folder, [&](TAddDirForm& chooser) { apptest::Click(&chooser, "btnOK"); }));
  EXPECT_EQ(messages_, std::vector<std::string>{"Invalid Path Name."});
  EXPECT_EQ(folder, "");
}

}  // namespace
