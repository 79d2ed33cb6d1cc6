#include "testsupport/Wait.h"

#include <filesystem>
#include <thread>

namespace testsupport {

bool WaitFor(const std::function<bool()>& done, const std::function<void()>& pause,
             std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return done();
    if (pause) {
      pause();
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  return true;
}

bool AwaitFile(const std::string& path) {
  return WaitFor([&] {
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
  });
}

}  // namespace testsupport
