#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include "app/TerminationSignal.h"

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  // Nothing else is safe inside a signal handler; the event loop does the rest.
  [[maybe_unused]] ssize_t ignored = ::write(signalPipe[1], &byte, 1);
}

void CloseWhenFree(QPointer<QWidget> window) {
  if (!window) return;
  if (QApplication::activeModalWidget()) {
    QTimer::singleShot(100, window, [window] { CloseWhenFree(window); });
    return;
  }
  window->close();
}

}  // namespace

void CloseOnTerminationSignal(QWidget* mainWindow) {
  if (signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) {
    return;
  }
  ::fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, mainWindow);
  QPointer<QWidget> window(mainWindow);
  QObject::connect(notifier, &QSocketNotifier::activated, mainWindow, [window] {
    char buffer[16];
    [[maybe_unused]] ssize_t ignored = ::read(signalPipe[0], buffer, sizeof buffer);
    CloseWhenFree(window);
  });
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
}
