#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <iterator>

#include "app/TerminationSignal.h"

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The writing end of the object's socket pair; -1 while there is none.
volatile sig_atomic_t signalWriter = -1;

void OnSignal(int) {
  const char byte = 1;
  // Nothing else is safe inside a signal handler; the event loop does the rest.
  const int saved = errno;
  if (signalWriter >= 0) {
    [[maybe_unused]] ssize_t ignored = ::write(signalWriter, &byte, 1);
  }
  errno = saved;
}

}  // namespace

struct TerminationSignal::Saved {
  int pair[2] = {-1, -1};
  struct sigaction previous[std::size(kSignals)] = {};
};

TerminationSignal::TerminationSignal(std::function<void()> onRequest)
    : saved_(std::make_unique<Saved>()) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, saved_->pair) != 0) return;
  ::fcntl(saved_->pair[0], F_SETFL, O_NONBLOCK);
  ::fcntl(saved_->pair[1], F_SETFL, O_NONBLOCK);
  signalWriter = saved_->pair[1];
  notifier_ = std::make_unique<QSocketNotifier>(saved_->pair[0], QSocketNotifier::Read);
  const int reader = saved_->pair[0];
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                   [reader, onRequest = std::move(onRequest)] {
                     char buffer[16];
                     while (::read(reader, buffer, sizeof buffer) > 0) {
                     }
                     onRequest();
                   });
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < std::size(kSignals); ++i) {
    ::sigaction(kSignals[i], &action, &saved_->previous[i]);
  }
}

TerminationSignal::~TerminationSignal() {
  if (saved_->pair[0] < 0) return;
  for (size_t i = 0; i < std::size(kSignals); ++i) {
    ::sigaction(kSignals[i], &saved_->previous[i], nullptr);
  }
  signalWriter = -1;
  notifier_.reset();
  ::close(saved_->pair[0]);
  ::close(saved_->pair[1]);
}
