#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace testsupport {

// Looks at `done` until it holds or `limit` passes, calling `pause` between
// looks (by default a sleep of 50 ms; a window test lets events through
// there). False when it never held.
bool WaitFor(const std::function<bool()>& done, const std::function<void()>& pause = {},
             std::chrono::milliseconds limit = std::chrono::seconds(30));

// Waits until a file exists at `path`, as a child process leaves one when it
// has got so far. False when none came.
bool AwaitFile(const std::string& path);

}  // namespace testsupport
