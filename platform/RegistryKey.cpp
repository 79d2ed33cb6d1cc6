#include "platform/RegistryKey.h"

#include <algorithm>
#include <utility>

namespace platform {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Lower(x) == Lower(y); });
}

bool NameLess(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(Lower(x)) < static_cast<unsigned char>(Lower(y));
  });
}

// Splits "A\B" into its first name and the rest.
std::string_view Head(std::string_view path, std::string_view& rest) {
  size_t slash = path.find('\\');
  if (slash == std::string_view::npos) {
    rest = {};
    return path;
  }
  rest = path.substr(slash + 1);
  return path.substr(0, slash);
}

// A string in double quotes with \\ and \" escaped.
std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

// Reads a quoted string at `pos`; on success `pos` is after the closing quote.
bool Unquote(std::string_view line, size_t& pos, std::string& out) {
  if (pos >= line.size() || line[pos] != '"') return false;
  out.clear();
  for (size_t i = pos + 1; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') {
      pos = i + 1;
      return true;
    }
    if (c == '\\' && i + 1 < line.size()) c = line[++i];
    out += c;
  }
  return false;
}

const char kHexDigits[] = "0123456789abcdef";

// Strings a quoted value cannot carry are written as bytes: hex(1), the
// string type, with its terminating NUL.
std::string HexString(std::string_view text) {
  std::string out = "hex(1):";
  for (size_t i = 0; i <= text.size(); ++i) {
    unsigned char b = i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
    if (i > 0) out += ',';
    out += kHexDigits[b >> 4];
    out += kHexDigits[b & 15];
  }
  return out;
}

