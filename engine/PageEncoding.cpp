#include "engine/PageEncoding.h"

#include <algorithm>
#include <cstdint>

#include "engine/TagAttributes.h"
#include "engine/TagScan.h"
#include "platform/Path.h"
#include "platform/TextEncoding.h"
#include "storage/GlobalLib.h"

namespace {

constexpr size_t kDeclarationWindow = 64 * 1024;

// A declared label in the form browsers resolve it to.
std::string CanonicalLabel(std::string_view label) {
  while (!label.empty() &&
         (IsTagBlank(label.front()) || label.front() == '"' || label.front() == '\'')) {
    label.remove_prefix(1);
  }
  while (!label.empty() && (IsTagBlank(label.back()) || label.back() == '"' ||
                            label.back() == '\'' || label.back() == ';')) {
    label.remove_suffix(1);
  }
  std::string lower = platform::AsciiLower(label);
  static constexpr std::string_view kUtf8[] = {
      "utf-8", "utf8", "unicode-1-1-utf-8", "utf-16", "utf-16le", "utf-16be", "x-unicode20utf8"};
  static constexpr std::string_view kWindows1252[] = {
      "windows-1252", "cp1252", "x-cp1252",   "iso-8859-1",  "iso8859-1",      "iso_8859-1",
      "iso88591",     "latin1", "l1",         "us-ascii",    "ascii",          "ansi_x3.4-1968",
      "cp819",        "ibm819", "iso-ir-100", "csisolatin1", "iso_8859-1:1987"};
  // A META may not switch a page to UTF-16: browsers read UTF-8 then.
  if (std::find(std::begin(kUtf8), std::end(kUtf8), lower) != std::end(kUtf8)) return "utf-8";
  if (std::find(std::begin(kWindows1252), std::end(kWindows1252), lower) !=
      std::end(kWindows1252)) {
    return "windows-1252";
  }
  return lower;
}

// The charset named in a Content-Type value ("text/html; charset=X").
std::string CharsetOfContentType(std::string_view content) {
  const std::string lower = platform::AsciiLower(content);
  const size_t at = lower.find("charset");
  if (at == std::string::npos) return {};
  size_t value = at + 7;
  while (value < lower.size() && IsTagBlank(lower[value])) ++value;
  if (value >= lower.size() || lower[value] != '=') return {};
  ++value;
  size_t end = value;
  while (end < lower.size() && lower[end] != ';' && !IsTagBlank(lower[end])) ++end;
  return CanonicalLabel(content.substr(value, end - value));
}

bool IsUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<uint8_t>(text[i]);
    size_t length = c < 0x80           ? 1
                    : (c >> 5) == 0x6  ? 2
                    : (c >> 4) == 0xE  ? 3
                    : (c >> 3) == 0x1E ? 4
                                       : 0;
    if (length == 0 || (length == 2 && c < 0xC2) || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<uint8_t>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

void PutUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// windows-1252 as browsers decode it: 0x80 to 0x9F are mostly typographic
// marks, the five bytes it leaves free stand for the C1 controls.
std::string Windows1252ToUtf8(std::string_view text) {
  static constexpr uint16_t k80To9F[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::string out;
  out.reserve(text.size() * 2);
  for (const char c : text) {
    const auto byte = static_cast<uint8_t>(c);
    PutUtf8(out, byte >= 0x80 && byte < 0xA0 ? k80To9F[byte - 0x80] : byte);
  }
  return out;
}

// The system converter's name for the encoding browsers use for `label`:
// their Shift_JIS, EUC-KR, GB2312 and Big5 are Microsoft's supersets, which
// read 0x5C as a backslash.
std::string ConverterName(const std::string& label) {
  static constexpr std::pair<std::string_view, std::string_view> kSupersets[] = {
      {"shift_jis", "CP932"}, {"shift-jis", "CP932"},  {"sjis", "CP932"},
      {"ms_kanji", "CP932"},  {"csshiftjis", "CP932"}, {"windows-31j", "CP932"},
      {"x-sjis", "CP932"},    {"euc-kr", "CP949"},     {"ks_c_5601-1987", "CP949"},
      {"gb2312", "GBK"},      {"chinese", "GBK"},      {"x-gbk", "GBK"},
      {"big5", "BIG5-HKSCS"}};
  for (const auto& [name, converter] : kSupersets) {
    if (label == name) return std::string(converter);
  }
  return label;
}

}  // namespace

std::string DeclaredPageEncoding(std::string_view page) {
  if (page.starts_with("\xEF\xBB\xBF")) return "utf-8";
  if (page.starts_with("\xFE\xFF")) return "utf-16be";
  if (page.starts_with("\xFF\xFE")) return "utf-16le";
  if (page.starts_with("<?xml")) {
    const int end = PosTextFrom(page, "?>", 1);
    if (end > 0) {
      const auto attributes = ReadTagAttributes(page.substr(0, static_cast<size_t>(end) + 1));
      const TTagAttribute* encoding = FindAttribute(attributes, "encoding");
      return encoding && encoding->HasValue ? CanonicalLabel(encoding->Value) : "utf-8";
    }
  }
  const std::string_view head = page.substr(0, kDeclarationWindow);
  for (int a = PosTextFrom(head, "<META", 1); a > 0; a = PosTextFrom(head, "<META", a + 1)) {
    const int end = FindTagEnd(head, a);
    if (end == 0) break;
    const auto attributes = ReadTagAttributes(head.substr(a - 1, end - a + 1));
    const TTagAttribute* charset = FindAttribute(attributes, "charset");
    if (charset && charset->HasValue) return CanonicalLabel(charset->Value);
    const TTagAttribute* equiv = FindAttribute(attributes, "http-equiv");
    const TTagAttribute* content = FindAttribute(attributes, "content");
    if (equiv && content && platform::AsciiLower(equiv->Value) == "content-type") {
      std::string label = CharsetOfContentType(content->Value);
      if (!label.empty()) return label;
    }
  }
  return {};
}

std::string EncodingOfText(std::string_view text, const std::string& declared) {
  if (!declared.empty()) return declared;
  return IsUtf8(text) ? "utf-8" : "windows-1252";
}

std::string TextInUtf8(std::string_view text, const std::string& encoding) {
  if (std::all_of(text.begin(), text.end(),
                  [](char c) { return static_cast<uint8_t>(c) < 0x80; })) {
    return std::string(text);
  }
  if (encoding == "utf-8") return std::string(text);
  if (encoding == "windows-1252") return Windows1252ToUtf8(text);
  std::string utf8;
  if (platform::ConvertToUtf8(ConverterName(encoding), text, utf8)) return utf8;
  return std::string(text);
}
