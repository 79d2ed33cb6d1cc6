#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

// The fourth file of a backup set, N.sum, says what the run left behind: one
// line for every file the run wrote (pages and pieces). A page's line is on
// disk before the page changes; a piece's line follows the piece and may lag
// it, so a piece may have none (a restore removes it all the same):
//   <digest of the bytes> SP <length of the path> SP <path> LF
// The digest is "xxh128:" and the 128-bit XXH3 hash of the bytes in 32
// lower-case hex digits; sets made before it was written so hold their
// SHA-256 in 64 hex digits, and are read as they were. It tells a file the
// run wrote from one edited since, by accident, not by design: a fast hash
// does that as well as a cryptographic one at a tenth of the cost, which a
// page of many megabytes feels. The path's length comes first so that any
// byte may stand in a path. A set made before this file existed has none;
// its files are judged as before.

std::string DigestLine(const std::string& path, std::string_view bytes);
// The line of a file whose bytes are the pieces one after the other.
std::string DigestLine(const std::string& path, const std::vector<std::string_view>& pieces);

// The digest of the pieces' bytes one after the other, as a new line holds it.
std::string FileDigest(const std::vector<std::string_view>& pieces);
// True when `bytes` are what `digest`, as a line of either form holds it, was
// taken of.
bool DigestMatches(const std::string& digest, std::string_view bytes);

// The digest of every path in `text`; a later line of a path replaces an
// earlier one. Reading stops at the first line that is torn or malformed;
// `damaged` is then set.
std::map<std::string, std::string> ParseDigestList(const std::string& text, bool& damaged);
