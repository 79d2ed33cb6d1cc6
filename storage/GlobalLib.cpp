#include "storage/GlobalLib.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "platform/LargeMemory.h"
#include "platform/Path.h"

EFileCreateError::EFileCreateError(const std::string& fileName)
    : EFileHandlerError(101, "Can not create file " + fileName) {}
EFileOpenError::EFileOpenError(const std::string& fileName)
    : EFileHandlerError(102, "Can not open file " + fileName) {}
EFileReadError::EFileReadError(const std::string& fileName)
    : EFileHandlerError(103, "Can not read file " + fileName) {}
EFileWriteError::EFileWriteError(const std::string& fileName)
    : EFileHandlerError(104, "Can not write file " + fileName) {}

namespace {

platform::Access AccessOf(int32_t mode) {
  switch (mode & 0x0F) {
    case fmOpenWrite:
      return platform::Access::Write;
    case fmOpenReadWrite:
      return platform::Access::ReadWrite;
    default:
      return platform::Access::Read;
  }
}

// Compatibility and exclusive sharing keep every other opener out; the modes
// that let others in take a shared lock.
platform::Sharing SharingOf(int32_t mode) {
  int32_t share = mode & 0xF0;
  return share == fmShareCompat || share == fmShareExclusive ? platform::Sharing::Exclusive
                                                             : platform::Sharing::Shared;
}

}  // namespace

TFileHandler::TFileHandler(const std::string& fileName, CreateTag) : FileName_(fileName) {
  if (!Handle_.Create(fileName, platform::Sharing::Exclusive)) throw EFileCreateError(fileName);
}

TFileHandler::TFileHandler(const std::string& fileName, int32_t mode) : FileName_(fileName) {
  if (!Handle_.Open(fileName, AccessOf(mode), SharingOf(mode))) throw EFileOpenError(fileName);
  int64_t size = Handle_.Size();
  // A size that does not fit FileSize would give a truncated copy that a
  // later write would put back over the whole file: refuse the file instead.
  if (size < 0 || size > INT32_MAX) throw EFileOpenError(fileName);
  FileSize_ = static_cast<int32_t>(size);
}

std::unique_ptr<TFileHandler> TFileHandler::Create(const std::string& fileName) {
  return std::make_unique<TFileHandler>(fileName, CreateTag{});
}

std::unique_ptr<TFileHandler> TFileHandler::Open(const std::string& fileName, int32_t mode) {
  return std::make_unique<TFileHandler>(fileName, mode);
}

void TFileHandler::Read(std::string& text, int32_t count) {
  const int64_t wanted = count > 0 ? count : FileSize_;
  std::string data;
  data.reserve(static_cast<size_t>(wanted));
  platform::AdviseLargeBlock(data.data(), static_cast<size_t>(wanted));
  data.resize(static_cast<size_t>(wanted));
  int64_t got = Handle_.Read(data.data(), wanted);
  // A short read means the file changed under us; bytes that were not read
  // must never be handed out as if they were the file's.
  if (got != wanted) throw EFileReadError(FileName_);
  text = std::move(data);
}

void TFileHandler::Append(std::string_view text) { Buffer_.append(text); }

void TFileHandler::Flush() {
  if (Buffer_.empty()) return;
  if (!Handle_.WriteAt(Buffer_.data(), static_cast<int64_t>(Buffer_.size()), 0)) {
    throw EFileWriteError(FileName_);
  }
}

void TFileHandler::Sync() {
  if (!Handle_.Sync()) throw EFileWriteError(FileName_);
}

void TFileHandler::WriteWhole(std::string_view content) {
  const auto size = static_cast<int64_t>(content.size());
  if (!Handle_.WriteAt(content.data(), size, 0) || !Handle_.Truncate(size)) {
    throw EFileWriteError(FileName_);
  }
}

void TFileHandler::WriteWhole(const std::vector<std::string_view>& pieces) {
  int64_t size = 0;
  for (std::string_view piece : pieces) size += static_cast<int64_t>(piece.size());
  if (!Handle_.WriteAt(pieces, 0) || !Handle_.Truncate(size)) throw EFileWriteError(FileName_);
}

int32_t FileSizeOf(const std::string& fileName) {
  TFileHandler handler(fileName, fmOpenRead | fmShareDenyNone);
  return handler.FileSize();
}

// ---------------------------------------------------------------------------

std::string PrintablePath(std::string_view path) {
  std::string text;
  for (char c : path) {
    if (c == '\n') {
      text += "\\n";
    } else if (c == '\r') {
      text += "\\r";
    } else {
      text += c;
    }
  }
  return text;
}

int PosCharFrom(std::string_view text, char ch, int start) {
  if (start < 1) start = 1;
  if (static_cast<size_t>(start) > text.size()) return 0;
  size_t at = text.find(ch, static_cast<size_t>(start - 1));
  return at == std::string_view::npos ? 0 : static_cast<int>(at) + 1;
}

