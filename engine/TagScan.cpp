#include "engine/TagScan.h"

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
    const size_t next = static_cast<size_t>(a - 1) + 4;
    if (next < page.size() && IsTagBlank(page[next])) return a;
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

bool DeclaresViewport(std::string_view page) {
  for (int a = PosTextFrom(page, "<META", 1); a > 0; a = PosTextFrom(page, "<META", a + 1)) {
    const int end = FindTagEnd(page, a);
    if (end == 0) return false;
    const auto attributes = ReadTagAttributes(page.substr(a - 1, end - a + 1));
    const TTagAttribute* name = FindAttribute(attributes, "name");
    if (name && platform::AsciiLower(name->Value) == "viewport") return true;
  }
  return false;
}
