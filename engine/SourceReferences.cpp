#include "engine/SourceReferences.h"

#include <algorithm>

#include "engine/ByteSearch.h"
#include "engine/PageEncoding.h"
#include "platform/Path.h"

namespace {

// A file name is at most 255 bytes.
constexpr size_t kWindow = 255;

constexpr std::string_view kPictureExtensions[] = {"gif", "jpg", "jpeg", "jpe",
                                                   "bmp", "png", "webp"};

bool IsPictureExtension(std::string_view ext) {
  return std::find(std::begin(kPictureExtensions), std::end(kPictureExtensions), ext) !=
         std::end(kPictureExtensions);
}

// The letters the extensions above start with.
constexpr char kExtensionStarts[] = {'g', 'j', 'b', 'p', 'w'};
static_assert(std::all_of(std::begin(kPictureExtensions), std::end(kPictureExtensions),
                          [](std::string_view ext) {
                            return std::find(std::begin(kExtensionStarts),
                                             std::end(kExtensionStarts),
                                             ext[0]) != std::end(kExtensionStarts);
                          }));

// The first "." in [from, end) that the first letter of a picture
// extension follows, in either case, or null. Most dots of a page end a
// sentence or stand before "html"; they are passed over sixteen at a time.
const char* FindExtensionDot(const char* from, const char* end) {
  auto starts = [](char c) {
    c = static_cast<char>(c | 0x20);
    return std::find(std::begin(kExtensionStarts), std::end(kExtensionStarts), c) !=
           std::end(kExtensionStarts);
  };
#if defined(__SSE2__)
  const __m128i dot = _mm_set1_epi8('.'), caseBit = _mm_set1_epi8(0x20);
  const __m128i g = _mm_set1_epi8(kExtensionStarts[0]), j = _mm_set1_epi8(kExtensionStarts[1]),
                b = _mm_set1_epi8(kExtensionStarts[2]), p = _mm_set1_epi8(kExtensionStarts[3]),
                w = _mm_set1_epi8(kExtensionStarts[4]);
  // A block reads the byte after its last position too.
  for (; end - from > 16; from += 16) {
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    const __m128i next =
        _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 1)), caseBit);
    const __m128i letter =
        _mm_or_si128(_mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(next, g), _mm_cmpeq_epi8(next, j)),
                                  _mm_or_si128(_mm_cmpeq_epi8(next, b), _mm_cmpeq_epi8(next, p))),
                     _mm_cmpeq_epi8(next, w));
    const auto bits =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(here, dot), letter)));
    if (bits != 0) return from + __builtin_ctz(bits);
  }
#endif
  for (; from + 1 < end; ++from) {
    if (*from == '.' && starts(from[1])) return from;
  }
  return nullptr;
}

