// The built program as a user starts it: with a page, with a folder, and a
// second time while it runs.

#include <gtest/gtest.h>
#include <signal.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <filesystem>

#include "app/AppTest.h"
#include "engine/BmpCodec.h"
#include "engine/TestImages.h"
#include "platform/NamedMutex.h"

namespace {

namespace fs = std::filesystem;

constexpr char kPage[] = "<html><head></head><body><img src=photo.bmp></body></html>";

class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    // Options with lone LF line ends: the program writes CR LF when it ends.
    home_.WriteOptions(true, "\n");
    optionsBefore_ = home_.dir().Read("vlm.ini");
    home_.Write("site/photo.bmp", EncodeBmp(testimages::Gradient(90, 60)));
    page_ = home_.Write("site/index.htm", kPage);
  }

  void Start(const QStringList& arguments) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("VLM_HOME", QString::fromStdString(home_.dir().path()));
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(home_.dir().path()));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    program_.setProcessEnvironment(environment);
    program_.setProcessChannelMode(QProcess::ForwardedChannels);
    program_.start(VLM_PROGRAM, arguments);
    ASSERT_TRUE(program_.waitForStarted());
  }

  // Waits until the run has ended: the page is rewritten and the sliced
  // image is gone from the site.
  bool RunEnded() {
    return apptest::WaitFor([&] {
      return home_.dir().Read("site/index.htm") != kPage && !fs::exists(home_ / "site/photo.bmp");
    });
  }

  // Asks the program to end as the system does, and waits for it.
  int Terminate() {
    ::kill(static_cast<pid_t>(program_.processId()), SIGTERM);
    EXPECT_TRUE(program_.waitForFinished(20000));
    return program_.exitStatus() == QProcess::NormalExit ? program_.exitCode() : -1;
  }

  apptest::ProgramFolder home_;
  std::string optionsBefore_;
  std::string page_;
  QProcess program_;
};

TEST_F(Program, StartedWithAPageProtectsItAndSavesTheOptionsAtTheEnd) {
  Start({QString::fromStdString(page_)});
  ASSERT_TRUE(RunEnded());
  const std::string page = home_.dir().Read("site/index.htm");
  EXPECT_NE(page.find("<table "), std::string::npos) << page;
  EXPECT_TRUE(fs::exists(home_ / "Backup"));
  EXPECT_EQ(home_.dir().Read("vlm.ini"), optionsBefore_) << "written only at the end";
  EXPECT_EQ(Terminate(), 0);
  const std::string options = home_.dir().Read("vlm.ini");
  EXPECT_NE(options, optionsBefore_);
  EXPECT_EQ(options.find('\n'), options.find("\r\n") + 1) << "rewritten with CR LF";
  EXPECT_NE(options.find("FileType=htm,HTML Document\r\nFileType=html,HTML Document\r\n"),
            std::string::npos);
}

TEST_F(Program, StartedWithAFolderProtectsItsPages) {
  const std::string other = home_.Write("site/deeper/other.html", kPage);
  home_.Write("site/deeper/photo.bmp", EncodeBmp(testimages::Gradient(90, 60)));
  Start({QString::fromStdString(home_ / "site")});
  ASSERT_TRUE(RunEnded());
  EXPECT_TRUE(apptest::WaitFor([&] { return !fs::exists(home_ / "site/deeper/photo.bmp"); }));
  EXPECT_NE(platform::TempDir::ReadFile(other).find("<table "), std::string::npos);
  EXPECT_EQ(Terminate(), 0);
  EXPECT_NE(home_.dir().Read("vlm.ini"), optionsBefore_);
}

TEST_F(Program, ASecondInstanceEndsAtOnceAndTouchesNothing) {
  home_.Write("files.tmp", page_ + "\r\n");
  platform::NamedMutex first("Velmora");
  ASSERT_TRUE(first.Owned());
  Start({"/menu"});
  ASSERT_TRUE(program_.waitForFinished(20000));
  EXPECT_EQ(program_.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program_.exitCode(), 0);
  EXPECT_TRUE(fs::exists(home_ / "files.tmp"));
  EXPECT_EQ(home_.dir().Read("site/index.htm"), kPage);
  EXPECT_EQ(home_.dir().Read("vlm.ini"), optionsBefore_);
}

TEST_F(Program, APlainStartRunsNothingAndSavesTheOptionsAtTheEnd) {
  Start({});
  // Give a run the time it would need to show; none may start.
  QTest::qWait(500);
  EXPECT_EQ(home_.dir().Read("site/index.htm"), kPage);
  EXPECT_EQ(Terminate(), 0);
  EXPECT_NE(home_.dir().Read("vlm.ini"), optionsBefore_);
  EXPECT_FALSE(fs::exists(home_ / "Backup"));
}

}  // namespace
