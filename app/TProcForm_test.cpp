#include "app/TProcForm.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QTest>
#include <QTreeWidget>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "app/AppTest.h"
#include "app/ListColumns.h"
#include "app/TDirForm.h"
#include "app/TErrorForm.h"
#include "app/TMainForm.h"
#include "app/TerminationSignal.h"
#include "engine/BmpCodec.h"
#include "testsupport/TestImages.h"
#include "platform/File.h"
#include "storage/GlobalLib.h"
#include "storage/vlmOption.h"

namespace {

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;

class RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = SetShowErrorHandler(&TErrorForm::Show);
    form_ = std::make_unique<TMainForm>(Paths{});
  }
  void TearDown() override {
    form_.reset();
    SetShowErrorHandler(previous_);
  }

  // Pages p1.htm .. pN.htm, each showing an image of its own.
  Paths Pages(int count, const std::string& folder = "site") const {
    Paths pages;
    for (int i = 1; i <= count; ++i) {
      const std::string n = std::to_string(i);
      home_.Write(folder + "/i" + n + ".bmp", EncodeBmp(testimages::Gradient(90, 60)));
      pages.push_back(home_.Write(folder + "/p" + n + ".htm", Page("i" + n + ".bmp")));
    }
    return pages;
  }
  static std::string Page(const std::string& image, const std::string& attributes = "") {
    return "<html><head><title>t</title></head><body><img src=" + image + attributes +
           "></body></html>";
  }
  static bool Protected(const std::string& page) {
    return platform::FileExists(page) &&
           testsupport::TempDir::ReadFile(page).find("<table ") != std::string::npos;
  }
  QStringList FinalSizes() const {
    QStringList sizes;
    for (int row = 0; row < form_->FileList()->topLevelItemCount(); ++row) {
      sizes << form_->FileList()->topLevelItem(row)->text(3);
    }
    return sizes;
  }
  // Where Start sends the sizes: the main window's Final Size column.
  TFinalSizeSink FinalSizeSink() const {
    return [this](int32_t row, int32_t size) { form_->SetFinalSize(row, size); };
  }
  static QString SizeOf(const std::string& path) { return FormatSize(fs::file_size(path)); }
  int BackupSets() const {
    int sets = 0;
    for (const auto& entry : fs::directory_iterator(home_ / "Backup")) {
      sets += entry.path().extension() == ".ind";
    }
    return sets;
  }

  apptest::ProgramFolder home_;
  TShowErrorHandler previous_;
  std::unique_ptr<TMainForm> form_;
};

TEST_F(RunTest, PagesThatWentAreSkippedAndTheBarEndsFull) {
  const Paths pages = Pages(3);
  AddFileList(*form_, pages);
  fs::remove(pages[1]);
  TProcForm run(form_->FilePaths(), FinalSizeSink(), form_.get());
  EXPECT_EQ(run.Title(), "Processing...");
  EXPECT_EQ(run.size(), QSize(409, 166));
  for (const char* button : {"imgHelp", "imgMin", "imgExit"}) {
    EXPECT_FALSE(apptest::Child<QLabel>(&run, button)->isVisibleTo(&run)) << button;
  }
  run.exec();
  EXPECT_FALSE(run.isVisible());
  EXPECT_TRUE(run.Stopped());
  EXPECT_TRUE(Protected(pages[0]));
  EXPECT_TRUE(Protected(pages[2]));
  EXPECT_EQ(FinalSizes(), QStringList({SizeOf(pages[0]), "", SizeOf(pages[2])}));
  auto* bar = apptest::Child<QProgressBar>(&run, "prbPro");
  EXPECT_EQ(bar->maximum(), 3);
  EXPECT_EQ(bar->value(), 3);
  EXPECT_EQ(apptest::Child<QLabel>(&run, "lblFile")->text().toStdString(), pages[2]);
  EXPECT_EQ(BackupSets(), 1) << "one run for the whole list";
}

TEST_F(RunTest, CancelFinishesThePageInProgressAndEndsTheRun) {
  const Paths pages = Pages(5);
  AddFileList(*form_, pages);
  TProcForm run(form_->FilePaths(), FinalSizeSink(), form_.get());
  auto* bar = apptest::Child<QProgressBar>(&run, "prbPro");
  bool cancelled = false;
  int refusedCloses = 0;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    if (!run.isVisible() || run.Stopped()) return;
    if (!run.close()) ++refusedCloses;
    if (bar->value() == 1 && !cancelled) {
      apptest::Click(&run, "btnCancel");
      cancelled = true;
      EXPECT_TRUE(run.isVisible()) << "Cancel does not close the window";
    }
  });
  user.start(0);
  run.exec();
  user.stop();
  ASSERT_TRUE(cancelled);
  EXPECT_GT(refusedCloses, 0);
  EXPECT_TRUE(Protected(pages[0]));
  EXPECT_TRUE(Protected(pages[1]));
  for (int i = 2; i < 5; ++i) {
    EXPECT_EQ(home_.dir().Read("site/p" + std::to_string(i + 1) + ".htm"),
              Page("i" + std::to_string(i + 1) + ".bmp"));
  }
  EXPECT_EQ(FinalSizes(), QStringList({SizeOf(pages[0]), SizeOf(pages[1]), "", "", ""}));
  EXPECT_EQ(bar->value(), 2);
  EXPECT_EQ(BackupSets(), 1);
}

