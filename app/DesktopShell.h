#pragma once

#include <QUrl>
#include <string>

#include "platform/Shell.h"

// The address of a help topic: the page of the folder Help/ beside the
// program (GetProgramDir), with the place after "#" as the fragment.
QUrl HelpTopicUrl(const std::string& topic);

// The shell of the desktop: links, help pages and page files go to the
// desktop's handlers (the mail program, the browser) through xdg-open.
class DesktopShell final : public platform::Shell {
 public:
  void OpenLink(const std::string& url) override;
  void OpenHelpTopic(const std::string& topic) override;
  void OpenPage(const std::string& path) override;
};
