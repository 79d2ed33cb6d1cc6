#include "storage/DigestList.h"

#include <xxhash.h>

#include <algorithm>
#include <cctype>
#include <new>

#include "storage/Sha256.h"

namespace {

constexpr std::string_view kFastDigest = "xxh128:";

bool IsHex(std::string_view digits) {
  return std::all_of(digits.begin(), digits.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// The length of the digest that `text` starts with at `at`, either form; 0
// when none does.
size_t DigestLengthAt(const std::string& text, size_t at) {
  const std::string_view rest = std::string_view(text).substr(at);
  if (rest.starts_with(kFastDigest)) {
    const size_t length = kFastDigest.size() + 32;
    return rest.size() >= length && IsHex(rest.substr(kFastDigest.size(), 32)) ? length : 0;
  }
  return rest.size() >= 64 && IsHex(rest.substr(0, 64)) ? 64 : 0;
}

}  // namespace

std::string FileDigest(const std::vector<std::string_view>& pieces) {
  XXH3_state_t* state = XXH3_createState();
  if (!state) throw std::bad_alloc();
  XXH3_128bits_reset(state);
  for (std::string_view piece : pieces) XXH3_128bits_update(state, piece.data(), piece.size());
  XXH128_canonical_t canonical;
  XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(state));
  XXH3_freeState(state);
  std::string digest(kFastDigest);
  static constexpr char kDigits[] = "0123456789abcdef";
  for (unsigned char byte : canonical.digest) {
    digest += kDigits[byte >> 4];
    digest += kDigits[byte & 15];
  }
  return digest;
}

bool DigestMatches(const std::string& digest, std::string_view bytes) {
  const std::vector<std::string_view> pieces{bytes};
  return digest == (digest.starts_with(kFastDigest) ? FileDigest(pieces) : Sha256Hex(pieces));
}

std::string DigestLine(const std::string& path, std::string_view bytes) {
  return DigestLine(path, std::vector{bytes});
}

std::string DigestLine(const std::string& path, const std::vector<std::string_view>& pieces) {
  return FileDigest(pieces) + " " + std::to_string(path.size()) + " " + path + "\n";
}

std::map<std::string, std::string> ParseDigestList(const std::string& text, bool& damaged) {
  std::map<std::string, std::string> digests;
  damaged = false;
  size_t at = 0;
  while (at < text.size()) {
    const size_t digestLength = DigestLengthAt(text, at);
    const size_t lengthAt = at + digestLength + 1;
    const size_t space = text.find(' ', lengthAt);
    std::string digest = text.substr(at, digestLength);
    if (digestLength == 0 || lengthAt > text.size() || text[lengthAt - 1] != ' ' ||
        space == std::string::npos || space == lengthAt || space - lengthAt > 6 ||
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