TEST_F(RunTest, ALockedPageShowsError102AndTheRunGoesOn) {
  const Paths pages = Pages(3);
  AddFileList(*form_, pages);
  platform::File lock;
  ASSERT_TRUE(lock.Open(pages[1], platform::Access::Read, platform::Sharing::Exclusive));
  TProcForm run(form_->FilePaths(), FinalSizeSink(), form_.get());
  std::vector<std::pair<QString, QString>> errors;
  bool runWaited = false;
  apptest::ModalWatcher watcher([&](QWidget* window) {
    if (!qobject_cast<TErrorForm*>(window)) return;
    errors.emplace_back(apptest::Child<QLabel>(window, "lblTitle")->text(),
                        apptest::Child<QLabel>(window, "lblErrorMsg")->text());
    runWaited = !Protected(pages[2]) && run.isVisible();
    EXPECT_FALSE(run.close());
    apptest::Click(window, "btnOK");
  });
  run.exec();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].first, "Error #102");
  EXPECT_EQ(errors[0].second.toStdString(), "Can not open file " + pages[1]);
  EXPECT_TRUE(runWaited);
  EXPECT_TRUE(Protected(pages[0]));
  EXPECT_TRUE(Protected(pages[2]));
  EXPECT_EQ(FinalSizes(), QStringList({SizeOf(pages[0]), "", SizeOf(pages[2])}));
}

// The system asks the program to end while a run waits on an error window:
// the window closes as after OK, the page in progress finishes, the run ends
// short of its list, and the program closes. (That a run short of its list
// keeps every source is the page loop's rule, tested with it.)
TEST_F(RunTest, AnEndSignalDuringARunFinishesThePageEndsTheRunAndClosesTheProgram) {
  int round = 0;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    const std::string folder = "site" + std::to_string(++round);
    const Paths pages = Pages(3, folder);
    form_ = std::make_unique<TMainForm>(Paths{});
    AddFileList(*form_, pages);
    platform::File lock;
    ASSERT_TRUE(lock.Open(pages[1], platform::Access::Read, platform::Sharing::Exclusive));
    TerminationSignal termination([this] { form_->EndProgram(); });
    form_->show();
    apptest::ModalWatcher watcher([&](QWidget* window) {
      if (qobject_cast<TErrorForm*>(window)) ::raise(signal);
    });
    apptest::Click(form_.get(), "btnStart");
    ASSERT_TRUE(apptest::WaitFor([&] { return !form_->isVisible(); }));
    EXPECT_EQ(watcher.seen(), (std::vector<std::string>{"TProcForm", "TErrorForm"}));
    EXPECT_TRUE(Protected(pages[0]));
    EXPECT_EQ(home_.dir().Read(folder + "/p3.htm"), Page("i3.bmp")) << "no page after the signal";
    EXPECT_EQ(BackupSets(), round);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "every window closed";
    std::remove((home_ / "vlm.ini").c_str());
    form_.reset();
    EXPECT_NE(home_.dir().Read("vlm.ini"), "") << "options saved when the main window went";
  }
}

TEST_F(RunTest, ABadWidthIsShownNamingThePageAndTheRunGoesOn) {
  const Paths pages = Pages(3);
  home_.Write("site/p2.htm", Page("i2.bmp", " width=abc"));
  AddFileList(*form_, pages);
  TProcForm run(form_->FilePaths(), FinalSizeSink(), form_.get());
  std::vector<std::string> messages;
  apptest::ModalWatcher watcher([&](QWidget* window) {
    if (auto* box = qobject_cast<QMessageBox*>(window)) {
      messages.push_back(box->text().toStdString());
      box->button(QMessageBox::Ok)->click();
    }
  });
  run.exec();
  EXPECT_EQ(messages, Paths{pages[1] + ": 'abc' is not a valid integer value."});
  EXPECT_FALSE(run.isVisible());
  EXPECT_TRUE(Protected(pages[0]));
  EXPECT_TRUE(Protected(pages[2]));
  EXPECT_EQ(FinalSizes(), QStringList({SizeOf(pages[0]), "", SizeOf(pages[2])}));
}

