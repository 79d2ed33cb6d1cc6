#include "app/DesktopShell.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include "app/FileName.h"
#include "app/ProcessWatch.h"
#include "app/WebBrowser.h"
#include "platform/Exception.h"
#include "storage/vlmOption.h"

namespace {

// How long a browser that was not running yet gets to become the one that
// later pages are handed to.
constexpr int kBrowserSettleMs = 3000;

// Waits until the starter process `pid` has ended, or for `limitMs`, letting
// the windows repaint meanwhile (but taking no user input).
void WaitWhileRunning(qint64 pid, int limitMs) {
  QElapsedTimer clock;
  clock.start();
  while (ProcessRunning(pid) && clock.elapsed() < limitMs) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    QThread::msleep(10);
  }
}

}  // namespace

QUrl HelpTopicUrl(const std::string& topic) {
  const size_t hash = topic.find('#');
  QUrl url = QUrl::fromLocalFile(DecodeName(GetProgramDir() + "/Help/" + topic.substr(0, hash)));
  if (hash != std::string::npos) url.setFragment(QString::fromUtf8(topic.substr(hash + 1)));
  return url;
}

void DesktopShell::OpenLink(const std::string& url) {
  QDesktopServices::openUrl(QUrl::fromEncoded(QByteArray::fromStdString(url)));
}

void DesktopShell::OpenHelpTopic(const std::string& topic) {
  QDesktopServices::openUrl(HelpTopicUrl(topic));
}

void DesktopShell::OpenPage(const std::string& path) {
  const QString url = QUrl::fromLocalFile(QFileInfo(DecodeName(path)).absoluteFilePath())
                          .toString(QUrl::FullyEncoded);
  const std::optional<BrowserLaunch> browser = FindWebBrowser(url);
  if (!browser) {
    throw Exception("No web browser was found to show the page \"" + path +
                    "\". Install one, or name it in the environment variable BROWSER.");
  }
  // The browser belongs to the user from here on; its chatter does not go to
  // the program's output.
  QProcess start;
  start.setProgram(browser->program);
  start.setArguments(browser->arguments);
  start.setStandardOutputFile(QProcess::nullDevice());
  start.setStandardErrorFile(QProcess::nullDevice());
  qint64 pid = 0;
  if (!start.startDetached(&pid)) {
    throw Exception("The web browser \"" + EncodeName(browser->program) +
                    "\" could not be started to show the page \"" + path + "\".");
  }
  // A running browser takes the page over and its starter ends at once. One
  // that was not running becomes the browser itself; it gets a moment to
  // take that role before the next page comes, else several starts race and
  // the windows open in any order.
  WaitWhileRunning(pid, kBrowserSettleMs);
}
