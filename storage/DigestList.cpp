#include "storage/DigestList.h"

#include <algorithm>
#include <cctype>

#include "storage/Sha256.h"

std::string DigestLine(const std::string& path, std::string_view bytes) {
  return DigestLine(path, std::vector{bytes});
}

std::string DigestLine(const std::string& path, const std::vector<std::string_view>& pieces) {
  return Sha256Hex(pieces) + " " + std::to_string(path.size()) + " " + path + "\n";
}

std::map<std::string, std::string> ParseDigestList(const std::string& text, bool& damaged) {
  std::map<std::string, std::string> digests;
  damaged = false;
  size_t at = 0;
  while (at < text.size()) {
    const size_t lengthAt = at + 65;
    const size_t space = text.find(' ', lengthAt);
    std::string digest = text.substr(at, 64);
    const bool hex = digest.size() == 64 && std::all_of(digest.begin(), digest.end(), [](char c) {
                       return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
                     });
    if (!hex || lengthAt > text.size() || text[at + 64] != ' ' || space == std::string::npos ||
        space == lengthAt || space - lengthAt > 6 ||
        !std::all_of(text.begin() + lengthAt, text.begin() + space,
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
      damaged = true;
      break;
    }
    const size_t length = std::stoul(text.substr(lengthAt, space - lengthAt));
    const size_t end = space + 1 + length;
    if (end >= text.size() || text[end] != '\n') {
      damaged = true;
      break;
    }
    digests[text.substr(space + 1, length)] = std::move(digest);
    at = end + 1;
  }
  return digests;
}