TEST_F(RunTest, ARunThatCannotStartTouchesNothing) {
  const Paths pages = Pages(1);
  AddFileList(*form_, pages);
  Options.PieHor = 0;
  TProcForm run(form_->FilePaths(), FinalSizeSink(), form_.get());
  std::vector<std::string> messages;
  apptest::ModalWatcher watcher([&](QWidget* window) {
    if (auto* box = qobject_cast<QMessageBox*>(window)) {
      messages.push_back(box->text().toStdString());
      box->button(QMessageBox::Ok)->click();
    }
  });
  run.exec();
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_FALSE(run.isVisible());
  EXPECT_EQ(home_.dir().Read("site/p1.htm"), Page("i1.bmp"));
  EXPECT_EQ(FinalSizes(), QStringList({""}));
}

TEST_F(RunTest, StartRunsTheWholeListAgainAndShowsTheNewSizes) {
  const Paths pages = Pages(2);
  AddFileList(*form_, pages);
  apptest::ModalWatcher watcher([](QWidget*) {});
  apptest::Click(form_.get(), "btnStart");
  EXPECT_EQ(watcher.seen(), std::vector<std::string>{"TProcForm"});
  EXPECT_EQ(FinalSizes(), QStringList({SizeOf(pages[0]), SizeOf(pages[1])}));

  home_.Write("site/p2.htm", "<html><head></head><body>now without images</body></html>");
  apptest::Click(form_.get(), "btnStart");
  EXPECT_EQ(FinalSizes(), QStringList({SizeOf(pages[0]), SizeOf(pages[1])}));
  EXPECT_EQ(BackupSets(), 2);
}

TEST(StartUp, MenuStartAddsTheHandOffPathsAndRunsByItself) {
  apptest::ProgramFolder home;
  SetShowErrorHandler(&TErrorForm::Show);
  const std::string folderPage =
      home.Write("site/a.htm", "<html><head></head><body>a</body></html>");
  const std::string named = home.Write("named.shtml", "<html><head></head><body>n</body></html>");
  home.Write("files.tmp", home / "site" + "\r\n" + named + "\r\n");
  apptest::ModalWatcher watcher([](QWidget*) {});
  TMainForm form({"/menu"});
  form.show();
  ASSERT_TRUE(apptest::WaitFor([&] {
    return form.FileList()->topLevelItemCount() == 2 &&
           !form.FileList()->topLevelItem(1)->text(3).isEmpty();
  }));
  EXPECT_EQ(form.FilePaths(), (Paths{folderPage, named}));
  EXPECT_FALSE(platform::FileExists(home / "files.tmp"));
  EXPECT_EQ(watcher.seen(), (std::vector<std::string>{"TDirForm", "TDirForm", "TProcForm"}));
  // The run went over it (its Final Size is shown); with no picture in it,
  // it is left as it was.
  EXPECT_EQ(home.dir().Read("named.shtml"), "<html><head></head><body>n</body></html>");
  SetShowErrorHandler(nullptr);
}

// A request to end while the folders named at the start are read: the
// reading stops, nothing is added and no run starts.
TEST(StartUp, AnEndSignalWhileFoldersAreReadStartsNoRun) {
  apptest::ProgramFolder home;
  for (int i = 0; i < 400; ++i) {
    home.Write("site/p" + std::to_string(i) + ".htm", "<html><head></head><body></body></html>");
  }
  TMainForm form({home / "site", home / "site"});
  TerminationSignal termination([&] { form.EndProgram(); });
  apptest::ModalWatcher watcher([](QWidget* window) {
    if (qobject_cast<TDirForm*>(window)) ::raise(SIGTERM);
  });
  form.show();
  ASSERT_TRUE(apptest::WaitFor([&] { return !form.isVisible(); }));
  EXPECT_EQ(watcher.seen(), std::vector<std::string>{"TDirForm"});
  EXPECT_LT(form.FilePaths().size(), 400u);
  EXPECT_FALSE(fs::exists(home / "Backup"));
}

TEST(StartUp, ArgumentsBesideMenuAreAllPaths) {
  apptest::ProgramFolder home;
  const std::string page = home.Write("page.xyz", "<html><head></head><body>p</body></html>");
  home.Write("files.tmp", "/nothing\r\n");
  TMainForm form({"/menu", page});
  form.show();
  ASSERT_TRUE(apptest::WaitFor([&] {
    return form.FileList()->topLevelItemCount() == 1 &&
           !form.FileList()->topLevelItem(0)->text(3).isEmpty();
  }));
  EXPECT_EQ(form.FilePaths(), Paths{page});
  EXPECT_TRUE(platform::FileExists(home / "files.tmp"));
}

}  // namespace
