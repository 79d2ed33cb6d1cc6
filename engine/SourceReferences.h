#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// The picture file names that the texts of a run mention: its pages (outside
// the tables the run made), and the other pages and texts of the site. A
// sliced source whose name is mentioned anywhere stays, so that no link,
// background or script of the site loses the picture it points at. The
// match is by file name only, in any letter case, as written and with
// percent-escapes and character references decoded: a name mentioned in
// another folder also keeps the source; when in doubt, the source stays.
class TSourceReferences {
 public:
  // Notes every picture name in `text`, except those inside the 1-based,
  // inclusive position ranges of `skipped` (in order, not overlapping). A
  // text in UTF-16 is read as UTF-8, whole.
  void NoteText(std::string_view text, const std::vector<std::pair<int, int>>& skipped = {});
  // True when a noted text mentions the file name of `path`. Always true
  // for a name whose extension is not that of a picture the run can cut.
  bool Mentions(const std::string& path) const;

 private:
  void NoteDecoded(std::string_view text, const std::vector<std::pair<int, int>>& skipped);
  // Extension (lower case, no dot) -> the lower-cased text that ends with
  // it, at most kWindow bytes before the dot.
  std::unordered_map<std::string, std::vector<std::string>> Mentions_;
};
