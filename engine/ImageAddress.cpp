#include "engine/ImageAddress.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "engine/PageEncoding.h"
#include "engine/TagScan.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A URL scheme: a letter, then letters, digits, "+", "-" or ".", then ":".
bool HasScheme(const std::string& value) {
  if (value.empty() || !std::isalpha(static_cast<unsigned char>(value[0]))) return false;
  for (size_t i = 1; i < value.size(); ++i) {
    const char c = value[i];
    if (c == ':') return true;
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') {
      return false;
    }
  }
  return false;
}

std::string PercentDecoded(const std::string& text, bool& badEscape) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      const char c = static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      if (c == '\0') badEscape = true;
      if (c != '/' && c != '\\') {
        out += c;
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

// `folder`, a SRC's folder as a browser reads it, written back so that any
// page reads it the same: bytes beyond ASCII and the characters that mean
// something in markup as percent-escapes.
std::string EscapedFolder(const std::string& folder) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : folder) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80 || byte < 0x20 || std::strchr("&<>\"' ", c)) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string ExpandImagePath(const std::string& pageFolder, std::string srcValue) {
  std::replace(srcValue.begin(), srcValue.end(), '\\', '/');
  std::string joined = !srcValue.empty() && srcValue[0] == '/' ? srcValue : pageFolder + srcValue;
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= joined.size()) {
    size_t slash = joined.find('/', start);
    if (slash == std::string::npos) slash = joined.size();
    std::string part = joined.substr(start, slash - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(std::move(part));
    }
    start = slash + 1;
  }
  std::string path;
  for (const auto& part : parts) {
    path += '/';
    path += part;
  }
  if (path.empty()) path.push_back('/');
  if (joined.size() > 1 && joined.back() == '/') path += "/";
  return path;
}

TImageAddress ResolveImageAddress(const std::string& pageFolder, const std::string& srcValue,
                                  const std::string& siteRoot) {
  TImageAddress base;
  base.Path = pageFolder;
  return ResolveImageAddress(base, srcValue, siteRoot);
}

TImageAddress PageBaseAddress(std::string_view page, const std::string& pageFolder,
                              const std::string& siteRoot) {
  bool found = false;
  std::string href = FirstBaseHref(page, found);
  TImageAddress base;
  base.Path = pageFolder;
  base.Encoding = DeclaredPageEncoding(page);
  if (!found) return base;
  // A last segment of "." or ".." names a folder, as "./" and "../" do.
  std::string path = href.substr(0, href.find_first_of("?#"));
  while (!path.empty() && IsBlank(path.back())) path.pop_back();
  const size_t lastSlash = path.find_last_of("/\\");
  const std::string last = path.substr(lastSlash == std::string::npos ? 0 : lastSlash + 1);
  if (last == "." || last == "..") href = path + "/";
  const std::string encoding = base.Encoding;
  base = ResolveImageAddress(base, href, siteRoot);
  base.Encoding = encoding;
  if (base.Where == TImageAddress::Kind::File) {
    // The base is a file's address; its folder is what SRC values extend.
    base.Path.erase(base.Path.rfind('/') + 1);
  }
  base.SrcDir.clear();
  return base;
}

TImageAddress ResolveImageAddress(const TImageAddress& base, const std::string& srcValue,
                                  const std::string& siteRoot) {
  TImageAddress address;
  size_t first = 0, last = srcValue.size();
  while (first < last && IsBlank(srcValue[first])) ++first;
  while (last > first && IsBlank(srcValue[last - 1])) --last;
  // A browser's URL parser drops every tab and line break, as written or as
  // a character reference (an address wrapped over two lines).
  auto unwrapped = [](std::string text) {
    std::erase_if(text, [](char c) { return c == '\t' || c == '\n' || c == '\r'; });
    return text;
  };
  const std::string written = unwrapped(srcValue.substr(first, last - first));
  // Read as a browser reads it: in the page's encoding, with its character
  // references; then the query and fragment go.
  const std::string encoding = EncodingOfText(written, base.Encoding);
  auto read = [&](std::string_view text) {
    return unwrapped(WithCharacterReferences(TextInUtf8(text, encoding)));
  };
  std::string value = read(written);
  value = value.substr(0, value.find_first_of("?#"));
  // The folder text is the part of the value as written that reads as the
  // value's folder (in Shift_JIS the second byte of a character may be
  // "\\", which separates nothing there); when none does ("a&#47;b.gif"),
  // the folder as read, escaped for any page.
  const std::string folder = value.substr(0, value.find_last_of("/\\") + 1);
  address.SrcDir = folder.empty() ? std::string() : EscapedFolder(folder);
  for (size_t end = written.find_last_of("/\\"); end != std::string::npos;
       end = end == 0 ? std::string::npos : written.find_last_of("/\\", end - 1)) {
    if (read(std::string_view(written).substr(0, end + 1)) == folder) {
      address.SrcDir = written.substr(0, end + 1);
      break;
    }
  }

  std::string slashed = value;
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  if (HasScheme(value) || slashed.rfind("//", 0) == 0 ||
      base.Where == TImageAddress::Kind::Remote) {
    address.Where = TImageAddress::Kind::Remote;
    return address;
  }
  const std::string path = PercentDecoded(slashed, address.BadEscape);
  if (!path.empty() && path[0] == '/') {
    if (siteRoot.empty()) {
      address.Where = TImageAddress::Kind::NoSiteRoot;
      return address;
    }
    // Resolved on its own first, so that ".." stops at the site root.
    std::string root = siteRoot;
    while (!root.empty() && root.back() == '/') root.pop_back();
    address.Path = root + ExpandImagePath("/", path);
    return address;
  }
  if (base.Where != TImageAddress::Kind::File) {
    address.Where = base.Where;
    return address;
  }
  address.Path = ExpandImagePath(base.Path, path);
  return address;
}
