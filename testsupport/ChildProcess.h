#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace testsupport {

// What became of a program run by RunProgram.
struct ProgramResult {
  // False when the program could not be executed; a program that itself
  // exits with 127 (as a shell does for a missing command) looks the same.
  bool Started = false;
  bool TimedOut = false;  // it was killed at the deadline
  int Status = -1;        // its exit status; -1 when it did not exit normally
  int Signal = 0;         // the signal that ended it, 0 when it exited
  std::string Out, Err;   // standard output and standard error
  std::string Output;     // both, standard output first

  bool Succeeded() const { return Started && !TimedOut && Status == 0; }
  // The last `limit` bytes of Output, for a failure message.
  std::string Tail(size_t limit = 2000) const;
};

// Runs the program argv[0] (a path, not searched for) with the arguments
// argv[1..] and the environment of this process plus `env` ("NAME=value"
// entries, which win). Standard input is /dev/null. Waits until it exits or
// `timeout` passes; at the deadline the program and every process it started
// in its process group are killed. Output its own children still write after
// it exited is not waited for.
ProgramResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         std::chrono::milliseconds timeout = std::chrono::seconds(120));

// `command` run by /bin/sh with `env`, standard error joined to standard
// output.
ProgramResult RunShell(const std::string& command, const std::vector<std::string>& env = {},
                       std::chrono::milliseconds timeout = std::chrono::seconds(120));

}  // namespace testsupport
