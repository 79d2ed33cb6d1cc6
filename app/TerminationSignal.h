#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

// The system's requests to end the program (SIGTERM, SIGINT, SIGHUP: logging
// out, kill, Ctrl+C in a terminal, a closed terminal). While the object
// lives, each request calls `onRequest` from the event loop, also while a
// modal window runs its own loop, and the signals no longer end the process
// by themselves. One object at a time; the destructor restores what the
// signals did before.
class TerminationSignal {
 public:
  explicit TerminationSignal(std::function<void()> onRequest);
  ~TerminationSignal();
  TerminationSignal(const TerminationSignal&) = delete;
  TerminationSignal& operator=(const TerminationSignal&) = delete;

 private:
  struct Saved;
  std::unique_ptr<Saved> saved_;
  std::unique_ptr<QSocketNotifier> notifier_;
};
