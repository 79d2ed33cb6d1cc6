#include <signal.h>

#include <cerrno>
#include <fstream>
#include <string>

#include "app/ProcessWatch.h"

bool ProcessRunning(int64_t pid) {
  if (pid <= 0) return false;
  // The state in /proc tells an ended, uncollected process from a running
  // one; without /proc, asking for the process is the best there is.
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  if (stat) {
    std::string line;
    std::getline(stat, line);
    const size_t name = line.rfind(')');
    if (name == std::string::npos || name + 2 >= line.size()) return false;
    const char state = line[name + 2];
    return state != 'Z' && state != 'X';
  }
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}
