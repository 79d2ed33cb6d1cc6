#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <thread>

#include "ChildProcess.h"

std::string TChildResult::Tail(size_t limit) const {
  return Output.size() <= limit ? Output : "..." + Output.substr(Output.size() - limit);
}

TChildResult RunChild(const std::vector<std::string>& argv,
                      const std::vector<std::string>& extraEnv, std::chrono::milliseconds timeout,
                      const std::string& logPath) {
  TChildResult result;
  // Everything the child needs is prepared before fork: after it, only
  // async-signal-safe calls are allowed.
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> envText(extraEnv);
  for (char** e = environ; *e; ++e) {
    std::string entry(*e);
    std::string name = entry.substr(0, entry.find('='));
    bool replaced = false;
    for (const auto& x : extraEnv)
      replaced = replaced || x.compare(0, name.size() + 1, name + "=") == 0;
    if (!replaced) envText.push_back(entry);
  }
  std::vector<char*> env;
  for (auto& e : envText) env.push_back(e.data());
  env.push_back(nullptr);

  int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (log < 0 || null < 0 || argv.empty()) {
    if (log >= 0) ::close(log);
    if (null >= 0) ::close(null);
    return result;
  }
  pid_t pid = ::fork();
  if (pid == 0) {
    ::setpgid(0, 0);
    ::dup2(null, 0);
    ::dup2(log, 1);
    ::dup2(log, 2);
    ::execve(args[0], args.data(), env.data());
    ::_exit(127);
  }
  ::close(log);
  ::close(null);
  if (pid < 0) return result;
  ::setpgid(pid, pid);  // also here, so the group exists before any kill below

  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  for (;;) {
    pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(-pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      result.TimedOut = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (WIFEXITED(status)) result.ExitStatus = WEXITSTATUS(status);
  result.Started = !(WIFEXITED(status) && WEXITSTATUS(status) == 127);
  std::ifstream in(logPath, std::ios::binary);
  result.Output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return result;
}
