#include "cli/CliArguments.h"

#include <algorithm>
#include <charconv>

#include "cli/PageScan.h"
#include "platform/Path.h"

const char* const kCliUsage =
    "Usage:\n"
    "  vlm-cli protect [options] PATH...   protect pages and folders\n"
    "  vlm-cli restore [--force] [SET]     put back everything a backup set holds\n"
    "                                      (default: the newest set not restored yet;\n"
    "                                      --force: an older set before newer ones,\n"
    "                                      or a restored set again)\n"
    "  vlm-cli backups                     list the backup sets\n"
    "  vlm-cli --help | --version\n"
    "\n"
    "Options of protect (for this run only; vlm.ini is not changed):\n"
    "  --grid COLSxROWS        cut every image into a grid of COLS x ROWS pieces\n"
    "  --pieces WIDTHxHEIGHT   cut every image into pieces of WIDTH x HEIGHT pixels\n"
    "  --min WIDTHxHEIGHT      protect only images at least this large\n"
    "  --links, --no-links     protect images inside links, or leave them\n"
    "  --sizes, --no-sizes     give every piece its width and height, or not\n"
    "  --types LIST            image kinds to protect, of gif, jpg, bmp, png, webp\n"
    "                          (comma-separated)\n"
    "  --markup table|layered  write a table of the pieces, or pieces laid over each other\n"
    "  --site-root DIR         the folder that SRC addresses starting with \"/\" start from\n"
    "  --subdirs, --no-subdirs read the subfolders of a folder too, or not\n"
    "  --dry-run               list, for every image tag, whether a run would slice it,\n"
    "                          reuse it or leave it alone, and why; change nothing\n"
    "  --format text|json      the dry run's list as text, or as JSON Lines\n"
    "  --jobs N                encode pictures on N threads (default: one per core);\n"
    "                          the files written are the same for every N\n"
    "\n"
    "Options come from vlm.ini beside the program (or in $VLM_HOME).\n";

namespace {

int32_t Number(const std::string& text, const std::string& option) {
  int32_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
    throw UsageError("bad value for " + option + ": '" + text + "' is not a whole number");
  }
  return value;
}

std::pair<int32_t, int32_t> Pair(const std::string& text, const std::string& option,
                                 int32_t least) {
  size_t x = text.find_first_of("xX");
  if (x == std::string::npos) {
    throw UsageError("bad value for " + option + ": '" + text + "' is not of the form AxB");
  }
  auto pair = std::make_pair(Number(text.substr(0, x), option), Number(text.substr(x + 1), option));
  if (pair.first < least || pair.second < least) {
    throw UsageError("bad value for " + option + ": both numbers must be at least " +
                     std::to_string(least));
  }
  return pair;
}

std::vector<std::string> Types(const std::string& text) {
  std::vector<std::string> types;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    std::string type = platform::AsciiLower(text.substr(start, comma - start));
    if (type == "jpeg") type = "jpg";
    if (type != "gif" && type != "jpg" && type != "bmp" && type != "png" && type != "webp") {
      throw UsageError("bad value for --types: '" + type + "' is none of gif, jpg, bmp, png, webp");
    }
    types.push_back(type);
    start = comma + 1;
  }
  return types;
}

bool Format(const std::string& text) {
  if (text != "text" && text != "json") {
    throw UsageError("bad value for --format: '" + text + "' is neither text nor json");
  }
  return text == "json";
}

TMarkup MarkupOf(const std::string& text) {
  TMarkup markup;
  if (!MarkupFromName(text, markup)) {
    throw UsageError("bad value for --markup: '" + text + "' is neither table nor layered");
  }
  return markup;
}

std::string SiteRoot(const std::string& text) {
  if (text.empty()) throw UsageError("bad value for --site-root: an empty folder name");
  std::string root = AbsolutePath(text);
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

}  // namespace

