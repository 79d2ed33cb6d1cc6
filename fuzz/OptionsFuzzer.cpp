// The options loader on an arbitrary vlm.ini. A file it loads saves and
// loads again to the same record; a file it refuses raises one of the
// documented errors and leaves the file-type list as it was.

#include <cstdlib>

#include "fuzz/FuzzSupport.h"
#include "platform/Exception.h"
#include "storage/vlmOption.h"

namespace {

TOptions Sentinel() {
  TOptions o;
  o.CustomDir = "custom";
  o.LastDir = "last";
  o.ATag = o.WidthHeight = o.ProtectBMP = o.ProtectGIF = o.ProtectJPG = 7;
  o.ProtectPNG = o.ProtectWebP = 7;
  o.SiteRoot = "root";
  o.Markup = TMarkup::Layered;
  o.SliceByPixels = o.IncludeSubdir = 9;
  o.InitialDirMode = o.MinWidth = o.MinHeight = -77;
  o.PieHor = o.PieVer = o.PixWidth = o.PixHeight = 77;
  o.FileTypes = {{"sentinel", "kept on failure"}};
  return o;
}

bool Same(const TOptions& a, const TOptions& b) {
  if (a.FileTypes.size() != b.FileTypes.size()) return false;
  for (size_t i = 0; i < a.FileTypes.size(); ++i) {
    if (a.FileTypes[i].Extension != b.FileTypes[i].Extension ||
        a.FileTypes[i].Description != b.FileTypes[i].Description) {
      return false;
    }
  }
  return a.CustomDir == b.CustomDir && a.LastDir == b.LastDir && a.ATag == b.ATag &&
         a.WidthHeight == b.WidthHeight && a.ProtectBMP == b.ProtectBMP &&
         a.ProtectGIF == b.ProtectGIF && a.ProtectJPG == b.ProtectJPG &&
         a.ProtectPNG == b.ProtectPNG && a.ProtectWebP == b.ProtectWebP &&
         a.SiteRoot == b.SiteRoot && a.Markup == b.Markup && a.OtherLines == b.OtherLines &&
         a.SliceByPixels == b.SliceByPixels && a.IncludeSubdir == b.IncludeSubdir &&
         a.InitialDirMode == b.InitialDirMode && a.MinWidth == b.MinWidth &&
         a.MinHeight == b.MinHeight && a.PieHor == b.PieHor && a.PieVer == b.PieVer &&
         a.PixWidth == b.PixWidth && a.PixHeight == b.PixHeight;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool homeSet = ::setenv("VLM_HOME", fuzz::ScratchFolder().c_str(), 1) == 0;
  FUZZ_CHECK(homeSet);
  const std::string text(fuzz::Bytes(data, size));
  fuzz::WriteFileOrDie(GetProgramDir() + "/vlm.ini", text);
  const std::vector<std::string> lines = SplitTextLines(text);
  const bool keyed = !lines.empty() && !lines[0].empty() && lines[0][0] == '[';
  const bool enoughLines = keyed || lines.size() >= 16;

  Options = Sentinel();
  try {
    LoadOptions();
  } catch (const EListError&) {
    FUZZ_CHECK(!enoughLines || keyed);
    FUZZ_CHECK(Options.FileTypes.size() == 1 && Options.FileTypes[0].Extension == "sentinel");
    return 0;
  } catch (const EConvertError& e) {
    const std::string message = e.what();
    FUZZ_CHECK(message.find("' is not a valid integer value") != std::string::npos ||
               (keyed && message.find("' is not a valid markup") != std::string::npos) ||
               (keyed && message.find("' is not a form of vlm.ini") != std::string::npos));
    FUZZ_CHECK(Options.FileTypes.size() == 1 && Options.FileTypes[0].Extension == "sentinel");
    return 0;
  }
  FUZZ_CHECK(enoughLines);
  const TOptions loaded = Options;
  SaveOptions();
  Options = Sentinel();
  LoadOptions();
  FUZZ_CHECK(Same(Options, loaded));
  return 0;
}
