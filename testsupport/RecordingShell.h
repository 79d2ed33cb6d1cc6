#pragma once

#include <string>
#include <vector>

#include "platform/Shell.h"

namespace testsupport {

// A shell for tests: keeps every request in order and opens nothing. It
// installs itself for its lifetime and puts the previous shell back after.
class RecordingShell final : public platform::Shell {
 public:
  struct Request {
    std::string kind;  // "link", "help" or "page"
    std::string what;
    bool operator==(const Request&) const = default;
  };

  RecordingShell() : previous_(platform::SetShell(this)) {}
  ~RecordingShell() override { platform::SetShell(previous_); }
  RecordingShell(const RecordingShell&) = delete;
  RecordingShell& operator=(const RecordingShell&) = delete;

  void OpenLink(const std::string& url) override { requests.push_back({"link", url}); }
  void OpenHelpTopic(const std::string& topic) override { requests.push_back({"help", topic}); }
  void OpenPage(const std::string& path) override { requests.push_back({"page", path}); }

  std::vector<Request> requests;

 private:
  platform::Shell* previous_;
};

}  // namespace testsupport