bool IsNameByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = platform::AsciiLower(c);
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// `text` with every %XX replaced by its byte.
std::string PercentDecoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int hi = HexValue(text[i + 1]), lo = HexValue(text[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

}  // namespace

void TSourceReferences::NoteText(std::string_view text,
                                 const std::vector<std::pair<int, int>>& skipped) {
  if (StartsAsUtf16(text)) {
    std::string utf8(text);
    Utf16AsUtf8(utf8);
    NoteText(utf8);
    return;
  }
  NoteDecoded(text, skipped);
  const char* const end = text.data() + text.size();
  // The next percent-escape or character reference ("%20", "&amp;") from `at`.
  auto nextEscape = [end](const char* at) { return FindEitherByte(at, end, '%', '&'); };
  if (!nextEscape(text.data())) return;
  // The text again with its escapes and references decoded (references
  // first, as a browser reads an address), the skipped ranges blanked out
  // before since positions shift. Only windows that hold an escape or a
  // blanked byte can read otherwise than above, so only the stretches
  // around those are decoded, each alone, and a page of tens of megabytes
  // is not copied whole twice. Between two escapes of one window, and
  // before or after the escapes of a window, lie at most kWindow bytes and
  // an extension that are not escapes: a stretch reaching that far on both
  // sides of each escape or range holds every such window whole. A stretch
  // starts and ends out of reach of any escape, so it decodes as the same
  // bytes of the whole text would.
  constexpr size_t kReach = kWindow + 16;
  std::vector<std::pair<size_t, size_t>> ranges, seeds;  // 0-based, inclusive
  for (const auto& [first, last] : skipped) {
    if (first < 1 || last < first || static_cast<size_t>(last) > text.size()) continue;
    ranges.emplace_back(static_cast<size_t>(first - 1), static_cast<size_t>(last - 1));
  }
  auto range = ranges.begin();
  for (const char* at = nextEscape(text.data()); at; at = nextEscape(at + 1)) {
    const auto escape = static_cast<size_t>(at - text.data());
    for (; range != ranges.end() && range->first < escape; ++range) seeds.push_back(*range);
    seeds.emplace_back(escape, escape);
  }
  seeds.insert(seeds.end(), range, ranges.end());
  auto blank = ranges.begin();
  for (size_t i = 0; i < seeds.size();) {
    const size_t from = seeds[i].first > kReach ? seeds[i].first - kReach : 0;
    size_t to = std::min(text.size(), seeds[i].second + kReach + 1);  // exclusive
    for (++i; i < seeds.size() && seeds[i].first < to + kReach; ++i)
      to = std::max(to, std::min(text.size(), seeds[i].second + kReach + 1));
    std::string kept(text.substr(from, to - from));
    while (blank != ranges.end() && blank->second < from) ++blank;
    for (auto b = blank; b != ranges.end() && b->first < to; ++b) {
      const size_t first = std::max(b->first, from), last = std::min(b->second, to - 1);
      kept.replace(first - from, last - first + 1, last - first + 1, ' ');
    }
    NoteDecoded(PercentDecoded(WithCharacterReferences(kept)), {});
  }
}

void TSourceReferences::NoteDecoded(std::string_view text,
                                    const std::vector<std::pair<int, int>>& skipped) {
  auto range = skipped.begin();
  const char* const end = text.data() + text.size();
  for (const char* at = FindExtensionDot(text.data(), end); at;
       at = FindExtensionDot(at + 1, end)) {
    const size_t dot = static_cast<size_t>(at - text.data());
    size_t end = dot + 1;
    while (end < text.size() && IsNameByte(text[end]) && end - dot <= 5) ++end;
    // Most dots of a page end sentences: the extension is looked at in
    // place, without making a string of it.
    char lower[5];
    const size_t length = end - dot - 1;
    if (length < 3 || length > sizeof lower) continue;
    for (size_t i = 0; i < length; ++i) lower[i] = platform::AsciiLower(text[dot + 1 + i]);
    const std::string_view ext(lower, length);
    if (!IsPictureExtension(ext)) continue;
    const int position = static_cast<int>(dot) + 1;
    while (range != skipped.end() && range->second < position) ++range;
    if (range != skipped.end() && range->first <= position) continue;
    const size_t begin = dot > kWindow ? dot - kWindow : 0;
    Mentions_[std::string(ext)].push_back(platform::AsciiLower(text.substr(begin, end - begin)));
  }
}

namespace {
// Every byte beyond ASCII, for find_last_of.
const std::string kBeyondAscii = [] {
  std::string bytes;
  for (int b = 0x80; b <= 0xFF; ++b) bytes += static_cast<char>(b);
  return bytes;
}();
}  // namespace

bool TSourceReferences::Mentions(const std::string& path) const {
  const std::string name = platform::AsciiLower(path.substr(path.rfind('/') + 1));
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return true;
  const std::string ext = name.substr(dot + 1);
  if (!IsPictureExtension(ext)) return true;
  auto it = Mentions_.find(ext);
  if (it == Mentions_.end()) return false;
  // A page may write the letters beyond ASCII in another encoding than the
  // file system's UTF-8, or as character references ("&eacute;"): past the
  // last of them, the name must match, and the text must have such a letter
  // or the end of a reference there.
  const size_t lastWide = name.find_last_of(kBeyondAscii);
  const std::string tail = lastWide == std::string::npos ? name : name.substr(lastWide + 1);
  // The whole name: "photo-b.gif" or a piece "qrsb.gif" does not name b.gif.
  auto startsName = [](const std::string& window, size_t length) {
    if (window.size() == length) return true;  // nothing seen before it
    const char c = window[window.size() - length - 1];
    return !((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.' ||
             static_cast<unsigned char>(c) >= 0x80);
  };
  return std::any_of(it->second.begin(), it->second.end(), [&](const std::string& window) {
    if (window.ends_with(name) && startsName(window, name.size())) return true;
    if (lastWide == std::string::npos || window.size() <= tail.size() || !window.ends_with(tail)) {
      return false;
    }
    const char before = window[window.size() - tail.size() - 1];
    return static_cast<unsigned char>(before) >= 0x80 || before == ';';
  });
}
