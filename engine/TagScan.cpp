#include "engine/TagScan.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>

#include "engine/ByteSearch.h"
#include "platform/Path.h"
#include "storage/GlobalLib.h"

namespace {

// Steps over the attributes from `pos` (just after the tag's name) to the
// ">" that ends the tag, as ReadTagAttributes reads them. Returns the index
// of that ">", or npos when the text ends first; `quoteOpen` then says
// whether it ended inside a quoted value.
size_t ScanAttributes(std::string_view text, size_t pos, bool& quoteOpen) {
  quoteOpen = false;
  const size_t n = text.size();
  auto skipBlanks = [&] {
    while (pos < n && IsTagBlank(text[pos])) ++pos;
  };
  while (true) {
    while (pos < n && (IsTagBlank(text[pos]) || text[pos] == '/')) ++pos;
    if (pos >= n) return std::string_view::npos;
    if (text[pos] == '>') return pos;
    ++pos;  // a first "=" belongs to the name
    while (pos < n && !IsTagBlank(text[pos]) && text[pos] != '/' && text[pos] != '>' &&
           text[pos] != '=') {
      ++pos;
    }
    skipBlanks();
    if (pos < n && text[pos] == '=') {
      ++pos;
      skipBlanks();
      if (pos < n && (text[pos] == '"' || text[pos] == '\'')) {
        const char quote = text[pos++];
        const size_t close = text.find(quote, pos);
        if (close == std::string_view::npos) {
          quoteOpen = true;
          return std::string_view::npos;
        }
        pos = close + 1;
      } else {
        while (pos < n && !IsTagBlank(text[pos]) && text[pos] != '>') ++pos;
      }
    }
  }
}

// Index just after the tag's name: "<" and the name's letters.
size_t AfterTagName(std::string_view text, size_t start) {
  size_t pos = start + 1;
  while (pos < text.size() && !IsTagBlank(text[pos]) && text[pos] != '/' && text[pos] != '>') ++pos;
  return pos;
}

}  // namespace

int FindImageTag(std::string_view page, int from) {
  int a = PosTextFrom(page, "<IMG", from);
  while (a > 0) {
    // A browser reads "<img/src=a>" as "<img src=a>": a "/" that does not
    // close the tag parts the name from the attributes as a blank does.
    const size_t next = static_cast<size_t>(a - 1) + 4;
    if (next < page.size() && IsTagBlank(page[next])) return a;
    if (next + 1 < page.size() && page[next] == '/' && page[next + 1] != '>') return a;
    a = PosTextFrom(page, "<IMG", a + 1);
  }
  return 0;
}

int FindTagEnd(std::string_view page, int start) {
  const size_t begin = static_cast<size_t>(start - 1);
  const size_t name = AfterTagName(page, begin);
  bool quoteOpen = false;
  const size_t end = ScanAttributes(page, name, quoteOpen);
  if (end != std::string_view::npos) return static_cast<int>(end) + 1;
  return quoteOpen ? PosCharFrom(page, '>', static_cast<int>(name) + 1) : 0;
}

namespace {

// The text of the tag at the 1-based `at`, up to its ">", whose "<" and
// name take `length` bytes; empty when the name goes on there (BASEFONT
// after BASE), nothing when the tag has no end.
std::optional<std::string_view> TagTextAt(std::string_view page, int at, size_t length) {
  const size_t next = static_cast<size_t>(at - 1) + length;
  if (next < page.size() && !(IsTagBlank(page[next]) || page[next] == '/' || page[next] == '>')) {
    return std::string_view();
  }
  const int end = FindTagEnd(page, at);
  if (end == 0) return std::nullopt;
  return page.substr(static_cast<size_t>(at - 1), static_cast<size_t>(end - at + 1));
}

// Calls `visit` with the 1-based position of each `pattern` (upper case,
// the start of a tag) that stands where a browser's parser meets a tag: not
// in a comment, in the text of SCRIPT, STYLE, TITLE and the like, in a
// server's code or in another tag's attribute value (a BASE or META kept
// in a comment is none), until `visit` returns false.
template <class Visit>
void ForEachTagStart(std::string_view page, const char* pattern, Visit visit) {
  TPageStructure structure(page);
  for (int at = PosTextFrom(page, pattern, 1); at > 0; at = PosTextFrom(page, pattern, at + 1)) {
    if (structure.InCodeAt(at) || structure.InAttributeAt(at) || structure.InCommentAt(at)) {
      continue;
    }
    if (!visit(at)) return;
  }
}

}  // namespace

