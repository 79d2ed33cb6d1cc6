// The built program as a user starts it: with a page, with a folder, a
// second time while it runs, and on an X server with a real window manager.

#include <gtest/gtest.h>
#include <signal.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QStandardPaths>
#include <QTest>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/AppTest.h"
#include "engine/BmpCodec.h"
#include "testsupport/TestImages.h"
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
  EXPECT_NE(testsupport::TempDir::ReadFile(other).find("<table "), std::string::npos);
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

// Each request of the system to end the program, while the program waits on
// a message (the hand-off file of a "/menu" start is missing): the message
// closes, the program ends normally and saves its options.
TEST_F(Program, EachEndSignalDuringAMessageEndsTheProgramAndSavesTheOptions) {
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    home_.Write("vlm.ini", optionsBefore_);
    Start({"/menu"});
    // The message stands once the window has been handled; give it time.
    QTest::qWait(700);
    ::kill(static_cast<pid_t>(program_.processId()), signal);
    ASSERT_TRUE(program_.waitForFinished(20000));
    EXPECT_EQ(program_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program_.exitCode(), 0);
    EXPECT_NE(home_.dir().Read("vlm.ini"), optionsBefore_);
  }
}

// An X server of its own (Xvfb) with a real window manager on it, driven
// with xdotool as a user drives it with the mouse and the keyboard.
class DesktopSession {
 public:
  // Leaves display() empty when no X server can run here.
  DesktopSession(const std::string& home, const QStringList& windowManager) {
    environment_ = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME",
                             "XDG_RUNTIME_DIR"}) {
      environment_.insert(name, QString::fromStdString(home));
    }
    environment_.remove("DBUS_SESSION_BUS_ADDRESS");
    environment_.insert("NO_AT_BRIDGE", "1");
    if (QStandardPaths::findExecutable("Xvfb").isEmpty()) return;
    server_.setProcessEnvironment(environment_);
    // No reset when the last client leaves: a server that resets refuses
    // the next client for a moment.
    server_.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp",
                           "-noreset"});
    if (!server_.waitForStarted() || !apptest::WaitFor([&] {
          return server_.canReadLine() || server_.state() != QProcess::Running;
        })) {
      return;
    }
    const QString number = QString::fromLatin1(server_.readLine()).trimmed();
    if (number.isEmpty()) return;
    environment_.insert("DISPLAY", ":" + number);
    // The server names its display before every client can connect; a
    // window manager started too early cannot open it and quits.
    if (!apptest::WaitFor([&] { return Ran("xprop", {"-root", "-len", "1"}).has_value(); })) return;
    manager_.setProcessEnvironment(environment_);
    // Nothing the window manager starts (a session bus, a settings service)
    // may hold the test's output open once the test ended.
    manager_.setStandardOutputFile(QProcess::nullDevice());
    manager_.setStandardErrorFile(QProcess::nullDevice());
    manager_.start(windowManager.front(), windowManager.mid(1));
    EXPECT_TRUE(manager_.waitForStarted()) << windowManager.front().toStdString();
    // A window manager announces itself on the root window once it runs.
    EXPECT_TRUE(apptest::WaitFor([&] {
      return Output("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id");
    }));
    // It then gives the keyboard focus to a window of its own, just before
    // it takes over the windows already on the screen: a window that shows
    // before that is taken over as one of those, without the focus (seen with
    // xfwm4 on a loaded machine). Until then no window has the focus, which
    // xdotool reports as an error.
    EXPECT_TRUE(apptest::WaitFor([&] { return Ran("xdotool", {"getwindowfocus"}).has_value(); }));
    display_ = ":" + number;
  }
  // The server goes first: the window manager then ends by itself, and what
  // wraps it ends what it started (a session bus wrapper that is terminated
  // instead would leave its bus running for ever).
  ~DesktopSession() {
    for (QProcess* process : {&server_, &manager_}) {
      if (process->state() == QProcess::NotRunning) continue;
      if (process == &server_) process->terminate();
      if (process->waitForFinished(10000)) continue;
      process->terminate();
      if (!process->waitForFinished(5000)) process->kill();
      process->waitForFinished(5000);
    }
  }

  const QString& display() const { return display_; }
  const QProcessEnvironment& environment() const { return environment_; }

  // Runs a tool of the session's display and returns what it printed.
  QString Output(const QString& program, const QStringList& arguments) const {
    QProcess tool;
    tool.setProcessEnvironment(environment_);
    tool.start(program, arguments);
    tool.waitForFinished(20000);
    return QString::fromLocal8Bit(tool.readAllStandardOutput());
  }
  QString Xdotool(const QStringList& arguments) const { return Output("xdotool", arguments); }
  // What a tool of the session's display printed, when it ended well and
  // complained of nothing.
  std::optional<QString> Ran(const QString& program, const QStringList& arguments) const {
    QProcess tool;
    tool.setProcessEnvironment(environment_);
    tool.start(program, arguments);
    if (!tool.waitForFinished(20000) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0 || !tool.readAllStandardError().isEmpty()) {
      return std::nullopt;
    }
    return QString::fromLocal8Bit(tool.readAllStandardOutput());
  }

  struct Window {
    QString id;
    QRect place;
  };
  // The windows of process `pid` that are on the screen; nothing when the
  // window system gave no full answer. A window that goes away while the
  // tool walks the window tree makes it fail, and what it printed then lacks
  // windows that are still there.
  std::optional<std::vector<Window>> Windows(qint64 pid) const {
    const std::optional<QString> ids =
        Ran("xdotool", {"search", "--onlyvisible", "--pid", QString::number(pid)});
    if (!ids) return std::nullopt;
    std::vector<Window> windows;
    for (const QString& id : ids->split('\n', Qt::SkipEmptyParts)) {
      const std::optional<QString> geometry = Ran("xdotool", {"getwindowgeometry", "--shell", id});
      if (!geometry) return std::nullopt;
      QRect place;
      for (const QString& line : geometry->split('\n')) {
        const QString value = line.section('=', 1);
        if (line.startsWith("X=")) place.moveLeft(value.toInt());
        if (line.startsWith("Y=")) place.moveTop(value.toInt());
        if (line.startsWith("WIDTH=")) place.setWidth(value.toInt());
        if (line.startsWith("HEIGHT=")) place.setHeight(value.toInt());
      }
      windows.push_back({id, place});
    }
    return windows;
  }
  // The window that has the keyboard focus.
  QString FocusedWindow() const { return Xdotool({"getwindowfocus"}).trimmed(); }

 private:
  QProcessEnvironment environment_;
  QProcess server_;
  QProcess manager_;
  QString display_;
};

