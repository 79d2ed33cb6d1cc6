#pragma once

// Reading what a vlm-cli run over a site says it did, and checking the site
// against it.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "testsupport/ChildProcess.h"
#include "testsupport/SnapshotTree.h"

namespace sitetools {

using testsupport::DescribeDifferences;
using testsupport::ProgramResult;
using testsupport::RunProgram;
using testsupport::SnapshotTree;
using testsupport::TreeSnapshot;

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
