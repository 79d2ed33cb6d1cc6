#pragma once

// Helpers of the tests that run the programs over a site: snapshots of a
// folder tree, running a program with a time limit, and reading what a
// vlm-cli run says it did.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sitetools {

struct EntryState {
  bool Folder = false;
  unsigned Mode = 0;  // permission bits
  std::string Content;
  bool operator==(const EntryState&) const = default;
};

// Every file and folder under `root` by its path relative to it, with its
// permission bits and, for files, its bytes.
using TreeSnapshot = std::map<std::string, EntryState>;

TreeSnapshot SnapshotTree(const std::string& root);

// A readable list of what differs, empty when the snapshots are equal.
std::string DescribeDifferences(const TreeSnapshot& before, const TreeSnapshot& after);

struct ProgramResult {
  int Status = -1;  // exit status, -1 when killed by a signal
  int Signal = 0;   // the signal that ended it, 0 when it exited
  bool TimedOut = false;
  std::string Out, Err;
};

// Runs `argv` with the current environment plus `env` ("NAME=value"), its
// standard input empty, and waits at most `seconds` (then kills it and
// reports TimedOut).
ProgramResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         int seconds = 120);

// What a vlm-cli protect run printed about itself.
struct RunReport {
  bool HasSummary = false;
  std::map<std::string, int64_t> PageSizes;  // page -> final size, as printed
  int64_t Images = 0, Pieces = 0, Errors = 0;
};

RunReport ParseRunReport(const std::string& out);

// Checks that the change from `before` to `after` of the site at `root` is
// what the run reported: pages changed only when listed, to the size given;
// new files only piece files (four letters and an image extension), as many
// as reported (fewer when errors are reported); files gone only sliced
// images, no more than reported; no mode changed.
// Returns the discrepancies, empty when there are none.
std::string UnaccountedChanges(const std::string& root, const TreeSnapshot& before,
                               const TreeSnapshot& after, const RunReport& report);

}  // namespace sitetools
