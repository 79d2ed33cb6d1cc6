#pragma once

// The small site the fault tests run vlm-cli over, and the commands they run.

#include <string>
#include <vector>

#include "testsupport/TempDir.h"
#include "tests/SiteTools.h"

namespace faultsite {

// Writes `dir`/home/vlm.ini and the site `dir`/site: two pages (one in a
// subfolder, one read-only to others) showing a GIF, a JPEG and two BMPs,
// one image inside a link, one shown twice, files of several modes, and a
// text file that is no page.
void MakeSite(const testsupport::TempDir& dir);

// vlm-cli protect over `dir`/site with fixed slicing options, with `env`
// added to the environment (VLM_HOME is set to `dir`/home).
sitetools::ProgramResult Protect(const testsupport::TempDir& dir, const std::vector<std::string>& env,
                                 const std::string& target = "site");

// vlm-cli restore of the newest set, when `dir`/home holds one; Status 0 and
// nothing printed otherwise. `env` is added to the environment.
sitetools::ProgramResult RestoreIfAny(const testsupport::TempDir& dir,
                                      const std::vector<std::string>& env = {});

// The lines of standard error that report an error: "Error #N: ...",
// "Error: ..." or "vlm-cli: ...".
std::vector<std::string> ErrorLines(const std::string& err);

}  // namespace faultsite
