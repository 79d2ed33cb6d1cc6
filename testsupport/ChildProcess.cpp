#include "testsupport/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

extern char** environ;

namespace testsupport {

std::string ProgramResult::Tail(size_t limit) const {
  return Output.size() <= limit ? Output : "..." + Output.substr(Output.size() - limit);
}

namespace {

// Reads what `fd` holds now into `sink`; false once it reached its end.
bool Drain(int fd, std::string& sink) {
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      sink.append(buffer, static_cast<size_t>(n));
    } else {
      return n < 0 && (errno == EAGAIN || errno == EINTR);
    }
  }
}

}  // namespace

ProgramResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         std::chrono::milliseconds timeout) {
  ProgramResult result;
  if (argv.empty()) return result;
  // Everything the child needs is prepared before fork: after it, only
  // async-signal-safe calls are allowed.
  std::vector<std::string> envText(env);
  for (char** e = environ; *e; ++e) {
    std::string entry(*e);
    std::string name = entry.substr(0, entry.find('=') + 1);
    if (std::none_of(env.begin(), env.end(),
                     [&](const std::string& x) { return x.compare(0, name.size(), name) == 0; }))
      envText.push_back(entry);
  }
  std::vector<char*> args, envp;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (auto& e : envText) envp.push_back(e.data());
  envp.push_back(nullptr);

  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return result;
  if (::pipe2(err, O_CLOEXEC) != 0) {
    ::close(out[0]);
    ::close(out[1]);
    return result;
  }
  const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  pid_t pid = ::fork();
  if (pid == 0) {
    ::setpgid(0, 0);
    ::dup2(null, 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    ::execve(args[0], args.data(), envp.data());
    ::_exit(127);
  }
  ::close(null);
  ::close(out[1]);
  ::close(err[1]);
  if (pid < 0) {
    ::close(out[0]);
    ::close(err[0]);
    return result;
  }
  ::setpgid(pid, pid);  // also here, so the group exists before any kill below
  for (int fd : {out[0], err[0]}) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);

  const auto deadline = std::chrono::steady_clock::now() + timeout;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.Out, &result.Err};
  int status = 0;
  for (;;) {
    ::poll(fds, 2, 20);
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd >= 0 && !Drain(fds[i].fd, *sinks[i])) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
      }
    }
    if (::waitpid(pid, &status, WNOHANG) == pid) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(-pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      result.TimedOut = true;
      break;
    }
  }
  for (int i = 0; i < 2; ++i) {
    if (fds[i].fd < 0) continue;
    Drain(fds[i].fd, *sinks[i]);
    ::close(fds[i].fd);
  }
  if (WIFEXITED(status)) result.Status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.Signal = WTERMSIG(status);
  result.Started = !(WIFEXITED(status) && WEXITSTATUS(status) == 127);
  result.Output = result.Out + result.Err;
  return result;
}

ProgramResult RunShell(const std::string& command, const std::vector<std::string>& env,
                       std::chrono::milliseconds timeout) {
  return RunProgram({"/bin/sh", "-c", "exec 2>&1; " + command}, env, timeout);
}

}  // namespace testsupport
