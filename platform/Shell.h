#pragma once

#include <string>

namespace platform {

// What the program asks of the desktop outside its own windows: opening a
// link, a help topic or a page in a browser. An interface so that tests can
// record the requests instead of starting other programs; the windowed
// program installs the desktop's implementation at start.
class Shell {
 public:
  virtual ~Shell() = default;

  // Opens a link ("mailto:...", "https://...") with the desktop's handler.
  // Whether that succeeds is not reported: the caller goes on either way.
  virtual void OpenLink(const std::string& url) = 0;
  // Opens a page of the help: `topic` names a file of the folder Help/ beside
  // the program, optionally followed by "#place" ("index.htm#adddir").
  virtual void OpenHelpTopic(const std::string& topic) = 0;
  // Shows the page file at `path` in a browser window of its own. Raises
  // Exception when there is no browser to show it.
  virtual void OpenPage(const std::string& path) = 0;
};

// A shell for programs without a desktop: every request is dropped.
class NoShell final : public Shell {
 public:
  void OpenLink(const std::string&) override {}
  void OpenHelpTopic(const std::string&) override {}
  void OpenPage(const std::string&) override {}
};

namespace shell_internal {
inline Shell*& Installed() {
  static Shell* installed = nullptr;
  return installed;
}
}  // namespace shell_internal

// The installed shell, or a NoShell when none is installed.
inline Shell& CurrentShell() {
  static NoShell none;
  Shell* installed = shell_internal::Installed();
  return installed ? *installed : none;
}

// Installs `shell` (not owned; it must outlive its installation; nullptr
// removes it) and returns the one installed before.
inline Shell* SetShell(Shell* shell) {
  Shell* old = shell_internal::Installed();
  shell_internal::Installed() = shell;
  return old;
}

}  // namespace platform