void ForEachTag(std::string_view page, const char* pattern,
                const std::function<bool(const std::vector<TTagAttribute>&)>& visit) {
  const size_t length = std::char_traits<char>::length(pattern);
  ForEachTagStart(page, pattern, [&](int at) {
    const std::optional<std::string_view> tag = TagTextAt(page, at, length);
    if (!tag) return false;
    return tag->empty() || visit(ReadTagAttributes(*tag));
  });
}

std::string FirstBaseHref(std::string_view page, bool& found) {
  found = false;
  std::string value;
  ForEachTag(page, "<BASE", [&](const std::vector<TTagAttribute>& attributes) {
    const TTagAttribute* href = FindAttribute(attributes, "href");
    if (!href || !href->HasValue) return true;
    found = true;
    value = href->Value;
    return false;
  });
  return value;
}

bool DeclaresViewport(std::string_view page) {
  bool declared = false;
  ForEachTag(page, "<META", [&](const std::vector<TTagAttribute>& attributes) {
    const TTagAttribute* name = FindAttribute(attributes, "name");
    declared = name && platform::AsciiLower(name->Value) == "viewport";
    return !declared;
  });
  return declared;
}

bool DeclaresXhtml(std::string_view page) {
  // The HTML element comes before any picture.
  const int firstImage = FindImageTag(page, 1);
  const std::string_view head = firstImage > 0 ? page.substr(0, firstImage - 1) : page;
  for (int a = PosTextFrom(head, "<HTML", 1); a > 0; a = PosTextFrom(head, "<HTML", a + 1)) {
    const std::optional<std::string_view> tag = TagTextAt(head, a, 5);
    if (!tag) return false;
    if (tag->empty()) continue;
    const auto attributes = ReadTagAttributes(*tag);
    const TTagAttribute* xmlns = FindAttribute(attributes, "xmlns");
    return xmlns && xmlns->Value == "http://www.w3.org/1999/xhtml";
  }
  return false;
}

