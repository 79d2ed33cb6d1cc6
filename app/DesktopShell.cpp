#include "app/DesktopShell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>

#include "app/FileName.h"
#include "app/WebBrowser.h"
#include "platform/Exception.h"
#include "storage/vlmOption.h"

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
  const QString url =
      QUrl::fromLocalFile(QFileInfo(DecodeName(path)).absoluteFilePath()).toString(QUrl::FullyEncoded);
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
  if (!start.startDetached()) {
    throw Exception("The web browser \"" + EncodeName(browser->program) +
                    "\" could not be started to show the page \"" + path + "\".");
  }
}
