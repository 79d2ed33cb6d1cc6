#include "storage/Sha256.h"

#include <nettle/sha2.h>

// The system's hashing library picks the processor's SHA instructions where
// it has them: a run hashes every page and piece it writes, and a page can be
// tens of megabytes.
std::string Sha256Hex(std::string_view data) { return Sha256Hex(std::vector{data}); }

std::string Sha256Hex(const std::vector<std::string_view>& pieces) {
  sha256_ctx context;
  sha256_init(&context);
  for (std::string_view piece : pieces)
    sha256_update(&context, piece.size(), reinterpret_cast<const uint8_t*>(piece.data()));
  uint8_t digest[SHA256_DIGEST_SIZE];
  sha256_digest(&context, sizeof digest, digest);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * sizeof digest);
  for (uint8_t byte : digest) {
    text += kHex[byte >> 4];
    text += kHex[byte & 15];
  }
  return text;
}