namespace {

// Start tags that end an open P.
constexpr std::string_view kClosesParagraph[] = {
    "address", "article", "aside",   "blockquote", "center", "details",   "dialog",
    "dir",     "div",     "dl",      "dd",         "dt",     "fieldset",  "figcaption",
    "figure",  "footer",  "form",    "h1",         "h2",     "h3",        "h4",
    "h5",      "h6",      "header",  "hgroup",     "hr",     "li",        "listing",
    "main",    "menu",    "nav",     "ol",         "p",      "plaintext", "pre",
    "search",  "section", "summary", "table",      "ul",     "xmp"};

// Elements of running text: their end tags leave a P open.
constexpr std::string_view kTextLevel[] = {
    "a",        "abbr",  "acronym",  "applet",   "area",     "audio",  "b",      "bdi",
    "bdo",      "big",   "br",       "button",   "canvas",   "cite",   "code",   "data",
    "datalist", "del",   "dfn",      "em",       "embed",    "font",   "i",      "iframe",
    "img",      "input", "ins",      "kbd",      "label",    "map",    "mark",   "math",
    "meter",    "nobr",  "noscript", "object",   "optgroup", "option", "output", "picture",
    "progress", "q",     "rp",       "rt",       "ruby",     "s",      "samp",   "script",
    "select",   "small", "source",   "span",     "strike",   "strong", "style",  "sub",
    "sup",      "svg",   "template", "textarea", "time",     "track",  "tt",     "u",
    "var",      "video", "wbr"};

// Elements whose content is text up to their own end tag.
constexpr std::string_view kRawText[] = {"script", "style", "textarea", "title", "xmp"};

enum TTagRole : uint8_t { kOther = 0, kClosing = 1, kTextLevelRole = 2, kRawTextRole = 4 };

// A lower-case tag name of up to eight bytes as one number, its bytes in
// order; longer names have no key (0).
constexpr uint64_t NameKey(std::string_view name) {
  if (name.size() > 8) return 0;
  uint64_t key = 0;
  for (char c : name) key = key << 8 | static_cast<uint8_t>(c);
  return key;
}

// The roles of the names above, by key: looked up once per tag of the
// page, so it has to be cheap. Names longer than eight bytes are few and
// looked up by name.
class TRoleTable {
 public:
  TRoleTable() {
    for (std::string_view n : kClosesParagraph) Add(n, kClosing);
    for (std::string_view n : kTextLevel) Add(n, kTextLevelRole);
    for (std::string_view n : kRawText) Add(n, kRawTextRole);
  }
  uint8_t Of(uint64_t key) const {
    if (key < kShort) return Short_[key];
    for (size_t i = Slot(key);; i = (i + 1) % kSlots) {
      if (Keys_[i] == key) return Roles_[i];
      if (Keys_[i] == 0) return kOther;
    }
  }
  uint8_t OfLong(std::string_view name) const {
    for (const auto& [longName, role] : Long_)
      if (longName == name) return role;
    return kOther;
  }

 private:
  static constexpr size_t kSlots = 512;
  static size_t Slot(uint64_t key) {
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15ULL) >> 55);
  }
  void Add(std::string_view name, uint8_t role) {
    const uint64_t key = NameKey(name);
    if (key == 0) {
      Long_.emplace_back(name, role);  // no name is in two lists
      return;
    }
    if (key < kShort) {
      Short_[key] |= role;
      return;
    }
    size_t i = Slot(key);
    while (Keys_[i] != 0 && Keys_[i] != key) i = (i + 1) % kSlots;
    Keys_[i] = key;
    Roles_[i] |= role;
  }
  uint64_t Keys_[kSlots] = {};
  uint8_t Roles_[kSlots] = {};
  // Names of one or two bytes (P, A, B, TD), most of a page's tags, by key
  // directly.
  static constexpr uint64_t kShort = 1 << 16;
  uint8_t Short_[kShort] = {};
  std::vector<std::pair<std::string_view, uint8_t>> Long_;
};

const TRoleTable& Roles() {
  static const TRoleTable table;
  return table;
}

// The first "<", ">", '"' or "'" in [from, end), or null: the bytes that
// end or quote a tag's text. Inline, as FindByte.
const char* FindTagByte(const char* from, const char* end) {
#if defined(__SSE2__)
  const __m128i lt = _mm_set1_epi8('<'), gt = _mm_set1_epi8('>'), dq = _mm_set1_epi8('"'),
                sq = _mm_set1_epi8('\'');
  for (; end - from >= 16; from += 16) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    const __m128i any = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(b, lt), _mm_cmpeq_epi8(b, gt)),
                                     _mm_or_si128(_mm_cmpeq_epi8(b, dq), _mm_cmpeq_epi8(b, sq)));
    const auto bits = static_cast<unsigned>(_mm_movemask_epi8(any));
    if (bits != 0) return from + __builtin_ctz(bits);
  }
#endif
  for (; from < end; ++from) {
    const char c = *from;
    if (c == '<' || c == '>' || c == '"' || c == '\'') return from;
  }
  return nullptr;
}

