#include "storage/vlmOption.h"

#include <cerrno>
#include <cstdlib>

#include "platform/Exception.h"
#include "platform/File.h"
#include "platform/ModulePath.h"
#include "storage/Convert.h"

TOptions Options;

namespace {

constexpr int kFixedLines = 16;

std::string OptionsPath() { return GetProgramDir() + "/vlm.ini"; }

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

void LoadOptions() {
  const std::string path = OptionsPath();
  std::string data;
  if (!platform::ReadWholeFile(path, data)) {
    throw EStreamError("Cannot open file \"" + path + "\". " + platform::ErrorText(errno));
  }
  const std::vector<std::string> lines = SplitTextLines(data);
  int index = 0;
  auto line = [&]() -> const std::string& {
    if (index >= static_cast<int>(lines.size())) {
      throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    }
    return lines[index++];
  };
  auto boolean = [&]() { return static_cast<TBool>(StrToInt(line()) & 0xFF); };
  auto integer = [&]() { return StrToInt(line()); };

  Options.ATag = boolean();
  Options.WidthHeight = boolean();
  Options.ProtectBMP = boolean();
  Options.ProtectGIF = boolean();
  Options.ProtectJPG = boolean();
  Options.SliceByPixels = boolean();
  Options.InitialDirMode = integer();
  Options.MinWidth = integer();
  Options.MinHeight = integer();
  Options.PieHor = integer();
  Options.PieVer = integer();
  Options.PixWidth = integer();
  Options.PixHeight = integer();
  Options.CustomDir = line();
  Options.LastDir = line();
  Options.IncludeSubdir = boolean();

  std::vector<TFileType> types;
  types.reserve(lines.size() - kFixedLines);
  for (size_t i = kFixedLines; i < lines.size(); ++i) {
    const std::string& text = lines[i];
    size_t comma = text.find(',');
    if (comma == std::string::npos) {
      types.push_back({"", text});
    } else {
      types.push_back({text.substr(0, comma), text.substr(comma + 1)});
    }
  }
  Options.FileTypes = std::move(types);
}

void SaveOptions() {
  const TOptions& o = Options;
  std::vector<std::string> lines = {
      IntToStr(o.ATag),           IntToStr(o.WidthHeight),    IntToStr(o.ProtectBMP),
      IntToStr(o.ProtectGIF),     IntToStr(o.ProtectJPG),     IntToStr(o.SliceByPixels),
      IntToStr(o.InitialDirMode), IntToStr(o.MinWidth),       IntToStr(o.MinHeight),
      IntToStr(o.PieHor),         IntToStr(o.PieVer),         IntToStr(o.PixWidth),
      IntToStr(o.PixHeight),      o.CustomDir,                o.LastDir,
      IntToStr(o.IncludeSubdir),
  };
  for (const auto& type : o.FileTypes) lines.push_back(type.Extension + "," + type.Description);
  const std::string path = OptionsPath();
  // A new file replaces the old one in one step, so a crash while saving
  // never leaves a truncated vlm.ini behind.
  if (!platform::ReplaceFile(path, JoinTextLines(lines))) {
    throw EStreamError("Cannot create file \"" + path + "\". " + platform::ErrorText(errno));
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

std::string GetProgramDir() {
  if (const char* home = std::getenv("VLM_HOME"); home && *home) {
    std::string dir = home;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
  }
  std::string module = platform::ModulePath();
  size_t slash = module.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return module.substr(0, slash);
}