int HexValue(char c) {
  c = Lower(c);
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool DecodeHexString(std::string_view hex, std::string& out) {
  out.clear();
  size_t i = 0;
  while (i < hex.size()) {
    while (i < hex.size() && (hex[i] == ' ' || hex[i] == '\t')) ++i;
    if (i + 1 >= hex.size()) return false;
    int high = HexValue(hex[i]), low = HexValue(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    out += static_cast<char>(high * 16 + low);
    i += 2;
    while (i < hex.size() && (hex[i] == ' ' || hex[i] == '\t')) ++i;
    if (i < hex.size() && hex[i++] != ',') return false;
  }
  if (!out.empty() && out.back() == '\0') out.pop_back();
  return true;
}

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  return lines;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

}  // namespace

const char* RootName(RegistryRoot root) {
  return root == RegistryRoot::ClassesRoot ? "HKEY_CLASSES_ROOT" : "HKEY_LOCAL_MACHINE";
}

const RegistryValue* RegistryKey::Value(std::string_view name) const {
  for (const auto& value : values_) {
    if (SameName(value.name, name)) return &value;
  }
  return nullptr;
}

RegistryValue* RegistryKey::MutableValue(std::string_view name) {
  return const_cast<RegistryValue*>(std::as_const(*this).Value(name));
}

std::optional<std::string> RegistryKey::String(std::string_view name) const {
  const RegistryValue* value = Value(name);
  if (value == nullptr || !value->raw.empty()) return std::nullopt;
  return value->text;
}

void RegistryKey::SetString(std::string_view name, std::string_view data) {
  if (RegistryValue* value = MutableValue(name)) {
    value->text = data;
    value->raw.clear();
  } else {
    values_.push_back({std::string(name), std::string(data), {}});
  }
}

void RegistryKey::SetRaw(std::string_view name, std::string_view raw) {
  if (RegistryValue* value = MutableValue(name)) {
    value->text.clear();
    value->raw = raw;
  } else {
    values_.push_back({std::string(name), {}, std::string(raw)});
  }
}

bool RegistryKey::DeleteValue(std::string_view name) {
  auto it = std::find_if(values_.begin(), values_.end(),
                         [&](const RegistryValue& v) { return SameName(v.name, name); });
  if (it == values_.end()) return false;
  values_.erase(it);
  return true;
}

const RegistryKey* RegistryKey::Child(std::string_view name) const {
  auto it = std::lower_bound(
      subkeys_.begin(), subkeys_.end(), name,
      [](const RegistryKey& k, std::string_view n) { return NameLess(k.name_, n); });
  return it != subkeys_.end() && SameName(it->name_, name) ? &*it : nullptr;
}

RegistryKey* RegistryKey::Child(std::string_view name) {
  return const_cast<RegistryKey*>(std::as_const(*this).Child(name));
}

const RegistryKey* RegistryKey::Find(std::string_view path) const {
  const RegistryKey* key = this;
  while (key && !path.empty()) {
    std::string_view rest;
    key = key->Child(Head(path, rest));
    path = rest;
  }
  return key;
}

RegistryKey* RegistryKey::Find(std::string_view path) {
  return const_cast<RegistryKey*>(std::as_const(*this).Find(path));
}

bool RegistryKey::IsValidPath(std::string_view path) {
  if (path.empty()) return true;
  std::string_view rest = path;
  do {
    std::string_view name = Head(rest, rest);
    if (name.empty() || name.find_first_of("\r\n") != std::string_view::npos) return false;
  } while (!rest.empty());
  return path.back() != '\\';
}

RegistryKey* RegistryKey::Create(std::string_view path) {
  if (!IsValidPath(path)) return nullptr;
  RegistryKey* key = this;
  while (!path.empty()) {
    std::string_view rest;
    std::string_view name = Head(path, rest);
    RegistryKey* child = key->Child(name);
    if (child == nullptr) {
      auto it = std::lower_bound(
          key->subkeys_.begin(), key->subkeys_.end(), name,
          [](const RegistryKey& k, std::string_view n) { return NameLess(k.name_, n); });
      child = &*key->subkeys_.insert(it, RegistryKey(std::string(name)));
    }
    key = child;
    path = rest;
  }
  return key;
}

bool RegistryKey::DeleteTree(std::string_view path) {
  size_t slash = path.rfind('\\');
  RegistryKey* parent = slash == std::string_view::npos ? this : Find(path.substr(0, slash));
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  if (parent == nullptr || name.empty()) return false;
  const RegistryKey* child = parent->Child(name);
  if (child == nullptr) return false;
  parent->subkeys_.erase(parent->subkeys_.begin() + (child - parent->subkeys_.data()));
  return true;
}

void RegistryKey::FormatInto(const std::string& path, std::string& out) const {
  out += "[" + path + "]\r\n";
  for (const auto& value : values_) {
    out += value.name.empty() ? std::string("@") : Quote(value.name);
    out += '=';
    if (!value.raw.empty()) {
      out += value.raw;
    } else if (value.text.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
      out += HexString(value.text);
    } else {
      out += Quote(value.text);
    }
    out += "\r\n";
  }
  out += "\r\n";
  for (const auto& key : subkeys_) key.FormatInto(path + "\\" + key.name_, out);
}

std::string RegistryKey::Format() const {
  std::string out = "REGEDIT4\r\n\r\n";
  for (const auto& key : subkeys_) key.FormatInto(key.name_, out);
  return out;
}

bool RegistryKey::Parse(std::string_view text, std::string& error) {
  values_.clear();
  subkeys_.clear();
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  const std::vector<std::string> lines = Lines(text);
  auto fail = [&](size_t index, const std::string& what) {
    values_.clear();
    subkeys_.clear();
    error = "line " + std::to_string(index + 1) + ": " + what;
    return false;
  };
  bool header = false;
  RegistryKey* current = nullptr;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string line = lines[i];
    const size_t first = i;
    // Byte data may go on over several lines, each but the last ending in "\".
    while (!line.empty() && line.back() == '\\' && line.find('=') != std::string::npos &&
           i + 1 < lines.size()) {
      line.pop_back();
      line += TrimLeft(lines[++i]);
    }
    std::string_view view = TrimRight(TrimLeft(line));
    if (view.empty() || view.front() == ';') continue;
    if (!header) {
      if (view != "REGEDIT4") return fail(first, "not a REGEDIT4 file");
      header = true;
      continue;
    }
    if (view.front() == '[') {
      if (view.back() != ']') return fail(first, "unterminated key name");
      std::string_view path = view.substr(1, view.size() - 2);
      if (!path.empty() && path.front() == '-') {
        DeleteTree(path.substr(1));
        current = nullptr;
        continue;
      }
      current = path.empty() ? nullptr : Create(path);
      if (current == nullptr) return fail(first, "invalid key name");
      continue;
    }
    std::string name;
    size_t pos = 0;
    if (view.front() == '@') {
      pos = 1;
    } else if (!Unquote(view, pos, name)) {
      return fail(first, "invalid value name");
    }
    std::string_view rest = TrimLeft(view.substr(pos));
    if (rest.empty() || rest.front() != '=') return fail(first, "missing \"=\"");
    rest = TrimLeft(rest.substr(1));
    if (current == nullptr) continue;  // values of a deleted key
    if (rest == "-") {
      current->DeleteValue(name);
    } else if (!rest.empty() && rest.front() == '"') {
      std::string data;
      size_t end = 0;
      if (!Unquote(rest, end, data) || end != rest.size()) {
        return fail(first, "invalid string data");
      }
      current->SetString(name, data);
    } else if (rest.substr(0, 7) == "hex(1):") {
      std::string data;
      if (!DecodeHexString(rest.substr(7), data)) return fail(first, "invalid byte data");
      current->SetString(name, data);
    } else if (!rest.empty()) {
      current->SetRaw(name, rest);
    } else {
      return fail(first, "missing data");
    }
  }
  if (!header) return fail(0, "not a REGEDIT4 file");
  return true;
}

}  // namespace platform