// The 0-based end (past its ">") of the start tag at `pos` whose name ends
// at `nameEnd`, as FindTagEnd reads it, with `holdsTagStart` set when a "<"
// stands in its text; npos when it has no end. Quoted values are stepped
// over by byte search; a "<" outside them, or a quote that opens no value,
// takes the byte-by-byte reading.
size_t StartTagEnd(std::string_view page, size_t pos, size_t nameEnd, bool& holdsTagStart) {
  const char* const base = page.data();
  const char* const end = base + page.size();
  holdsTagStart = false;
  for (const char* at = base + nameEnd;;) {
    const char* hit = FindTagByte(at, end);
    if (!hit) return std::string_view::npos;
    if (*hit == '>') return static_cast<size_t>(hit - base) + 1;
    if (*hit == '<') break;
    const char* before = hit;
    while (before > base + nameEnd && IsTagBlank(before[-1])) --before;
    if (before == base + nameEnd || before[-1] != '=') break;
    const char* close = FindByte(hit + 1, end, *hit);
    if (!close) break;
    if (FindByte(hit + 1, close, '<')) holdsTagStart = true;
    at = close + 1;
  }
  const int close = FindTagEnd(page, static_cast<int>(pos) + 1);
  if (close == 0) return std::string_view::npos;
  holdsTagStart = FindByte(base + nameEnd, base + close, '<') != nullptr;
  return static_cast<size_t>(close);
}

constexpr uint64_t kTableKey = NameKey("table");
constexpr uint64_t kCellKeys[] = {NameKey("td"), NameKey("th"), NameKey("caption")};
constexpr uint64_t kRowKeys[] = {NameKey("tr"),    NameKey("tbody"),    NameKey("thead"),
                                 NameKey("tfoot"), NameKey("colgroup"), NameKey("col")};
constexpr uint64_t kParagraphKey = NameKey("p");
constexpr uint64_t kAppletKey = NameKey("applet");
constexpr uint64_t kObjectKey = NameKey("object");

}  // namespace

size_t TPageStructure::Reach(int position) {
  const size_t at = std::min(static_cast<size_t>(position - 1), page_.size());
  AdvanceTo(at);
  return at;
}

bool TPageStructure::ParagraphOpenAt(int position) {
  Reach(position);
  return open_;
}

bool TPageStructure::InCodeAt(int position) {
  const size_t at = Reach(position);
  return at >= codeStart_ && at < codeEnd_;
}

bool TPageStructure::InCommentAt(int position) {
  const size_t at = Reach(position);
  return at >= commentStart_ && at < commentEnd_;
}

bool TPageStructure::InTableRowsAt(int position) {
  Reach(position);
  return !inCell_.empty() && !inCell_.back();
}

bool TPageStructure::InAttributeAt(int position) {
  const size_t at = Reach(position);
  return at > tagStart_ && at < tagEnd_;
}

void TPageStructure::FollowTables(uint64_t key, bool endTag) {
  auto any = [key](const auto& keys) {
    return std::find(std::begin(keys), std::end(keys), key) != std::end(keys);
  };
  if (key == kTableKey) {
    // A TABLE between another's rows ends that one first.
    if (!endTag && !inCell_.empty() && !inCell_.back()) inCell_.pop_back();
    if (endTag) {
      if (!inCell_.empty()) inCell_.pop_back();
    } else {
      inCell_.push_back(false);
    }
  } else if (!inCell_.empty() && any(kCellKeys)) {
    inCell_.back() = !endTag;
  } else if (!inCell_.empty() && !endTag && any(kRowKeys)) {
    inCell_.back() = false;
  }
}

