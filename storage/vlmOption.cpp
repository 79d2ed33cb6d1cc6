#include "storage/vlmOption.h"

#include <cerrno>
#include <cstdlib>
#include <map>
#include <set>

#include "platform/Exception.h"
#include "platform/File.h"
#include "storage/Convert.h"
#include "storage/ProgramFolders.h"

TOptions Options;

namespace {

constexpr int kFixedLines = 16;

std::string OptionsPath() { return GetOptionsFile(); }

}  // namespace

std::vector<std::string> SplitTextLines(const std::string& data) {
  std::vector<std::string> lines;
  size_t end = data.find('\0');
  if (end == std::string::npos) end = data.size();
  size_t start = 0;
  for (size_t i = 0; i < end; ++i) {
    char c = data[i];
    if (c != '\r' && c != '\n') continue;
    lines.emplace_back(data, start, i - start);
    if (c == '\r' && i + 1 < end && data[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < end) lines.emplace_back(data, start, end - start);
  return lines;
}

std::string JoinTextLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

const char* const kOptionsHeader = "[Velmora options 2]";

const char* MarkupName(TMarkup markup) { return markup == TMarkup::Layered ? "layered" : "table"; }

bool MarkupFromName(const std::string& name, TMarkup& markup) {
  if (name == "table") {
    markup = TMarkup::Table;
  } else if (name == "layered") {
    markup = TMarkup::Layered;
  } else {
    return false;
  }
  return true;
}

namespace {

TFileType FileTypeFromText(const std::string& text) {
  size_t comma = text.find(',');
  if (comma == std::string::npos) return {"", text};
  return {text.substr(0, comma), text.substr(comma + 1)};
}

TBool Boolean(const std::string& text) { return static_cast<TBool>(StrToInt(text) & 0xFF); }

// The sixteen values that both forms hold, in the order of the positional
// form; `next` yields the text of each in turn and raises when it is missing.
template <typename Next>
void LoadFixedValues(Next next) {
  Options.ATag = Boolean(next("ATag"));
  Options.WidthHeight = Boolean(next("WidthHeight"));
  Options.ProtectBMP = Boolean(next("ProtectBMP"));
  Options.ProtectGIF = Boolean(next("ProtectGIF"));
  Options.ProtectJPG = Boolean(next("ProtectJPG"));
  Options.SliceByPixels = Boolean(next("SliceByPixels"));
  Options.InitialDirMode = StrToInt(next("InitialDirMode"));
  Options.MinWidth = StrToInt(next("MinWidth"));
  Options.MinHeight = StrToInt(next("MinHeight"));
  Options.PieHor = StrToInt(next("PieHor"));
  Options.PieVer = StrToInt(next("PieVer"));
  Options.PixWidth = StrToInt(next("PixWidth"));
  Options.PixHeight = StrToInt(next("PixHeight"));
  Options.CustomDir = next("CustomDir");
  Options.LastDir = next("LastDir");
  Options.IncludeSubdir = Boolean(next("IncludeSubdir"));
}

void LoadPositional(const std::vector<std::string>& lines) {
  size_t index = 0;
  LoadFixedValues([&](const char*) -> const std::string& {
    if (index >= lines.size()) {
      throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    }
    return lines[index++];
  });
  Options.ProtectPNG = 1;
  Options.ProtectWebP = 1;
  Options.SiteRoot.clear();
  Options.Markup = TMarkup::Table;
  std::vector<TFileType> types;
  types.reserve(lines.size() - kFixedLines);
  for (size_t i = kFixedLines; i < lines.size(); ++i) types.push_back(FileTypeFromText(lines[i]));
  Options.FileTypes = std::move(types);
  Options.OtherLines.clear();
}

const std::set<std::string>& KnownKeys() {
  static const std::set<std::string> keys = {
      "ATag",       "WidthHeight", "ProtectBMP",    "ProtectGIF",     "ProtectJPG",
      "ProtectPNG", "ProtectWebP", "SliceByPixels", "InitialDirMode", "MinWidth",
      "MinHeight",  "PieHor",      "PieVer",        "PixWidth",       "PixHeight",
      "CustomDir",  "LastDir",     "IncludeSubdir", "SiteRoot",       "Markup"};
  return keys;
}

void LoadKeyed(const std::vector<std::string>& lines) {
  if (lines[0] != kOptionsHeader) {
    throw EConvertError("'" + lines[0] + "' is not a form of vlm.ini that this version reads");
  }
  std::map<std::string, std::string> values;
  std::vector<TFileType> types;
  std::vector<std::string> other;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.empty()) continue;
    size_t equals = line.find('=');
    std::string key = line.substr(0, equals);
    if (equals != std::string::npos && key == "FileType") {
      types.push_back(FileTypeFromText(line.substr(equals + 1)));
    } else if (equals != std::string::npos && KnownKeys().count(key)) {
      values[key] = line.substr(equals + 1);  // the last of repeated keys counts
    } else {
      other.push_back(line);
    }
  }
  LoadFixedValues([&](const char* key) -> const std::string& {
    auto it = values.find(key);
    if (it == values.end()) throw EListError(std::string("Option \"") + key + "\" is missing");
    return it->second;
  });
  auto optional = [&](const char* key, const char* otherwise) {
    auto it = values.find(key);
    return it == values.end() ? std::string(otherwise) : it->second;
  };
  Options.ProtectPNG = Boolean(optional("ProtectPNG", "1"));
  Options.ProtectWebP = Boolean(optional("ProtectWebP", "1"));
  Options.SiteRoot = optional("SiteRoot", "");
  const std::string markup = optional("Markup", "table");
  if (!MarkupFromName(markup, Options.Markup)) {
    throw EConvertError("'" + markup + "' is not a valid markup (table or layered)");
  }
  Options.FileTypes = std::move(types);
  Options.OtherLines = std::move(other);
}

}  // namespace