void TOptionOverrides::ApplyTo(TOptions& options) const {
  if (Grid) {
    options.SliceByPixels = 0;
    options.PieHor = Grid->first;
    options.PieVer = Grid->second;
  }
  if (Pieces) {
    options.SliceByPixels = 1;
    options.PixWidth = Pieces->first;
    options.PixHeight = Pieces->second;
  }
  if (Min) {
    options.MinWidth = Min->first;
    options.MinHeight = Min->second;
  }
  if (Links) options.ATag = *Links;
  if (Sizes) options.WidthHeight = *Sizes;
  if (Subdirs) options.IncludeSubdir = *Subdirs;
  if (Types) {
    auto has = [&](const char* t) { return static_cast<TBool>(std::count(Types->begin(), Types->end(), t) > 0); };
    options.ProtectGIF = has("gif");
    options.ProtectJPG = has("jpg");
    options.ProtectBMP = has("bmp");
    options.ProtectPNG = has("png");
    options.ProtectWebP = has("webp");
  }
  if (Markup) options.Markup = *Markup;
  if (SiteRoot) options.SiteRoot = *SiteRoot;
}

TCliArguments ParseCliArguments(const std::vector<std::string>& args) {
  TCliArguments parsed;
  if (args.empty()) throw UsageError("no command given");
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    parsed.Command = CliCommand::Help;
    return parsed;
  }
  if (command == "--version") {
    parsed.Command = CliCommand::Version;
    return parsed;
  }
  if (command == "backups") {
    if (args.size() > 1) throw UsageError("backups takes no arguments");
    parsed.Command = CliCommand::Backups;
    return parsed;
  }
  if (command == "restore") {
    parsed.Command = CliCommand::Restore;
    for (size_t i = 1; i < args.size(); ++i) {
      if (args[i] == "--force") {
        parsed.Force = true;
        continue;
      }
      if (parsed.Set) throw UsageError("restore takes at most one set number");
      parsed.Set = Number(args[i], "restore");
      if (*parsed.Set < 0) throw UsageError("a backup set number is 0 or more");
    }
    return parsed;
  }
  if (command != "protect") throw UsageError("unknown command '" + command + "'");
  parsed.Command = CliCommand::Protect;
  bool onlyPaths = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (onlyPaths || arg.empty() || arg[0] != '-') {
      parsed.Paths.push_back(arg);
      continue;
    }
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw UsageError(arg + " needs a value");
      return args[++i];
    };
    TOptionOverrides& o = parsed.Overrides;
    if (arg == "--") onlyPaths = true;
    else if (arg == "--grid") o.Grid = Pair(value(), arg, 1), o.Pieces.reset();
    else if (arg == "--pieces") o.Pieces = Pair(value(), arg, 1), o.Grid.reset();
    else if (arg == "--min") o.Min = Pair(value(), arg, 0);
    else if (arg == "--links") o.Links = true;
    else if (arg == "--no-links") o.Links = false;
    else if (arg == "--sizes") o.Sizes = true;
    else if (arg == "--no-sizes") o.Sizes = false;
    else if (arg == "--subdirs") o.Subdirs = true;
    else if (arg == "--no-subdirs") o.Subdirs = false;
    else if (arg == "--types") o.Types = Types(value());
    else if (arg == "--markup") o.Markup = MarkupOf(value());
    else if (arg == "--site-root") o.SiteRoot = SiteRoot(value());
    else if (arg == "--dry-run") parsed.DryRun = true;
    else if (arg == "--format") parsed.Json = Format(value());
    else if (arg == "--jobs") {
      parsed.Jobs = Number(value(), arg);
      if (*parsed.Jobs < 1 || *parsed.Jobs > 256) throw UsageError("--jobs takes 1 to 256");
    }
    else throw UsageError("unknown option '" + arg + "'");
  }
  if (parsed.Paths.empty()) throw UsageError("protect needs at least one page or folder");
  return parsed;
}
