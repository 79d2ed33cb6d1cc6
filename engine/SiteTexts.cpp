#include "engine/SiteTexts.h"

#include <algorithm>
#include <filesystem>

#include "engine/PageEncoding.h"
#include "platform/File.h"
#include "platform/Path.h"
#include "storage/FolderScan.h"
#include "storage/vlmOption.h"

namespace {

// Bounds of a look through a site: a folder this large is not a site but,
// say, a home folder.
constexpr size_t kMostEntries = 200'000;
constexpr size_t kMostBytes = size_t{1} << 30;

// Pages of the usual types (whatever the options list), the templates and
// page sources of site generators and server frameworks, style sheets and
// their sources, scripts, feeds and data files, documentation sources and
// the code of CGI scripts and web applications; not plain text, which
// shows no picture.
bool IsTextFile(const std::string& path) {
  static const char* const kTypes[] = {
      ".htm",      ".html",   ".xhtml", ".xht",  ".shtml",  ".shtm",        ".php",
      ".phtml",    ".asp",    ".aspx",  ".ascx", ".cshtml", ".jsp",         ".jspx",
      ".cfm",      ".inc",    ".tpl",   ".twig", ".njk",    ".hbs",         ".handlebars",
      ".mustache", ".liquid", ".ejs",   ".erb",  ".md",     ".markdown",    ".yml",
      ".yaml",     ".toml",   ".css",   ".scss", ".sass",   ".less",        ".js",
      ".mjs",      ".cjs",    ".ts",    ".jsx",  ".tsx",    ".vue",         ".svelte",
      ".json",     ".xml",    ".svg",   ".rss",  ".atom",   ".webmanifest", ".astro",
      ".mdx",      ".pug",    ".jade",  ".haml", ".slim",   ".rst",         ".adoc",
      ".asciidoc", ".cgi",    ".pl",    ".py",   ".rb"};
  const std::string ext = platform::AsciiLower(platform::ExtensionOf(path));
  return std::any_of(std::begin(kTypes), std::end(kTypes),
                     [&](const char* type) { return ext == type; });
}

// The pages of the options' types and the text files above in `folder`
// (and its subfolders with `tree`), or false when there are too many.
bool ListTexts(const std::string& folder, bool tree, std::vector<std::string>& files) {
  size_t entries = 0;
  // Pages of the options' types land in `files` by themselves.
  const TScanStep step = [&](const std::string& path) {
    if (!IsKnownFileType(path) && IsTextFile(path) && IsRegularFile(path)) files.push_back(path);
    return ++entries <= kMostEntries;
  };
  if (!tree) return ReadFolder(folder, files, step);
  // Not the site's own: version control and the packages of build tools,
  // which may hold a great many files.
  const TFolderFilter siteOwn = [](const std::string& name) {
    static const char* const kSkipped[] = {".git", ".svn", ".hg", "node_modules",
                                           "bower_components"};
    return std::none_of(std::begin(kSkipped), std::end(kSkipped),
                        [&](const char* skipped) { return name == skipped; });
  };
  return ReadTree(folder, files, step, siteOwn);
}

// True when one of the pages or text files directly in `folder` names
// `name` followed by a "/" as a whole folder name (after a quote, "=", "/",
// "(" or a blank). A home page's links to its sections come early: only the
// start of a few files is read, whatever else the folder holds.
bool PagesNameFolder(const std::string& folder, const std::string& name) {
  constexpr size_t kMostFiles = 64;
  constexpr int64_t kStartBytes = 256 * 1024;
  std::vector<std::string> pages;
  if (!ListTexts(folder, false, pages)) return false;
  if (pages.size() > kMostFiles) pages.resize(kMostFiles);
  const std::string step = name + "/";
  for (const std::string& page : pages) {
    platform::File file;
    if (!IsRegularFile(page) ||
        !file.Open(page, platform::Access::Read, platform::Sharing::Shared)) {
      continue;
    }
    std::string text(static_cast<size_t>(std::min(file.Size(), kStartBytes)), '\0');
    text.resize(static_cast<size_t>(
        std::max<int64_t>(0, file.Read(text.data(), static_cast<int64_t>(text.size())))));
    Utf16AsUtf8(text);
    for (size_t at = text.find(step); at != std::string::npos; at = text.find(step, at + 1)) {
      if (at == 0 ||
          std::string_view("\"'=/( \t\r\n").find(text[at - 1]) != std::string_view::npos) {
        return true;
      }
    }
  }
  return false;
}

}  // namespace

std::string SiteTopOf(const std::string& folder) {
  std::string top = folder;
  // A few steps up at the most: a site is not a whole disk.
  for (int steps = 0; steps < 8 && top.size() > 1 && top.front() == '/'; ++steps) {
    const std::string below = top.substr(0, top.size() - 1);
    const std::string above = platform::FolderOf(below);
    const std::string name = platform::FileNameOf(below);
    if (above.empty() || name.empty() || name == "." || name == ".." ||
        !PagesNameFolder(above, name)) {
      break;
    }
    top = above;
  }
  return top;
}

std::string CommonFolder(const std::vector<std::string>& paths) {
  std::vector<std::string> common;
  bool first = true;
  for (const std::string& path : paths) {
    const std::filesystem::path normal = std::filesystem::path(path).lexically_normal();
    std::vector<std::string> parts;
    for (const auto& part : normal) parts.push_back(part.string());
    // A file's own name, or the empty step after a folder's last "/".
    if (!parts.empty()) parts.pop_back();
    if (first) {
      common = std::move(parts);
      first = false;
      continue;
    }
    const auto mismatch = std::mismatch(common.begin(), common.end(), parts.begin(), parts.end());
    common.erase(mismatch.first, common.end());
  }
  std::string out;
  for (const std::string& part : common) {
    out += part;
    if (out.back() != '/') out += '/';
  }
  // Relative paths with no folder in common share the current one.
  if (out.empty() && !paths.empty() &&
      std::none_of(paths.begin(), paths.end(),
                   [](const std::string& p) { return p.starts_with('/'); })) {
    out = "./";
  }
  return out;
}

bool ReadSiteTexts(const std::string& folder, const std::set<std::string>& skip,
                   const std::function<void(std::string_view text)>& note) {
  std::vector<std::string> files;
  if (!ListTexts(folder, true, files)) return false;
  size_t bytes = 0;
  for (const std::string& file : files) {
    if (skip.count(PageKey(file))) continue;
    std::string text;
    if (!platform::ReadWholeFile(file, text)) continue;
    bytes += text.size();
    if (bytes > kMostBytes) return false;
    note(text);
  }
  return true;
}
