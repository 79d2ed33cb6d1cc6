#include "engine/PagePolicy.h"

#include <string>
#include <vector>

#include "engine/TagScan.h"
#include "platform/Path.h"

namespace {

// The source lists of a policy's directives by name, in lower case.
struct TDirectives {
  std::vector<std::pair<std::string, std::vector<std::string>>> List;

  // The sources of the first of `names` that the policy has, or null.
  const std::vector<std::string>* First(std::initializer_list<std::string_view> names) const {
    for (std::string_view name : names) {
      for (const auto& [directive, sources] : List) {
        if (directive == name) return &sources;
      }
    }
    return nullptr;
  }
};

TDirectives ReadPolicy(std::string_view policy) {
  TDirectives out;
  for (size_t start = 0; start <= policy.size();) {
    size_t end = policy.find(';', start);
    if (end == std::string_view::npos) end = policy.size();
    std::vector<std::string> words;
    const std::string_view directive = policy.substr(start, end - start);
    for (size_t i = 0; i < directive.size();) {
      while (i < directive.size() && IsTagBlank(directive[i])) ++i;
      const size_t word = i;
      while (i < directive.size() && !IsTagBlank(directive[i])) ++i;
      if (i > word) words.push_back(platform::AsciiLower(directive.substr(word, i - word)));
    }
    // Only a directive's first occurrence counts.
    if (!words.empty() && !out.First({words.front()})) {
      std::string name = words.front();
      words.erase(words.begin());
      out.List.emplace_back(std::move(name), std::move(words));
    }
    start = end + 1;
  }
  return out;
}

// True when a source list lets every inline style through: 'unsafe-inline',
// which a nonce or a hash beside it switches off.
bool AllowsAllInline(const std::vector<std::string>* sources) {
  if (!sources) return true;
  bool inlineAllowed = false;
  for (const std::string& s : *sources) {
    if (s == "'unsafe-inline'") inlineAllowed = true;
    if (s.starts_with("'nonce-") || s.starts_with("'sha256-") || s.starts_with("'sha384-") ||
        s.starts_with("'sha512-")) {
      return false;
    }
  }
  return inlineAllowed;
}

bool AllowsData(const std::vector<std::string>* sources) {
  if (!sources) return true;
  for (const std::string& s : *sources) {
    if (s == "data:" || s == "*") return s == "data:";
  }
  return false;
}

}  // namespace

TPagePolicy PagePolicyOf(std::string_view page) {
  TPagePolicy policy;
  // A policy counts in the head only, which ends before the first picture.
  const int firstImage = FindImageTag(page, 1);
  if (firstImage > 0) page = page.substr(0, static_cast<size_t>(firstImage) - 1);
  ForEachTag(page, "<META", [&](const std::vector<TTagAttribute>& attributes) {
    const TTagAttribute* equiv = FindAttribute(attributes, "http-equiv");
    const TTagAttribute* content = FindAttribute(attributes, "content");
    if (!equiv || !content || platform::AsciiLower(equiv->Value) != "content-security-policy") {
      return true;
    }
    const TDirectives directives = ReadPolicy(content->Value);
    policy.InlineStyles =
        policy.InlineStyles &&
        AllowsAllInline(directives.First({"style-src-elem", "style-src", "default-src"})) &&
        AllowsAllInline(directives.First({"style-src-attr", "style-src", "default-src"}));
    policy.DataImages = policy.DataImages && AllowsData(directives.First({"img-src", "default-src"}));
    return true;
  });
  return policy;
}
