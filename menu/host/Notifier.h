#pragma once

#include <memory>
#include <string>

// Where vlm-shell tells the user what went wrong when nobody reads its
// standard error, as when a file manager's context menu starts it.
class Notifier {
 public:
  virtual ~Notifier() = default;
  // Shows `message` to the user; returns once it is shown or handed on.
  virtual void Notify(const std::string& message) = 0;
};

// The desktop's way: a notification through `notify-send` when it is on the
// PATH and succeeds, else a small message box when a display is there; with
// neither the message stays on standard error only.
std::unique_ptr<Notifier> DesktopNotifier();
