#include "tests/SiteTools.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <sstream>

#include "platform/TempDir.h"

extern char** environ;

namespace sitetools {

namespace fs = std::filesystem;

TreeSnapshot SnapshotTree(const std::string& root) {
  TreeSnapshot tree;
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    struct stat st;
    if (::lstat(item.path().c_str(), &st) != 0) continue;
    EntryState state;
    state.Folder = S_ISDIR(st.st_mode);
    state.Mode = st.st_mode & 07777;
    if (S_ISREG(st.st_mode)) state.Content = platform::TempDir::ReadFile(item.path().string());
    tree[fs::relative(item.path(), root).string()] = std::move(state);
  }
  return tree;
}

std::string DescribeDifferences(const TreeSnapshot& before, const TreeSnapshot& after) {
  std::ostringstream out;
  for (const auto& [path, state] : before) {
    auto it = after.find(path);
    if (it == after.end()) {
      out << "missing: " << path << "\n";
    } else if (it->second.Folder != state.Folder) {
      out << "kind changed: " << path << "\n";
    } else if (it->second.Content != state.Content) {
      out << "content changed: " << path << " (" << state.Content.size() << " -> "
          << it->second.Content.size() << " bytes)\n";
    } else if (it->second.Mode != state.Mode) {
      out << "mode changed: " << path << std::oct << " (" << state.Mode << " -> " << it->second.Mode
          << ")" << std::dec << "\n";
    }
  }
  for (const auto& [path, state] : after) {
    if (!before.count(path)) out << "new: " << path << "\n";
  }
  return out.str();
}

ProgramResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         int seconds) {
  ProgramResult result;
  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return result;
  std::vector<std::string> environment;
  for (char** e = environ; *e; ++e) environment.emplace_back(*e);
  environment.insert(environment.end(), env.begin(), env.end());
  std::vector<char*> args, envp;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const auto& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);

  pid_t child = ::fork();
  if (child == 0) {
    int devnull = ::open("/dev/null", O_RDONLY);
    ::dup2(devnull, 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    ::execve(args[0], args.data(), envp.data());
    _exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.Out, &result.Err};
  int open = 2;
  while (open > 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0) {
      result.TimedOut = true;
      ::kill(child, SIGKILL);
      break;
    }
    if (::poll(fds, 2, static_cast<int>(left)) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buffer[65536];
      ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  for (auto& f : fds) {
    if (f.fd >= 0) ::close(f.fd);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  if (WIFEXITED(status)) {
    result.Status = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.Signal = WTERMSIG(status);
  }
  return result;
}

RunReport ParseRunReport(const std::string& out) {
  RunReport report;
  static const std::regex kPage(R"(^(.*)  (\d+) -> (\d+) bytes$)");
  static const std::regex kImages(R"(^Images sliced: (\d+) \((\d+) pieces\)$)");
  static const std::regex kErrors(R"(^Errors: (\d+)$)");
  std::istringstream lines(out);
  std::string line;
  std::smatch m;
  while (std::getline(lines, line)) {
    if (std::regex_match(line, m, kPage)) {
      report.PageSizes[m[1]] = std::stoll(m[3]);
    } else if (std::regex_match(line, m, kImages)) {
      report.Images = std::stoll(m[1]);
      report.Pieces = std::stoll(m[2]);
    } else if (std::regex_match(line, m, kErrors)) {
      report.Errors = std::stoll(m[1]);
      report.HasSummary = true;
    }
  }
  return report;
}

namespace {

bool IsImageName(const std::string& path) {
  static const std::regex kImage(R"(.*\.(gif|jpg|jpeg|bmp)$)", std::regex::icase);
  return std::regex_match(path, kImage);
}

bool IsPieceName(const std::string& path) {
  static const std::regex kPiece(R"((.*/)?[a-z]{4}\.[^/.]+$)");
  return std::regex_match(path, kPiece) && IsImageName(path);
}

}  // namespace

std::string UnaccountedChanges(const std::string& root, const TreeSnapshot& before,
                               const TreeSnapshot& after, const RunReport& report) {
  std::ostringstream out;
  if (!report.HasSummary) out << "the run printed no summary\n";
  int64_t pieces = 0, removed = 0;
  for (const auto& [path, state] : before) {
    auto it = after.find(path);
    if (it == after.end()) {
      if (state.Folder || !IsImageName(path)) out << "removed, not an image: " << path << "\n";
      ++removed;
      continue;
    }
    if (it->second.Mode != state.Mode) out << "mode changed: " << path << "\n";
    if (it->second.Content == state.Content) continue;
    auto page = report.PageSizes.find(root + "/" + path);
    if (page == report.PageSizes.end()) {
      out << "changed without being reported: " << path << "\n";
    } else if (page->second != static_cast<int64_t>(it->second.Content.size())) {
      out << "reported as " << page->second << " bytes, is " << it->second.Content.size() << ": "
          << path << "\n";
    }
  }
  for (const auto& [path, state] : after) {
    if (before.count(path)) continue;
    if (state.Folder || !IsPieceName(path)) {
      out << "new file that is no piece: " << path << "\n";
    } else {
      ++pieces;
    }
  }
  const bool exact = report.Errors == 0;
  if (exact ? pieces != report.Pieces : pieces > report.Pieces) {
    out << pieces << " new piece files, reported " << report.Pieces << "\n";
  }
  // A sliced source may stay: a page of the run can still show it.
  if (removed > report.Images) {
    out << removed << " images removed, reported " << report.Images << " sliced\n";
  }
  return out.str();
}

}  // namespace sitetools
