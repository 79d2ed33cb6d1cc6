#include "engine/TagAttributes.h"

#include "engine/TagScan.h"
#include "platform/Path.h"

namespace {

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (platform::AsciiLower(a[i]) != platform::AsciiLower(b[i])) return false;
  }
  return true;
}

}  // namespace

std::vector<TTagAttribute> ReadTagAttributes(std::string_view tag) {
  std::vector<TTagAttribute> attributes;
  size_t i = 1;
  while (i < tag.size() && !IsTagBlank(tag[i]) && tag[i] != '>' && tag[i] != '/') ++i;  // tag name
  while (i < tag.size()) {
    while (i < tag.size() && (IsTagBlank(tag[i]) || tag[i] == '/')) ++i;
    if (i >= tag.size() || tag[i] == '>') break;
    TTagAttribute a;
    const size_t nameStart = i++;  // a name may begin with "="
    while (i < tag.size() && !IsTagBlank(tag[i]) && tag[i] != '=' && tag[i] != '>' && tag[i] != '/')
      ++i;
    a.Name = std::string(tag.substr(nameStart, i - nameStart));
    size_t j = i;
    while (j < tag.size() && IsTagBlank(tag[j])) ++j;
    if (j < tag.size() && tag[j] == '=') {
      i = j + 1;
      while (i < tag.size() && IsTagBlank(tag[i])) ++i;
      a.HasValue = true;
      if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
        const char quote = tag[i++];
        size_t end = tag.find(quote, i);
        if (end == std::string_view::npos) end = tag.size();
        a.Value = std::string(tag.substr(i, end - i));
        i = end + 1;
      } else {
        const size_t start = i;
        while (i < tag.size() && !IsTagBlank(tag[i]) && tag[i] != '>') ++i;
        a.Value = std::string(tag.substr(start, i - start));
      }
    }
    if (!FindAttribute(attributes, a.Name)) attributes.push_back(std::move(a));
  }
  return attributes;
}

bool HasName(const TTagAttribute& a, std::string_view name) { return SameName(a.Name, name); }

const TTagAttribute* FindAttribute(const std::vector<TTagAttribute>& attributes,
                                   std::string_view name) {
  for (const auto& a : attributes) {
    if (SameName(a.Name, name)) return &a;
  }
  return nullptr;
}

void AppendAttribute(std::string& out, std::string_view name, std::string_view value) {
  out += ' ';
  out += name;
  out += "=\"";
  for (char c : value) {
    if (c == '"') {
      out += "&quot;";
    } else if (c == '<') {
      out += "&lt;";
    } else {
      out += c;
    }
  }
  out += '"';
}