void LoadOptions() {
  const std::string path = OptionsPath();
  std::string data;
  if (!platform::ReadWholeFile(path, data)) {
    throw EStreamError(platform::CannotOpenFileText(path, errno));
  }
  const std::vector<std::string> lines = SplitTextLines(data);
  // Line 1 of the positional form is a number, which never starts with "[".
  if (!lines.empty() && !lines[0].empty() && lines[0][0] == '[') {
    LoadKeyed(lines);
  } else {
    LoadPositional(lines);
  }
}

void SaveOptions() {
  const TOptions& o = Options;
  auto flag = [](const char* key, TBool value) { return std::string(key) + "=" + IntToStr(value); };
  auto number = [](const char* key, int32_t value) {
    return std::string(key) + "=" + IntToStr(value);
  };
  std::vector<std::string> lines = {
      kOptionsHeader,
      flag("ATag", o.ATag),
      flag("WidthHeight", o.WidthHeight),
      flag("ProtectBMP", o.ProtectBMP),
      flag("ProtectGIF", o.ProtectGIF),
      flag("ProtectJPG", o.ProtectJPG),
      flag("ProtectPNG", o.ProtectPNG),
      flag("ProtectWebP", o.ProtectWebP),
      flag("SliceByPixels", o.SliceByPixels),
      number("InitialDirMode", o.InitialDirMode),
      number("MinWidth", o.MinWidth),
      number("MinHeight", o.MinHeight),
      number("PieHor", o.PieHor),
      number("PieVer", o.PieVer),
      number("PixWidth", o.PixWidth),
      number("PixHeight", o.PixHeight),
      "CustomDir=" + o.CustomDir,
      "LastDir=" + o.LastDir,
      flag("IncludeSubdir", o.IncludeSubdir),
      "SiteRoot=" + o.SiteRoot,
      std::string("Markup=") + MarkupName(o.Markup),
  };
  lines.insert(lines.end(), o.OtherLines.begin(), o.OtherLines.end());
  for (const auto& type : o.FileTypes) {
    lines.push_back("FileType=" + type.Extension + "," + type.Description);
  }
  const std::string path = OptionsPath();
  // A file the user made read-only stays as it is: the changes are lost.
  if (platform::IsReadOnlyFile(path)) {
    throw EStreamError("Cannot create file \"" + path + "\". " + platform::ErrorText(EACCES));
  }
  // A new file replaces the old one in one step, so a crash while saving
  // never leaves a truncated vlm.ini behind.
  std::string failed = path;
  if (!platform::ReplaceFile(path, JoinTextLines(lines), &failed)) {
    throw EStreamError("Cannot create file \"" + failed + "\". " + platform::ErrorText(errno));
  }
}

bool IsKnownFileType(const std::string& fileName) {
  std::string ext;
  size_t dot = fileName.rfind('.');
  if (dot != std::string::npos && fileName.find_first_of("/\\:", dot) == std::string::npos) {
    ext = fileName.substr(dot + 1);
    for (char& c : ext) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
  }
  for (const auto& type : Options.FileTypes) {
    if (type.Extension == ext) return true;
  }
  return false;
}

std::string GetProgramDir() { return GetProgramFolders().Program; }
