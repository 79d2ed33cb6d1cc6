#pragma once

#include <map>
#include <string>

#include "testsupport/ChildProcess.h"
#include "testsupport/TempDir.h"

// A copy of the sample site in a temporary folder, with a program folder of
// its own (VLM_HOME) that holds a copy of the built vlm.ini, so vlm-cli runs
// on it exactly as a user's would and its backup sets land there too.
class SampleCopy {
 public:
  SampleCopy();

  // The copy of the site and the program folder.
  std::string site() const { return root_ / "site"; }
  std::string home() const { return root_ / "home"; }
  // A folder for anything else a test writes.
  std::string scratch() const { return root_ / "scratch"; }

  // Runs `vlm-cli ARGS...` with VLM_HOME set to home().
  testsupport::ProgramResult Cli(const std::vector<std::string>& args) const;

 private:
  testsupport::TempDir root_;
};

// The text of a page in UTF-8; a page in UTF-16 is converted.
std::string ReadPage(const std::string& path);

// The sample site as it is kept in the source tree (read only).
std::string SampleSiteDir();