void TPageStructure::AdvanceTo(size_t until) {
  const TRoleTable& roles = Roles();
  const char* const base = page_.data();
  const size_t size = page_.size();
  // Steps over a stretch from `start` to `end` (past the page when it is
  // not closed); `code` when what it holds is no element.
  auto stepOver = [&](size_t start, size_t end, bool code) {
    at_ = std::min(end, size);
    codeStart_ = code ? start : at_;
    codeEnd_ = at_;
  };
  while (at_ < until) {
    const char* lt = FindByte(base + at_, base + until, '<');
    if (!lt) {
      at_ = until;
      break;
    }
    const size_t pos = static_cast<size_t>(lt - base);
    const char next = pos + 1 < size ? base[pos + 1] : '\0';
    if (next == '!' && page_.substr(pos, 4) == "<!--") {
      // A comment holds no code: a tag there was always found as text and
      // stays harmless.
      const size_t end = page_.find("-->", pos + 4);
      stepOver(pos, end == std::string_view::npos ? size : end + 3, false);
      commentStart_ = pos;
      commentEnd_ = at_;
      continue;
    }
    // A server's code is taken as such only where it ends: "<%" in a page
    // no server reads may be text. Once no end follows, none follows later.
    const int kind = next == '?' ? 0 : next == '%' ? 1 : -1;
    if (kind >= 0 && !serverCodeUnclosed_[kind]) {
      const size_t end = page_.find(kind == 0 ? "?>" : "%>", pos + 2);
      if (end != std::string_view::npos) {
        stepOver(pos, end + 2, true);
        continue;
      }
      serverCodeUnclosed_[kind] = true;
    }
    const bool endTag = next == '/';
    const size_t nameStart = pos + (endTag ? 2 : 1);
    // A name is letters, then letters and digits (H1); longer ones are
    // none that matter here. Its lower-case bytes make its key as they are
    // read.
    uint64_t key = 0;
    size_t nameEnd = nameStart;
    for (; nameEnd < size && nameEnd - nameStart < 12; ++nameEnd) {
      const char c = base[nameEnd], folded = static_cast<char>(c | 0x20);
      if (folded >= 'a' && folded <= 'z') {
        key = key << 8 | static_cast<uint8_t>(folded);
      } else if (nameEnd > nameStart && c >= '0' && c <= '9') {
        key = key << 8 | static_cast<uint8_t>(c);
      } else {
        break;
      }
    }
    at_ = pos + 1;
    if (nameEnd == nameStart || nameEnd >= size) continue;
    const char after = base[nameEnd];
    if (!IsTagBlank(after) && after != '>' && after != '/') continue;
    char lower[12];
    const size_t length = nameEnd - nameStart;
    auto name = [&] {
      for (size_t i = 0; i < length; ++i) lower[i] = platform::AsciiLower(base[nameStart + i]);
      return std::string_view(lower, length);
    };
    // Names longer than eight bytes have no key.
    if (length > 8) key = 0;
    const uint8_t role = key != 0 ? roles.Of(key) : roles.OfLong(name());
    FollowTables(key, endTag);
    if (!endTag) {
      // The tag's own text is stepped over: a "<" in a quoted value is no
      // tag.
      bool holdsTagStart = false;
      const size_t end = StartTagEnd(page_, pos, nameEnd, holdsTagStart);
      if (end != std::string_view::npos) {
        if (holdsTagStart) {
          tagStart_ = pos;
          tagEnd_ = end;
        }
        at_ = end;
      }
    }
    // An APPLET or OBJECT is a scope of its own: what it holds neither
    // closes nor continues a P outside it.
    const bool scope = key == kAppletKey || key == kObjectKey;
    if (endTag) {
      if (scope && !outer_.empty()) {
        open_ = outer_.back();
        outer_.pop_back();
      } else if (key == kParagraphKey || !(role & kTextLevelRole)) {
        open_ = false;
      }
      continue;
    }
    if (scope) {
      outer_.push_back(open_);
      open_ = false;
      continue;
    }
    if (key == kParagraphKey) {
      open_ = true;
    } else if (role & kClosing) {
      open_ = false;
    }
    if (role & kRawTextRole) {
      const int close =
          PosTextFrom(page_, "</" + platform::AsciiUpper(name()), static_cast<int>(nameEnd) + 1);
      stepOver(pos, close == 0 ? size : static_cast<size_t>(close - 1), true);
    }
  }
}

int FindHeadEnd(std::string_view page) {
  int head = 0;
  ForEachTagStart(page, "</HEAD>", [&](int at) {
    head = at;
    return false;
  });
  return head;
}
