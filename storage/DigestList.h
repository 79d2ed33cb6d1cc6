#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

// The fourth file of a backup set, N.sum, says what the run left behind: one
// line for every file the run wrote (pages and pieces). A page's line is on
// disk before the page changes; a piece's line follows the piece and may lag
// it, so a piece may have none (a restore removes it all the same):
//   <SHA-256 of the bytes, 64 hex digits> SP <length of the path> SP <path> LF
// The path's length comes first so that any byte may stand in a path. A
// set made before this file existed has none; its files are judged as
// before.

std::string DigestLine(const std::string& path, std::string_view bytes);
// The line of a file whose bytes are the pieces one after the other.
std::string DigestLine(const std::string& path, const std::vector<std::string_view>& pieces);

// The digest of every path in `text`; a later line of a path replaces an
// earlier one. Reading stops at the first line that is torn or malformed;
// `damaged` is then set.
std::map<std::string, std::string> ParseDigestList(const std::string& text, bool& damaged);
