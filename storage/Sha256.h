#pragma once

#include <string>
#include <string_view>
#include <vector>

// The SHA-256 digest of `data` as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view data);
// The digest of the pieces' bytes one after the other, as if joined.
std::string Sha256Hex(const std::vector<std::string_view>& pieces);
