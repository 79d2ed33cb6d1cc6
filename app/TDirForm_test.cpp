#include "app/TDirForm.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>

#include "app/AppTest.h"
#include "app/BusyAnimation.h"
#include "app/TMainForm.h"
#include "storage/vlmOption.h"

namespace {

using Paths = std::vector<std::string>;

class DirFormTest : public ::testing::Test {
 protected:
  void SetUp() override { form_ = std::make_unique<TMainForm>(Paths{}); }
  void TearDown() override { form_.reset(); }

  // Adds to the main window's list, as the program's reading windows do.
  TAddPages AddToList() {
    return [this](const Paths& paths, TDirForm& progress) { form_->AddFiles(paths, progress); };
  }

  Paths Sorted(Paths paths) const {
    std::sort(paths.begin(), paths.end());
    return paths;
  }

  apptest::ProgramFolder home_;
  std::unique_ptr<TMainForm> form_;
};

TEST_F(DirFormTest, ReadsSubfoldersOnlyWhenTheOptionsSaySo) {
  const std::string a = home_.Write("site/a.htm", "a");
  home_.Write("site/b.txt", "b");
  const std::string x = home_.Write("site/sub/x.htm", "x");
  Options.IncludeSubdir = 0;
  ReadDirectory(*form_, home_ / "site/");
  EXPECT_EQ(form_->FilePaths(), Paths{a});

  Options.IncludeSubdir = 1;
  ReadDirectory(*form_, home_ / "site/");
  EXPECT_EQ(Sorted(form_->FilePaths()), (Paths{a, x}));
}

TEST_F(DirFormTest, WindowGoesThroughItsStatesAndClosesItself) {
  home_.Write("site/a.htm", "a");
  TDirForm reading(AddToList(), true, home_ / "site/", {});
  EXPECT_FALSE(apptest::Child<TBusyAnimation>(&reading, "aniFind")->isVisibleTo(&reading));
  EXPECT_FALSE(apptest::Child<QProgressBar>(&reading, "prbDir")->isVisibleTo(&reading));
  std::vector<QString> titles;
  bool animated = false;
  int refusedCloses = 0;
  QTimer spy;
  QObject::connect(&spy, &QTimer::timeout, [&] {
    if (!reading.isVisible()) return;
    const QString title = reading.Title();
    if (titles.empty() || titles.back() != title) titles.push_back(title);
    if (title == "Reading Directory...") {
      animated = animated || apptest::Child<TBusyAnimation>(&reading, "aniFind")->Running();
      // A close requested while the window works is refused.
      if (!reading.close()) ++refusedCloses;
    }
  });
  spy.start(0);
  reading.exec();
  spy.stop();
  EXPECT_FALSE(reading.isVisible());
  EXPECT_TRUE(reading.Stopped());
  for (const char* button : {"imgHelp", "imgMin", "imgExit"}) {
    EXPECT_FALSE(apptest::Child<QLabel>(&reading, button)->isVisibleTo(&reading)) << button;
  }
  EXPECT_EQ(reading.size(), QSize(410, 171));
  EXPECT_EQ(titles, (std::vector<QString>{"Reading Directory...", "Adding Files..."}));
  EXPECT_TRUE(animated);
  EXPECT_GT(refusedCloses, 0);
  EXPECT_FALSE(apptest::Child<TBusyAnimation>(&reading, "aniFind")->isVisibleTo(&reading));
  EXPECT_EQ(apptest::Child<QProgressBar>(&reading, "prbDir")->maximum(), 1);
  EXPECT_EQ(apptest::Child<QProgressBar>(&reading, "prbDir")->value(), 1);
  EXPECT_EQ(form_->FilePaths().size(), 1u);
}

TEST_F(DirFormTest, AFolderWithoutPagesAddsNothingAndShowsNoBar) {
  home_.Write("site/readme.txt", "r");
  TDirForm reading(AddToList(), true, home_ / "site/", {});
  reading.exec();
  EXPECT_TRUE(reading.Found().empty());
  EXPECT_FALSE(apptest::Child<QProgressBar>(&reading, "prbDir")->isVisibleTo(&reading));
  EXPECT_EQ(reading.Title(), "Adding Files...");
  EXPECT_TRUE(form_->FilePaths().empty());
}

TEST_F(DirFormTest, FirstCancelStopsTheReadingSecondStopsTheAdding) {
  Options.IncludeSubdir = 1;
  constexpr int kPages = 2000;
  for (int folder = 0; folder < 20; ++folder) {
    for (int page = 0; page < kPages / 20; ++page) {
      home_.Write("site/f" + std::to_string(folder) + "/p" + std::to_string(page) + ".htm", "p");
    }
  }
  TDirForm reading(AddToList(), true, home_ / "site/", {});
  int cancels = 0;
  size_t foundAtFirstCancel = 0;
  QTimer presser;
  QObject::connect(&presser, &QTimer::timeout, [&] {
    if (!reading.isVisible()) return;
    auto* bar = apptest::Child<QProgressBar>(&reading, "prbDir");
    if (cancels == 0 && reading.Found().size() >= 100) {
      foundAtFirstCancel = reading.Found().size();
      apptest::Click(&reading, "btnCancel");
      ++cancels;
    } else if (cancels == 1 && bar->isVisible() && bar->value() >= 10) {
      apptest::Click(&reading, "btnCancel");
      ++cancels;
    }
  });
  presser.start(0);
  reading.exec();
  presser.stop();
  EXPECT_EQ(cancels, 2);
  EXPECT_LT(reading.Found().size(), static_cast<size_t>(kPages));
  EXPECT_LE(reading.Found().size(), foundAtFirstCancel + 1);
  EXPECT_GE(form_->FilePaths().size(), 10u);
  EXPECT_LT(form_->FilePaths().size(), reading.Found().size());
}

TEST_F(DirFormTest, FileModeOnlyAdds) {
  const std::string page = home_.Write("one.htm", "1");
  TDirForm adding(AddToList(), false, {}, {page, home_ / "gone.htm"});
  adding.exec();
  EXPECT_EQ(form_->FilePaths(), Paths{page});
  EXPECT_EQ(adding.Title(), "Adding Files...");
  EXPECT_EQ(apptest::Child<QProgressBar>(&adding, "prbDir")->value(), 2);
  EXPECT_EQ(apptest::Child<QLabel>(&adding, "lblFile")->text().toStdString(), home_ / "gone.htm");
}

}  // namespace
