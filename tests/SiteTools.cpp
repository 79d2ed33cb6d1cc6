#include "tests/SiteTools.h"

#include <regex>
#include <sstream>

namespace sitetools {

RunReport ParseRunReport(const std::string& out) {
  RunReport report;
  static const std::regex kPage(R"(^(.*)  (\d+) -> (\d+) bytes$)");
  static const std::regex kImages(R"(^Images sliced: (\d+) \((\d+) pieces\)$)");
  static const std::regex kErrors(R"(^Errors: (\d+)$)");
  std::istringstream lines(out);
  std::string line;
  std::smatch m;
  while (std::getline(lines, line)) {
    if (std::regex_match(line, m, kPage)) {
      report.PageSizes[m[1]] = std::stoll(m[3]);
    } else if (std::regex_match(line, m, kImages)) {
      report.Images = std::stoll(m[1]);
      report.Pieces = std::stoll(m[2]);
    } else if (std::regex_match(line, m, kErrors)) {
      report.Errors = std::stoll(m[1]);
      report.HasSummary = true;
    }
  }
  return report;
}

namespace {

bool IsImageName(const std::string& path) {
  static const std::regex kImage(R"(.*\.(gif|jpg|jpeg|bmp)$)", std::regex::icase);
  return std::regex_match(path, kImage);
}

bool IsPieceName(const std::string& path) {
  static const std::regex kPiece(R"((.*/)?[a-z]{4}\.[^/.]+$)");
  return std::regex_match(path, kPiece) && IsImageName(path);
}

}  // namespace

std::string UnaccountedChanges(const std::string& root, const TreeSnapshot& before,
                               const TreeSnapshot& after, const RunReport& report) {
  std::ostringstream out;
  if (!report.HasSummary) out << "the run printed no summary\n";
  int64_t pieces = 0, removed = 0;
  for (const auto& [path, state] : before) {
    auto it = after.find(path);
    if (it == after.end()) {
      if (state.Folder || !IsImageName(path)) out << "removed, not an image: " << path << "\n";
      ++removed;
      continue;
    }
    if (it->second.Mode != state.Mode) out << "mode changed: " << path << "\n";
    if (it->second.Content == state.Content) continue;
    auto page = report.PageSizes.find(root + "/" + path);
    if (page == report.PageSizes.end()) {
      out << "changed without being reported: " << path << "\n";
    } else if (page->second != static_cast<int64_t>(it->second.Content.size())) {
      out << "reported as " << page->second << " bytes, is " << it->second.Content.size() << ": "
          << path << "\n";
    }
  }
  for (const auto& [path, state] : after) {
    if (before.count(path)) continue;
    if (state.Folder || !IsPieceName(path)) {
      out << "new file that is no piece: " << path << "\n";
    } else {
      ++pieces;
    }
  }
  const bool exact = report.Errors == 0;
  if (exact ? pieces != report.Pieces : pieces > report.Pieces) {
    out << pieces << " new piece files, reported " << report.Pieces << "\n";
  }
  // A sliced source may stay: a page of the run can still show it.
  if (removed > report.Images) {
    out << removed << " images removed, reported " << report.Images << " sliced\n";
  }
  return out.str();
}

}  // namespace sitetools