namespace {

// True when the bytes at `at`, upper-cased, are `pattern`.
inline bool MatchesAt(const char* at, std::string_view pattern) {
  for (size_t k = 0; k < pattern.size(); ++k) {
    if (platform::AsciiUpper(at[k]) != pattern[k]) return false;
  }
  return true;
}

#if defined(__SSE2__)
// The case bit a byte of a pattern is matched with: a letter of the pattern
// matches either case by setting the bit (0x20) of the text's byte first,
// since only the letter's two cases give its lower-case form that way.
inline char FoldBit(char c) { return c >= 'A' && c <= 'Z' ? char{0x20} : char{0}; }

// Looks for the pattern (two bytes or more) at start positions p, p + 1, ...
// below `end`, sixteen at a time: positions whose first three bytes (two for
// a pattern of two) fold to the pattern's are candidates, and only they are
// compared in full; in a page, "<IMG" is thus not stopped at every "<I>".
// Returns the 1-based position of the first match, or 0 with `p` on the
// first position not looked at. A block reads bytes p to p + 15 + k, k + 1
// being the bytes compared, which lie in the text because no match may
// begin past end - 1 = size - pattern size.
int ScanCandidates(const char* base, size_t& p, size_t end, std::string_view pattern) {
  const size_t k = pattern.size() >= 3 ? 2 : 1;
  const __m128i fold0 = _mm_set1_epi8(FoldBit(pattern[0])),
                fold1 = _mm_set1_epi8(FoldBit(pattern[1])),
                foldK = _mm_set1_epi8(FoldBit(pattern[k]));
  const __m128i want0 = _mm_set1_epi8(static_cast<char>(pattern[0] | FoldBit(pattern[0])));
  const __m128i want1 = _mm_set1_epi8(static_cast<char>(pattern[1] | FoldBit(pattern[1])));
  const __m128i wantK = _mm_set1_epi8(static_cast<char>(pattern[k] | FoldBit(pattern[k])));
  for (; p + 16 <= end; p += 16) {
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + p));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + p + 1));
    const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + p + k));
    const __m128i hit = _mm_and_si128(
        _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(here, fold0), want0),
                      _mm_cmpeq_epi8(_mm_or_si128(next, fold1), want1)),
        _mm_cmpeq_epi8(_mm_or_si128(last, foldK), wantK));
    for (unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(hit)); bits != 0;
         bits &= bits - 1) {
      const size_t j = static_cast<size_t>(__builtin_ctz(bits));
      if (MatchesAt(base + p + j, pattern)) return static_cast<int>(p + j) + 1;
    }
  }
  return 0;
}

// The same, thirty-two positions at a time, for processors with AVX2.
__attribute__((target("avx2"))) int ScanCandidatesWide(const char* base, size_t& p, size_t end,
                                                       std::string_view pattern) {
  const size_t k = pattern.size() >= 3 ? 2 : 1;
  const __m256i fold0 = _mm256_set1_epi8(FoldBit(pattern[0])),
                fold1 = _mm256_set1_epi8(FoldBit(pattern[1])),
                foldK = _mm256_set1_epi8(FoldBit(pattern[k]));
  const __m256i want0 = _mm256_set1_epi8(static_cast<char>(pattern[0] | FoldBit(pattern[0])));
  const __m256i want1 = _mm256_set1_epi8(static_cast<char>(pattern[1] | FoldBit(pattern[1])));
  const __m256i wantK = _mm256_set1_epi8(static_cast<char>(pattern[k] | FoldBit(pattern[k])));
  for (; p + 32 <= end; p += 32) {
    const __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + p));
    const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + p + 1));
    const __m256i last = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + p + k));
    const __m256i hit = _mm256_and_si256(
        _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_or_si256(here, fold0), want0),
                         _mm256_cmpeq_epi8(_mm256_or_si256(next, fold1), want1)),
        _mm256_cmpeq_epi8(_mm256_or_si256(last, foldK), wantK));
    for (unsigned bits = static_cast<unsigned>(_mm256_movemask_epi8(hit)); bits != 0;
         bits &= bits - 1) {
      const size_t j = static_cast<size_t>(__builtin_ctz(bits));
      if (MatchesAt(base + p + j, pattern)) return static_cast<int>(p + j) + 1;
    }
  }
  return 0;
}
#endif

}  // namespace

int PosTextFrom(std::string_view text, std::string_view pattern, int start) {
  if (pattern.empty()) return 0;
  if (start < 1) start = 1;
  const int64_t n = static_cast<int64_t>(text.size()) - static_cast<int64_t>(pattern.size()) -
                    start + 2;
  if (n <= 0) return 0;
  const char* base = text.data();
  size_t p = static_cast<size_t>(start - 1);
  const size_t end = p + static_cast<size_t>(n);  // one past the last position a match may begin at
#if defined(__SSE2__)
  if (pattern.size() >= 2) {
    static const bool wide = __builtin_cpu_supports("avx2");
    if (wide) {
      if (const int found = ScanCandidatesWide(base, p, end, pattern)) return found;
    }
    if (const int found = ScanCandidates(base, p, end, pattern)) return found;
  }
#endif
  for (; p < end; ++p) {
    if (MatchesAt(base + p, pattern)) return static_cast<int>(p) + 1;
  }
  return 0;
}

void CopyInto(std::string_view src, int start, int count, std::string& dest) {
  if (count <= 0) {
    dest.clear();
    return;
  }
  dest.assign(src.substr(static_cast<size_t>(start - 1), static_cast<size_t>(count)));
}

void AppendFrom(std::string_view src, int start, int count, std::string& dest) {
  if (count <= 0) return;
  dest.append(src.substr(static_cast<size_t>(start - 1), static_cast<size_t>(count)));
}

void DescrambleText(std::string_view stored, std::string& result) {
  result.resize(stored.size());
  for (size_t i = 0; i < stored.size(); ++i) {
    result[i] = static_cast<char>(static_cast<uint8_t>(stored[i]) ^ kScrambleKey[i % 4]);
  }
}

// ---------------------------------------------------------------------------

namespace {

void PrintError(int number, const std::string& message) {
  std::fprintf(stderr, "Error #%d: %s\n", number, message.c_str());
}

TShowErrorHandler& CurrentHandler() {
  static TShowErrorHandler handler = PrintError;
  return handler;
}

}  // namespace

void ShowError(int number, const std::string& message) { CurrentHandler()(number, message); }

TShowErrorHandler SetShowErrorHandler(TShowErrorHandler handler) {
  if (!handler) handler = PrintError;
  return std::exchange(CurrentHandler(), std::move(handler));
}
