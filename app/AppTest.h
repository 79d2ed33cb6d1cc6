#pragma once

// Support for the tests of the windowed program: a fresh program folder per
// test, and helpers that act on modal windows while a window's own modal
// loop runs (the only way to reach them, as a user does).

#include <QApplication>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "testsupport/TempDir.h"

// Lets the tests' failure messages show texts of the toolkit.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace apptest {

// A temporary program folder with a vlm.ini that knows the types htm and
// html; VLM_HOME and XDG_RUNTIME_DIR point into it for the life of the
// object, and XDG_CONFIG_HOME to its folder config/, where the toolkit keeps
// the state of its file dialogs. (The toolkit takes the configuration folder
// once per process, so a process that runs many tests keeps the first one.)
class ProgramFolder {
 public:
  ProgramFolder();

  const testsupport::TempDir& dir() const { return dir_; }
  std::string operator/(const std::string& name) const { return dir_ / name; }
  std::string Write(const std::string& name, const std::string& data) const {
    return dir_.Write(name, data);
  }
  // Rewrites vlm.ini with `includeSubdir` as IncludeSubdir.
  void WriteOptions(bool includeSubdir, const std::string& lineEnd = "\r\n") const;

 private:
  testsupport::TempDir dir_;
  testsupport::ScopedEnv home_;
  testsupport::ScopedEnv runtime_;
  testsupport::ScopedEnv config_;
};

// Calls `action` with every modal window that waits for the user, in order,
// while it lives; `action` is called once per window, as soon as the window
// is the active modal one and visible. Polls from a timer, so it works inside
// the nested loops of exec(). Also notes every modal window shown, however
// briefly.
class ModalWatcher {
 public:
  explicit ModalWatcher(std::function<void(QWidget*)> action);
  ~ModalWatcher();
  ModalWatcher(const ModalWatcher&) = delete;
  ModalWatcher& operator=(const ModalWatcher&) = delete;

  // Class names of the modal windows shown, in order.
  const std::vector<std::string>& seen() const { return seen_; }

 private:
  std::function<void(QWidget*)> action_;
  std::vector<QPointer<QWidget>> handled_;
  std::vector<std::string> seen_;
  std::unique_ptr<QTimer> timer_;
  std::unique_ptr<QObject> showSpy_;
};

// The child of `window` with the object name, or a test failure.
template <typename T>
T* Child(const QWidget* window, const char* name) {
  T* child = window->findChild<T*>(QString::fromLatin1(name));
  if (!child) throw std::runtime_error(std::string("no child ") + name);
  return child;
}

// Clicks the button with that object name in `window` with the mouse.
void Click(QWidget* window, const char* name);

// Processes events until `done` holds or a generous limit passes.
bool WaitFor(const std::function<bool()>& done);

// The page text the tests protect: one line of HTML with no image.
std::string PlainPage(const std::string& title);

}  // namespace apptest
