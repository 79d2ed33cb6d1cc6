#pragma once

#include <QUrl>
#include <string>

#include "platform/Shell.h"

// The address of a help topic: the page of the folder Help/ beside the
// program (GetProgramDir), with the place after "#" as the fragment.
QUrl HelpTopicUrl(const std::string& topic);

// The shell of the desktop: links and help pages go to the desktop's handlers
// (the mail program, the browser) through xdg-open; a page file opens in a
// new window of the user's web browser (FindWebBrowser), and OpenPage raises
// Exception when no browser can be found or started.
class DesktopShell final : public platform::Shell {
 public:
  void OpenLink(const std::string& url) override;
  void OpenHelpTopic(const std::string& topic) override;
  void OpenPage(const std::string& path) override;
};
