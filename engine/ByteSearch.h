#pragma once

#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The first `c` in [from, end), or null. Inline, for the scans that step
// from one tag or dot of a page to the next: those are tens of bytes apart,
// where a library call costs more than the search.
inline const char* FindByte(const char* from, const char* end, char c) {
#if defined(__SSE2__)
  const __m128i want = _mm_set1_epi8(c);
  for (; end - from >= 16; from += 16) {
    const auto bits = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from)), want)));
    if (bits != 0) return from + __builtin_ctz(bits);
  }
#endif
  return from < end ? static_cast<const char*>(std::memchr(from, c, static_cast<size_t>(end - from)))
                    : nullptr;
}

// The first `a` or `b` in [from, end), or null: one pass where two searches
// would each read the whole text.
inline const char* FindEitherByte(const char* from, const char* end, char a, char b) {
#if defined(__SSE2__)
  const __m128i wantA = _mm_set1_epi8(a), wantB = _mm_set1_epi8(b);
  for (; end - from >= 16; from += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    const auto bits = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(block, wantA), _mm_cmpeq_epi8(block, wantB))));
    if (bits != 0) return from + __builtin_ctz(bits);
  }
#endif
  for (; from < end; ++from) {
    if (*from == a || *from == b) return from;
  }
  return nullptr;
}