struct WindowManagerCase {
  const char* name;
  QStringList command;
};

void PrintTo(const WindowManagerCase& manager, std::ostream* out) { *out << manager.name; }

class PlacementUnderWindowManager : public ::testing::TestWithParam<WindowManagerCase> {};

// The window manager places the main window itself; the program must know
// where. Dialogs then open over the main window, and dragging the title bar
// moves the window by exactly the drag. The window manager races with the
// program at each start, so several starts are tried.
TEST_P(PlacementUnderWindowManager, DialogsOpenOverTheMainWindowAndDraggingMovesItByTheDrag) {
  apptest::ProgramFolder home;
  DesktopSession session(home.dir().path(), GetParam().command);
  if (session.display().isEmpty()) GTEST_SKIP() << "no X server can run here";
  QProcessEnvironment environment = session.environment();
  environment.insert("VLM_HOME", QString::fromStdString(home.dir().path()));
  environment.insert("QT_QPA_PLATFORM", "xcb");
  // Two ways into a dialog over the main window: the about button, and the
  // list's Shift+Insert into the folder chooser, which first tells that its
  // initial folder (none here) is no folder. Each comes with the number of
  // windows that open, one over the other.
  struct Opening {
    std::function<void(const QRect&)> open;
    int windows;
  };
  const Opening openings[] = {
      {[&](const QRect& main) {
         session.Xdotool({"mousemove", QString::number(main.x() + 460),
                          QString::number(main.y() + 48), "click", "1"});
       },
       1},
      {[&](const QRect&) { session.Xdotool({"key", "shift+Insert"}); }, 2},
  };
  for (int start = 0; start < 6; ++start) {
    SCOPED_TRACE(start);
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(VLM_PROGRAM, {});
    ASSERT_TRUE(program.waitForStarted());
    std::vector<DesktopSession::Window> windows;
    QString focused;
    // Waits until the window system lists the program's windows in full and
    // `done` holds for them and the window that has the focus.
    auto until = [&](const std::function<bool()>& done) {
      return apptest::WaitFor([&] {
        std::optional<std::vector<DesktopSession::Window>> listed =
            session.Windows(program.processId());
        if (!listed) return false;
        windows = std::move(*listed);
        focused = session.FocusedWindow();
        return done();
      });
    };
    auto listed = [&](const QString& id) {
      return std::any_of(windows.begin(), windows.end(), [&](const auto& w) { return w.id == id; });
    };
    // Shown, and given the keyboard focus by the window manager.
    ASSERT_TRUE(until([&] { return windows.size() == 1 && focused == windows.front().id; }))
        << windows.size() << " windows, " << focused.toStdString() << " has the focus";
    const DesktopSession::Window main = windows.front();

    const Opening& opening = openings[start % 2];
    opening.open(main.place);
    // Escape closes each window in turn. The next one shows only after the
    // one before it has gone, and the window manager gives it the focus.
    for (int window = 0; window < opening.windows; ++window) {
      ASSERT_TRUE(until([&] {
        return windows.size() == 2 && focused != main.id && listed(focused);
      })) << "window " << window << " did not show";
      const DesktopSession::Window dialog = windows[0].id == main.id ? windows[1] : windows[0];
      // The first opens within the main window (the chooser is taller).
      if (window == 0) {
        EXPECT_TRUE(main.place.contains(dialog.place))
            << "main window at " << main.place.x() << "," << main.place.y() << ", window at "
            << dialog.place.x() << "," << dialog.place.y();
      }
      session.Xdotool({"key", "Escape"});
      ASSERT_TRUE(until([&] { return !listed(dialog.id); })) << "window " << window << " stayed";
    }
    // The main window has the focus back before the drag.
    ASSERT_TRUE(until([&] { return windows.size() == 1 && focused == main.id; }))
        << windows.size() << " windows, " << focused.toStdString() << " has the focus";

    // A slow drag of the title bar, as a hand makes it: the press is held a
    // moment before the pointer moves, and before it is let go.
    const QPoint grip = main.place.topLeft() + QPoint(200, 10);
    session.Xdotool({"mousemove", QString::number(grip.x()), QString::number(grip.y()),
                     "mousedown", "1", "sleep", "0.5", "mousemove", QString::number(grip.x() + 10),
                     QString::number(grip.y() + 10), "sleep", "0.2", "mousemove",
                     QString::number(grip.x() + 40), QString::number(grip.y() + 30), "sleep", "0.5",
                     "mouseup", "1"});
    // A window manager that takes the pointer only after the first step (the
    // program was slow to ask for the move) moves the window by the rest.
    QPoint moved;
    EXPECT_TRUE(until([&] {
      moved =
          windows.size() != 1 ? QPoint() : windows.front().place.topLeft() - main.place.topLeft();
      return moved == QPoint(40, 30) || moved == QPoint(30, 20);
    })) << "from " << main.place.x() << "," << main.place.y() << " by " << moved.x() << ","
        << moved.y();
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(20000));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Desktop, PlacementUnderWindowManager,
    ::testing::Values(WindowManagerCase{"openbox", {"openbox", "--sm-disable"}},
                      WindowManagerCase{"xfwm4",
                                      {"dbus-run-session", "--", "xfwm4", "--compositor=off",
                                       "--sm-client-disable"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
