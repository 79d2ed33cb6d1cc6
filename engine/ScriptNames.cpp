#include "engine/ScriptNames.h"

#include "engine/TagAttributes.h"
#include "engine/TagScan.h"
#include "storage/GlobalLib.h"

namespace {

bool IsWordByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || static_cast<unsigned char>(c) >= 0x80;
}

// True when the statement that goes on at `from` (up to 80 bytes, ended by
// ";", "{" or "}") holds the word "src".
bool StatementNamesSrc(std::string_view text, size_t from) {
  std::string_view rest = text.substr(from, 80);
  rest = rest.substr(0, rest.find_first_of(";{}"));
  for (size_t i = rest.find("src"); i != std::string_view::npos; i = rest.find("src", i + 1)) {
    if ((i == 0 || !IsWordByte(rest[i - 1])) && (i + 3 == rest.size() || !IsWordByte(rest[i + 3]))) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool TScriptNames::Swaps(const std::string& name) {
  if (name.empty()) return false;
  if (!Read_) Read();
  return Names_.count(name) > 0;
}

void TScriptNames::Collect(std::string_view text, bool needSrc) {
  auto note = [&](std::string_view name, size_t after) {
    if (!name.empty() && (!needSrc || StatementNamesSrc(text, after))) Names_.emplace(name);
  };
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == '\'' || c == '"') {
      // A string on one line: its text, a CSS selector's "#" left out.
      const size_t close = text.find_first_of(std::string_view(&c, 1), i + 1);
      const size_t line = text.find('\n', i + 1);
      if (close == std::string_view::npos || close > line || close - i > 256) {
        ++i;
        continue;
      }
      std::string_view inside = text.substr(i + 1, close - i - 1);
      if (!inside.empty() && inside.front() == '#') inside.remove_prefix(1);
      note(inside, close + 1);
      i = close + 1;
    } else if (IsWordByte(c)) {
      size_t end = i;
      while (end < text.size() && IsWordByte(text[end])) ++end;
      if (i > 0 && text[i - 1] == '.') note(text.substr(i, end - i), end);
      i = end;
    } else {
      ++i;
    }
  }
}

void TScriptNames::Read() {
  Read_ = true;
  std::string handlers;
  const size_t size = Page_.size();
  for (size_t lt = Page_.find('<'); lt != std::string_view::npos && lt + 1 < size;
       lt = Page_.find('<', lt + 1)) {
    const char first = Page_[lt + 1];
    if (!((first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z'))) continue;
    const int end = FindTagEnd(Page_, static_cast<int>(lt) + 1);
    if (end == 0) break;
    const std::string_view tag = Page_.substr(lt, static_cast<size_t>(end) - lt);
    bool script = tag.size() > 7 && PosTextFrom(tag.substr(1, 6), "SCRIPT", 1) == 1 &&
                  (IsTagBlank(tag[7]) || tag[7] == '>' || tag[7] == '/');
    for (const TTagAttribute& a : ReadTagAttributes(tag)) {
      if (!a.HasValue) continue;
      if ((a.Name.size() > 2 && PosTextFrom(a.Name.substr(0, 2), "ON", 1) == 1) ||
          PosTextFrom(a.Value, "JAVASCRIPT:", 1) > 0) {
        handlers += a.Value;
        handlers += '\n';
      } else if (script && HasName(a, "src")) {
        script = false;  // its text is in a file of its own
      }
    }
    lt = static_cast<size_t>(end) - 1;
    if (!script) continue;
    const int close = PosTextFrom(Page_, "</SCRIPT", end + 1);
    const size_t to = close > 0 ? static_cast<size_t>(close) - 1 : size;
    Collect(Page_.substr(static_cast<size_t>(end), to - static_cast<size_t>(end)), true);
    if (close == 0) break;
    lt = to;
  }
  Collect(handlers, false);
}
