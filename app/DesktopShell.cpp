#include "app/DesktopShell.h"

#include <QDesktopServices>

#include "app/FileName.h"
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
  QDesktopServices::openUrl(QUrl::fromLocalFile(DecodeName(path)));
}
