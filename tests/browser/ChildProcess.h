#pragma once

#include <chrono>
#include <string>
#include <vector>

// What became of a program run by RunChild.
struct TChildResult {
  // False when the program could not be executed; a program that itself
  // exits with 127 (as a shell does for a missing command) looks the same.
  bool Started = false;
  bool TimedOut = false;  // it was killed at the deadline
  int ExitStatus = -1;    // its exit status; -1 when it did not exit normally
  std::string Output;     // standard output and standard error, interleaved

  bool Succeeded() const { return Started && !TimedOut && ExitStatus == 0; }
  // The last `limit` bytes of the output, for a failure message.
  std::string Tail(size_t limit = 2000) const;
};

// Runs the program argv[0] (a path, not searched for) with the arguments
// argv[1..] and the environment of this process plus `extraEnv` ("NAME=value"
// entries, which win). Waits until it exits or `timeout` passes; at the
// deadline the program and every process it started in its process group are
// killed. Standard input is /dev/null; standard output and standard error go
// to `logPath`, which is overwritten and read back into Output.
TChildResult RunChild(const std::vector<std::string>& argv,
                      const std::vector<std::string>& extraEnv, std::chrono::milliseconds timeout,
                      const std::string& logPath);
