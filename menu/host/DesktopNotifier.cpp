#include <QApplication>
#include <QMessageBox>
#include <cstdlib>

#include "menu/host/Notifier.h"
#include "platform/Process.h"

namespace {

constexpr char kTitle[] = "Velmora";

// A display to show a window on, as the toolkit would find it.
bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    if (const char* value = std::getenv(name); value && *value) return true;
  }
  return false;
}

class TDesktopNotifier final : public Notifier {
 public:
  void Notify(const std::string& message) override {
    const std::string program = platform::FindProgram("notify-send");
    if (!program.empty() &&
        platform::RunAndWait(program,
                             {"--app-name=Velmora", "--icon=dialog-error", kTitle, message}) == 0) {
      return;
    }
    if (!HasDisplay()) return;
    if (QApplication::instance() == nullptr) {
      static int argc = 1;
      static char name[] = "vlm-shell";
      static char* argv[] = {name, nullptr};
      app_ = std::make_unique<QApplication>(argc, argv);
    }
    QMessageBox::warning(nullptr, kTitle, QString::fromLocal8Bit(message.c_str()));
  }

 private:
  std::unique_ptr<QApplication> app_;
};

}  // namespace

std::unique_ptr<Notifier> DesktopNotifier() { return std::make_unique<TDesktopNotifier>(); }
