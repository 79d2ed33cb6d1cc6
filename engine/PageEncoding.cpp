#include "engine/PageEncoding.h"

#include <algorithm>
#include <cctype>
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
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// What windows-1252 puts at 0x80 to 0x9F, which browsers also read for
// numeric references to those C1 controls.
constexpr uint16_t k80To9F[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The character a named reference stands for, or 0.
uint32_t NamedCharacter(std::string_view name) {
  // The Latin-1 names, for U+00A0 to U+00FF in order.
  static constexpr std::string_view kLatin1[96] = {
      "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
      "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
      "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
      "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
      "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
      "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
      "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
      "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
      "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
      "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
      "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};
  static constexpr std::pair<std::string_view, uint16_t> kOthers[] = {
      {"quot", 34},     {"amp", 38},     {"apos", 39},     {"lt", 60},       {"gt", 62},
      {"OElig", 338},   {"oelig", 339},  {"Scaron", 352},  {"scaron", 353},  {"Yuml", 376},
      {"fnof", 402},    {"circ", 710},   {"tilde", 732},   {"ensp", 8194},   {"emsp", 8195},
      {"thinsp", 8201}, {"ndash", 8211}, {"mdash", 8212},  {"lsquo", 8216},  {"rsquo", 8217},
      {"sbquo", 8218},  {"ldquo", 8220}, {"rdquo", 8221},  {"bdquo", 8222},  {"dagger", 8224},
      {"Dagger", 8225}, {"bull", 8226},  {"hellip", 8230}, {"permil", 8240}, {"lsaquo", 8249},
      {"rsaquo", 8250}, {"euro", 8364},  {"trade", 8482}};
  for (size_t i = 0; i < 96; ++i) {
    if (kLatin1[i] == name) return static_cast<uint32_t>(0xA0 + i);
  }
  for (const auto& [known, code] : kOthers) {
    if (known == name) return code;
  }
  return 0;
}

// windows-1252 as browsers decode it: 0x80 to 0x9F are mostly typographic
// marks, the five bytes it leaves free stand for the C1 controls.
std::string Windows1252ToUtf8(std::string_view text) {
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

std::string WithCharacterReferences(std::string_view text) {
  if (text.find('&') == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size());
  auto isDigit = [](char c, bool hex) {
    return (c >= '0' && c <= '9') || (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
  };
  for (size_t i = 0; i < text.size();) {
    if (text[i] != '&') {
      out += text[i++];
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '#') {
      const bool hex = i + 2 < text.size() && (text[i + 2] == 'x' || text[i + 2] == 'X');
      size_t at = i + (hex ? 3 : 2);
      uint64_t code = 0;
      const size_t digits = at;
      for (; at < text.size() && isDigit(text[at], hex); ++at) {
        const char c = text[at];
        const uint32_t digit = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
        code = std::min<uint64_t>(code * (hex ? 16 : 10) + digit, 0x110000);
      }
      if (at == digits) {
        out += text[i++];  // "&#" without digits is text
        continue;
      }
      if (at < text.size() && text[at] == ';') ++at;
      if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
      if (code >= 0x80 && code < 0xA0) code = k80To9F[code - 0x80];
      PutUtf8(out, static_cast<uint32_t>(code));
      i = at;
      continue;
    }
    const size_t semicolon = text.find(';', i + 1);
    uint32_t code = semicolon == std::string_view::npos || semicolon - i > 8
                        ? 0
                        : NamedCharacter(text.substr(i + 1, semicolon - i - 1));
    size_t next = semicolon + 1;
    // The older names (Latin-1, and amp, lt, gt, quot) also stand without
    // ";" where no letter, digit or "=" follows.
    for (size_t length = 6; code == 0 && length >= 2; --length) {
      const std::string_view name = text.substr(i + 1, length);
      const char after = i + 1 + length < text.size() ? text[i + 1 + length] : ' ';
      const uint32_t legacy = name.size() == length ? NamedCharacter(name) : 0;
      if (legacy != 0 && (legacy < 0x100 && legacy != '\'') &&
          !std::isalnum(static_cast<unsigned char>(after)) && after != '=') {
        code = legacy;
        next = i + 1 + length;
      }
    }
    if (code == 0) {
      out += text[i++];
      continue;
    }
    PutUtf8(out, code);
    i = next;
  }
  return out;
}

bool StartsAsUtf16(std::string_view text) {
  return text.starts_with("\xFE\xFF") || text.starts_with("\xFF\xFE");
}

bool Utf16AsUtf8(std::string& text) {
  if (!StartsAsUtf16(text)) return true;
  const bool big = text[0] == '\xFE';
  auto unit = [&](size_t i) {
    const auto b0 = static_cast<uint8_t>(text[i]), b1 = static_cast<uint8_t>(text[i + 1]);
    return static_cast<uint32_t>(big ? b0 << 8 | b1 : b1 << 8 | b0);
  };
  std::string out;
  out.reserve(text.size() + text.size() / 2);
  bool exact = text.size() % 2 == 0;
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    uint32_t c = unit(i);
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < text.size() && unit(i + 2) >= 0xDC00 &&
        unit(i + 2) < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
      exact = false;
    }
    PutUtf8(out, c);
  }
  if (text.size() % 2 != 0) out += "\xEF\xBF\xBD";
  text = std::move(out);
  return exact;
}

std::string Utf8AsUtf16(const std::vector<std::string_view>& pieces, bool bigEndian) {
  size_t size = 0;
  for (std::string_view piece : pieces) size += piece.size();
  std::string out;
  out.reserve(size * 2);
  auto put = [&](uint32_t unit) {
    const char hi = static_cast<char>(unit >> 8), lo = static_cast<char>(unit & 0xFF);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  };
  // A character may be split between two pieces.
  uint32_t c = 0;
  int missing = 0;
  for (std::string_view piece : pieces) {
    for (char ch : piece) {
      const auto b = static_cast<uint8_t>(ch);
      if (missing > 0 && (b & 0xC0) == 0x80) {
        c = c << 6 | (b & 0x3F);
        if (--missing > 0) continue;
      } else {
        if (missing > 0) put(0xFFFD);
        missing = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
        c = missing == 3 ? b & 0x07u : missing == 2 ? b & 0x0Fu : missing == 1 ? b & 0x1Fu : b;
        if (b >= 0x80 && missing == 0) c = 0xFFFD;
        if (missing > 0) continue;
      }
      if (c >= 0x10000) {
        put(0xD800 + ((c - 0x10000) >> 10));
        put(0xDC00 + ((c - 0x10000) & 0x3FF));
      } else {
        put(c);
      }
    }
  }
  if (missing > 0) put(0xFFFD);
  return out;
}
