#include "app/WebBrowser.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/AppTest.h"
#include "app/DesktopShell.h"
#include "platform/Exception.h"
#include "testsupport/TempDir.h"

namespace {

namespace fs = std::filesystem;

const QString kUrl = QStringLiteral("file:///web/site/a%20b.htm");

TEST(DesktopExec, FieldCodesAndQuotesAreExpanded) {
  EXPECT_EQ(ExpandDesktopExec("/usr/bin/chromium %U", kUrl, "Chromium"),
            QStringList({"/usr/bin/chromium", kUrl}));
  EXPECT_EQ(ExpandDesktopExec("browse --title %c %i %k -x", kUrl, "Web"),
            QStringList({"browse", "--title", "Web", "-x", kUrl}));
  EXPECT_EQ(ExpandDesktopExec("\"/opt/my web/run\" \"a \\\"q\\\" b\"  %f %F 100%%", kUrl, ""),
            QStringList({"/opt/my web/run", "a \"q\" b", kUrl, "100%"}));
  EXPECT_EQ(ExpandDesktopExec("run \"\" %u", kUrl, ""), QStringList({"run", "", kUrl}));
}

// A folder of programs that stand in for browsers: each writes its arguments,
// one per line, to the file named like itself with ".args".
class BrowserLookupTest : public ::testing::Test {
 protected:
  std::string Program(const std::string& name) const {
    const std::string path = dir_.Write(
        "bin/" + name, "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"$0.args\"\n");
    fs::permissions(path, fs::perms::owner_all);
    return path;
  }
  static QString Q(const std::string& text) { return QString::fromStdString(text); }

  testsupport::TempDir dir_;
  testsupport::ScopedEnv dataHome_{"XDG_DATA_HOME", dir_ / "share"};
  testsupport::ScopedEnv dataDirs_{"XDG_DATA_DIRS", dir_ / "system"};
  testsupport::ScopedEnv configHome_{"XDG_CONFIG_HOME", dir_ / "config"};
  testsupport::ScopedEnv configDirs_{"XDG_CONFIG_DIRS", dir_ / "config-system"};
  testsupport::ScopedEnv desktop_{"XDG_CURRENT_DESKTOP", ""};
};

TEST_F(BrowserLookupTest, TheVariableBrowserComesFirst) {
  const std::string browse = Program("browse");
  const std::string firefox = Program("firefox");
  testsupport::ScopedEnv path("PATH", dir_ / "bin");
  {
    testsupport::ScopedEnv browser("BROWSER", "missing:" + browse + " --private %s");
    const auto launch = FindWebBrowser(kUrl);
    ASSERT_TRUE(launch);
    EXPECT_EQ(launch->program, Q(browse));
    EXPECT_EQ(launch->arguments, QStringList({"--private", kUrl}));
  }
  {
    testsupport::ScopedEnv browser("BROWSER", "firefox:browse");
    const auto launch = FindWebBrowser(kUrl);
    ASSERT_TRUE(launch);
    EXPECT_EQ(launch->program, Q(firefox));
    EXPECT_EQ(launch->arguments, QStringList({"--new-window", kUrl}));
  }
}

TEST_F(BrowserLookupTest, ThenTheDesktopsHandlerOfWebLinks) {
  const std::string web = Program("web");
  dir_.Write("config/mimeapps.list",
             "[Default Applications]\nx-scheme-handler/http=vendor-web.desktop\n");
  dir_.Write("share/applications/vendor/web.desktop",
             "[Desktop Entry]\nName=Web\nExec=" + web +
                 " --class %c %U\n[Desktop Action New]\nName=New\nExec=wrong\n");
  testsupport::ScopedEnv browser("BROWSER", "");
  testsupport::ScopedEnv path("PATH", "/usr/bin:/bin");
  const auto launch = FindWebBrowser(kUrl);
  ASSERT_TRUE(launch);
  EXPECT_EQ(launch->program, Q(web));
  EXPECT_EQ(launch->arguments, QStringList({"--class", "Web", kUrl}));
}

TEST_F(BrowserLookupTest, ThenWellKnownBrowsersAndOtherwiseNone) {
  testsupport::ScopedEnv browser("BROWSER", "not-there");
  testsupport::ScopedEnv path("PATH", dir_ / "bin");
  EXPECT_FALSE(FindWebBrowser(kUrl));
  const std::string chromium = Program("chromium");
  const auto launch = FindWebBrowser(kUrl);
  ASSERT_TRUE(launch);
  EXPECT_EQ(launch->program, Q(chromium));
  EXPECT_EQ(launch->arguments, QStringList({"--new-window", kUrl}));
}

TEST_F(BrowserLookupTest, DesktopShellStartsTheBrowserWithThePageOrSaysThereIsNone) {
  const std::string browse = Program("browse");
  const std::string page = dir_.Write("site/my page.htm", "<html></html>");
  testsupport::ScopedEnv path("PATH", dir_ / "bin");
  DesktopShell shell;
  {
    testsupport::ScopedEnv browser("BROWSER", browse);
    shell.OpenPage(page);
    ASSERT_TRUE(apptest::WaitFor([&] { return fs::exists(browse + ".args"); }));
    EXPECT_TRUE(apptest::WaitFor([&] {
      return testsupport::TempDir::ReadFile(browse + ".args") ==
             "file://" + QUrl::toPercentEncoding(Q(page), "/").toStdString() + "\n";
    })) << testsupport::TempDir::ReadFile(browse + ".args");
  }
  testsupport::ScopedEnv browser("BROWSER", "");
  try {
    shell.OpenPage(page);
    FAIL() << "opened without a browser";
  } catch (const Exception& error) {
    EXPECT_EQ(std::string(error.what()),
              "No web browser was found to show the page \"" + page +
                  "\". Install one, or name it in the environment variable BROWSER.");
  }
}

TEST_F(BrowserLookupTest, PagesReachABrowserThatIsStartingInTheOrderAsked) {
  // The first start becomes the browser and takes a while to show its page;
  // later starts hand their pages over at once.
  const std::string browse = dir_.Write(
      "bin/browse",
      "#!/bin/sh\nif mkdir \"$0.running\" 2>/dev/null; then sleep 0.5; echo \"$1\" >> \"$0.log\"; "
      "sleep 0.5; else echo \"$1\" >> \"$0.log\"; fi\n");
  fs::permissions(browse, fs::perms::owner_all);
  testsupport::ScopedEnv path("PATH", dir_ / "bin:/usr/bin:/bin");
  testsupport::ScopedEnv browser("BROWSER", browse);
  DesktopShell shell;
  std::string expected;
  for (const char* name : {"one", "two", "three"}) {
    const std::string page = dir_.Write(std::string("site/") + name + ".htm", "");
    shell.OpenPage(page);
    expected += "file://" + page + "\n";
  }
  EXPECT_TRUE(apptest::WaitFor([&] {
    return testsupport::TempDir::ReadFile(browse + ".log") == expected;
  })) << testsupport::TempDir::ReadFile(browse + ".log");
}

}  // namespace
