#pragma once

#include <set>
#include <string>
#include <vector>

// What a run would do to one page, found without changing anything.
struct TDryRunPage {
  std::string Path;
  std::vector<std::string> NewImages;  // images that would be sliced, in order
  int ReusedTags = 0;                  // tags that would show an image sliced before
  int ErrorNumber = 0;                 // a file error (101 to 104), 0 for none
  std::string Error;                   // its message, or the error that would end the run
};

// Judges every IMG tag of `pagePath` as a run would. `sliced` holds the
// images earlier pages of the same look would have sliced, and grows.
TDryRunPage DryRunPage(const std::string& pagePath, std::set<std::string>& sliced);
