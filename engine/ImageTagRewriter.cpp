#include "engine/ImageTagRewriter.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "engine/ImageAddress.h"
#include "engine/ImageDecoder.h"
#include "engine/PictureLookAhead.h"
#include "engine/ProtectionRun.h"
#include "engine/Scaler.h"
#include "engine/ScriptNames.h"
#include "engine/Slicer.h"
#include "engine/TagAttributes.h"
#include "engine/TagScan.h"
#include "platform/File.h"
#include "platform/Path.h"
#include "storage/GlobalLib.h"

namespace {

// Backup records keep 255 bytes of a path; a longer one could not be put
// back, so such a file is never changed.
constexpr size_t kLongestBackupPath = 254;

// True when one of the names below, "=" included, stands anywhere in the
// tag from its sixth byte on, in any letter case. Every name ends with "=",
// so only the few "=" of the tag are looked at.
bool HasExcludedAttribute(std::string_view tag) {
  static constexpr std::string_view kExcluded[] = {
      "USEMAP=",      "ONCLICK=",     "ONDBLCLICK=", "ONMOUSEUP=", "ONMOUSEOVER=", "ONMOUSEOUT=",
      "ONMOUSEMOVE=", "ONMOUSEDOWN=", "ONLOAD=",     "ONFOCUS=",   "ONABORT=",     "ONERROR="};
  for (size_t equals = tag.find('='); equals != std::string_view::npos;
       equals = tag.find('=', equals + 1)) {
    for (std::string_view name : kExcluded) {
      // The 0-based start of the name when it ends at this "=".
      if (equals + 1 < name.size() || equals + 1 - name.size() < 5) continue;
      const size_t start = equals + 1 - name.size();
      if (PosTextFrom(tag.substr(start, name.size()), name, 1) == 1) return true;
    }
  }
  return false;
}

// The name of the first data- attribute whose value names a picture file ("big.jpg",
// "a.webp?v=2", "a.png 1x, b.png 2x"), or empty. Lazy loaders, zoom and
// lightbox scripts keep the picture they will show there and swap it in for
// SRC: a table of the SRC's pieces would leave them nothing to swap, and the
// page would show the placeholder for ever.
std::string DataAttributeNamingAPicture(const std::vector<TTagAttribute>& attributes) {
  static const std::string_view kPictureExtensions[] = {".GIF", ".JPG",  ".JPEG", ".BMP",
                                                        ".PNG", ".WEBP", ".AVIF", ".SVG"};
  for (const TTagAttribute& attribute : attributes) {
    const std::string_view name = attribute.Name;
    if (!attribute.HasValue || name.size() < 5 || PosTextFrom(name.substr(0, 5), "DATA-", 1) != 1) {
      continue;
    }
    const std::string value = platform::AsciiUpper(attribute.Value);
    for (std::string_view ext : kPictureExtensions) {
      for (size_t at = value.find(ext); at != std::string::npos; at = value.find(ext, at + 1)) {
        const size_t end = at + ext.size();
        const bool named = at > 0 && !std::strchr(" \t\n\r\f,/", value[at - 1]);
        if (named && (end == value.size() || std::strchr("?#, \t\n\r\f", value[end]))) {
          return attribute.Name;
        }
      }
    }
  }
  return {};
}

// The kind of an image by its extension, when the options protect it;
// otherwise None with `why` saying what stands in the way.
ImageKind KindOf(const std::string& ext, const TOptions& options, std::string& why) {
  const std::string upper = platform::AsciiUpper(ext);
  const struct {
    const char* ext;
    ImageKind kind;
    TBool on;
  } kinds[] = {{".GIF", ImageKind::GIF, options.ProtectGIF},
               {".JPG", ImageKind::JPEG, options.ProtectJPG},
               {".JPEG", ImageKind::JPEG, options.ProtectJPG},
               {".BMP", ImageKind::BMP, options.ProtectBMP},
               {".PNG", ImageKind::PNG, options.ProtectPNG},
               {".WEBP", ImageKind::WebP, options.ProtectWebP}};
  for (const auto& k : kinds) {
    if (upper != k.ext) continue;
    if (k.on) return k.kind;
    why = KindName(k.kind) + " is off in the options";
    return ImageKind::None;
  }
  if (upper == ".SVG" || upper == ".SVGZ") {
    why = "SVG is a drawing, not a picture of pixels";
  } else if (upper.empty()) {
    why = "no extension";
  } else {
    why = ext.substr(1) + " is no kind this program cuts";
  }
  return ImageKind::None;
}

// The whole file, or false when it cannot be opened or read. Opened as the
// file handler opens with compatibility sharing (no other opener while it is
// read, no file beyond 2 GiB - 1), but read into memory that is not cleared
// first: a picture's bytes are read once and written once to the backup.
bool ReadImageFile(const std::string& path, TPixelBytes& bytes, int32_t& size) {
  platform::File file;
  if (!file.Open(path, platform::Access::Read, platform::Sharing::Exclusive)) return false;
  const int64_t length = file.Size();
  if (length < 0 || length > INT32_MAX) return false;
  bytes.resize(static_cast<size_t>(length));
  if (file.Read(reinterpret_cast<char*>(bytes.data()), length) != length) return false;
  size = static_cast<int32_t>(length);
  return true;
}

// A WIDTH or HEIGHT value as browsers read it: blanks skipped, then a
// number of pixels or, with "%" right after it, a percentage; a fraction is
// rounded to the nearest pixel and whatever follows is ignored ("12px" and
// "12.4" are 12, "0x40" is 0). A value that does not begin with a digit
// raises EConvertError.
struct TDimension {
  int32_t Value = 0;
  bool Percent = false;
};

TDimension DimensionValue(const std::string& value) {
  size_t i = value.find_first_not_of(" \t\n\f\r");
  auto digit = [&] { return i < value.size() && value[i] >= '0' && value[i] <= '9'; };
  if (i == std::string::npos || !digit()) {
    throw EConvertError("'" + value + "' is not a valid integer value");
  }
  int64_t number = 0;
  for (; digit(); ++i) number = std::min<int64_t>(number * 10 + (value[i] - '0'), INT32_MAX);
  if (i + 1 < value.size() && value[i] == '.' && value[i + 1] >= '0' && value[i + 1] <= '9') {
    if (value[i + 1] >= '5') number = std::min<int64_t>(number + 1, INT32_MAX);
    for (++i; digit();) ++i;
  }
  return {static_cast<int32_t>(number), i < value.size() && value[i] == '%'};
}

// The size a tag shows a picture of `ownW` x `ownH` at. With only one of
// WIDTH and HEIGHT the other follows the picture's own aspect ratio, as a
// browser shows it. Raises EConvertError as DimensionValue does.
void ShownSize(const std::string& widthValue, const std::string& heightValue, int32_t ownW,
               int32_t ownH, int32_t& w, int32_t& h) {
  w = widthValue == "-1" ? ownW : DimensionValue(widthValue).Value;
  h = heightValue == "-1" ? ownH : DimensionValue(heightValue).Value;
  if (widthValue == "-1" && heightValue != "-1" && ownH > 0) {
    w = static_cast<int32_t>((int64_t{h} * ownW + ownH / 2) / ownH);
  } else if (heightValue == "-1" && widthValue != "-1" && ownW > 0) {
    h = static_cast<int32_t>((int64_t{w} * ownH + ownW / 2) / ownW);
  }
}

}  // namespace

void TCutImages::Add(const std::string& path, int32_t ownWidth, int32_t ownHeight, int32_t width,
                     int32_t height, int32_t bleed) {
  OwnSizes_.emplace(path, std::make_pair(ownWidth, ownHeight));
  Cuts_.emplace(path, width, height, bleed);
}

void TCutImages::Forget(const std::string& path, int32_t width, int32_t height, int32_t bleed) {
  Cuts_.erase({path, width, height, bleed});
  auto next = Cuts_.lower_bound({path, INT32_MIN, INT32_MIN, INT32_MIN});
  if (next == Cuts_.end() || std::get<0>(*next) != path) OwnSizes_.erase(path);
}

bool TCutImages::OwnSize(const std::string& path, int32_t& width, int32_t& height) const {
  auto it = OwnSizes_.find(path);
  if (it == OwnSizes_.end()) it = Read_.find(path);
  if (it == Read_.end()) return false;
  width = it->second.first;
  height = it->second.second;
  return true;
}

platform::FileKind TCutImages::KindOfFile(const std::string& path) const {
  auto known = Kinds_.find(path);
  if (known == Kinds_.end()) known = Kinds_.emplace(path, platform::KindOfFile(path)).first;
  return known->second;
}

bool TCutImages::HasCut(const std::string& path, int32_t width, int32_t height,
                        int32_t bleed) const {
  return Cuts_.count({path, width, height, bleed}) > 0;
}

std::string GetAttributeValue(std::string_view tagText, std::string_view name) {
  return GetAttributeValue(ReadTagAttributes(tagText), name);
}

std::string GetAttributeValue(const std::vector<TTagAttribute>& attributes, std::string_view name) {
  if (!name.empty() && name.back() == '=') name.remove_suffix(1);
  // The first of a repeated name counts; one without a value names nothing.
  const TTagAttribute* attribute = FindAttribute(attributes, name);
  return attribute && attribute->HasValue ? attribute->Value : "-1";
}

TTagDecision JudgeImageTag(const std::string& tagText, const TImageAddress& base,
                           const std::string& linkTag, const TOptions& options,
                           const TCutImages& cut, TImageCandidate& candidate, bool scale,
                           TPictureLookAhead* ahead, TScriptNames* scripts) {
  TLeaveReason& reason = candidate.Reason;
  std::string& detail = candidate.Detail;
  auto leave = [&](TLeaveReason why, std::string what = std::string()) {
    reason = why;
    detail = std::move(what);
    return TTagDecision::Refused;
  };
  if (HasExcludedAttribute(tagText)) return leave(TLeaveReason::ExcludedAttribute);
  if (PosTextFrom(tagText, "NOPROTECT", 6) > 0) return leave(TLeaveReason::NoProtect);
  // The browser shows a picture of its own choosing from the set; a table of
  // the SRC's pieces would replace it with another one.
  // Read once for every question below: a page may hold thousands of tags.
  const std::vector<TTagAttribute> attributes = ReadTagAttributes(tagText);
  if (GetAttributeValue(attributes, "SRCSET=") != "-1") {
    return leave(TLeaveReason::ImageSet, "srcset");
  }
  // The markup of an earlier run: its pieces are never cut again.
  if (FindAttribute(attributes, kMarkupMarker)) {
    return leave(TLeaveReason::NoProtect, "protected by an earlier run");
  }
  // A server-side image map: the link's server is sent where in the
  // picture it was clicked, which no piece can tell.
  if (FindAttribute(attributes, "ismap")) return leave(TLeaveReason::ExcludedAttribute, "ismap");
  const std::string swapped = DataAttributeNamingAPicture(attributes);
  if (!swapped.empty()) {
    return leave(TLeaveReason::ExcludedAttribute, swapped + " names the picture a script shows");
  }
  if (scripts) {
    for (std::string_view key : {"name", "id"}) {
      const TTagAttribute* named = FindAttribute(attributes, key);
      if (named && scripts->Swaps(named->Value)) {
        return leave(TLeaveReason::ExcludedAttribute,
                     "a script swaps it by its " + std::string(key) + " " + named->Value);
      }
    }
  }
  const std::string srcValue = GetAttributeValue(attributes, "SRC=");
  if (srcValue == "-1") return leave(TLeaveReason::MissingFile, "no SRC");
  // A file name holds no NUL; the system would read the name only up to it
  // and reach a file the page does not show.
  if (srcValue.find('\0') != std::string::npos) {
    return leave(TLeaveReason::MissingFile, "NUL in SRC");
  }
  TImageAddress address = ResolveImageAddress(base, srcValue, options.SiteRoot);
  if (address.Where == TImageAddress::Kind::File &&
      std::any_of(srcValue.begin(), srcValue.end(),
                  [](char c) { return static_cast<unsigned char>(c) >= 0x80; }) &&
      !platform::FileExists(address.Path)) {
    // A file system that keeps names in the page's own bytes: the name as
    // written, when its UTF-8 form is not there.
    TImageAddress asWritten = base;
    asWritten.Encoding = "utf-8";
    TImageAddress written = ResolveImageAddress(asWritten, srcValue, options.SiteRoot);
    if (platform::FileExists(written.Path)) address = std::move(written);
  }
  if (address.Where == TImageAddress::Kind::Remote) return leave(TLeaveReason::RemoteAddress);
  if (address.Where == TImageAddress::Kind::NoSiteRoot) return leave(TLeaveReason::NoSiteRoot);
  if (address.BadEscape) return leave(TLeaveReason::MissingFile, "%00 in SRC");
  TSliceTarget& target = candidate.Target;
  target.ImagePath = address.Path;
  target.ImageFolder = platform::FolderOf(target.ImagePath);
  size_t dot = target.ImagePath.rfind('.');
  target.ImageExt = dot != std::string::npos && dot >= target.ImageFolder.size()
                        ? target.ImagePath.substr(dot)
                        : std::string();
  target.SrcDir = address.SrcDir;
  target.LinkTag = linkTag;
  target.TagText = tagText;
  const platform::FileKind file = cut.KindOfFile(target.ImagePath);
  if (file == platform::FileKind::Missing || file == platform::FileKind::Folder) {
    return leave(TLeaveReason::MissingFile, target.ImagePath);
  }
  // Only a regular file is a picture: a pipe or a device named like one
  // would hold the run for ever once opened.
  if (file != platform::FileKind::Regular) return leave(TLeaveReason::NotRegularFile);
  const std::string widthValue = GetAttributeValue(attributes, "WIDTH=");
  const std::string heightValue = GetAttributeValue(attributes, "HEIGHT=");
  // A picture sized by its container: pieces of one size cannot follow it.
  for (const std::string* value : {&widthValue, &heightValue}) {
    if (*value != "-1" && DimensionValue(*value).Percent) {
      return leave(TLeaveReason::ExcludedAttribute, "a size of " + *value);
    }
  }
  // Shown smaller than the options allow, at the size the tag shows it.
  auto tooSmall = [&] {
    return candidate.Width < options.MinWidth || candidate.Height < options.MinHeight;
  };
  auto leaveTooSmall = [&] {
    return leave(TLeaveReason::TooSmall,
                 std::to_string(candidate.Width) + "x" + std::to_string(candidate.Height));
  };
  if (cut.OwnSize(target.ImagePath, target.OwnWidth, target.OwnHeight)) {
    ShownSize(widthValue, heightValue, target.OwnWidth, target.OwnHeight, candidate.Width,
              candidate.Height);
    if (cut.HasCut(target.ImagePath, candidate.Width, candidate.Height,
                   PieceBleed(target.Markup))) {
      return TTagDecision::Reused;
    }
    if (tooSmall()) return leaveTooSmall();
  }

  std::string kindDetail;
  candidate.Kind = KindOf(target.ImageExt, options, kindDetail);
  if (candidate.Kind == ImageKind::None) return leave(TLeaveReason::FormatNotHandled, kindDetail);
  if (target.ImagePath.size() > kLongestBackupPath) return leave(TLeaveReason::PathTooLong);
  if (!ReadImageFile(target.ImagePath, candidate.FileBytes, candidate.FileSize)) {
    return leave(TLeaveReason::MissingFile, "cannot be read");
  }
  TSourceImage& image = candidate.Image;
  bool decoded = false;
  if (!ahead || !ahead->Take(target.ImagePath, candidate.Kind, candidate.FileText(), decoded, image,
                             &candidate.Early)) {
    decoded = DecodeImage(candidate.Kind, candidate.FileText(), image);
  }
  if (!decoded) {
    if (IsAnimatedImage(candidate.Kind, candidate.FileText())) return leave(TLeaveReason::Animated);
    return leave(TLeaveReason::FormatNotHandled,
                 "not a well-formed " + KindName(candidate.Kind) + " file");
  }

  target.OwnWidth = image.Bitmap.Width;
  target.OwnHeight = image.Bitmap.Height;
  cut.NoteRead(target.ImagePath, target.OwnWidth, target.OwnHeight);
  ShownSize(widthValue, heightValue, target.OwnWidth, target.OwnHeight, candidate.Width,
            candidate.Height);
  const int32_t w = candidate.Width, h = candidate.Height;
  if (tooSmall()) return leaveTooSmall();
  if (!IsAcceptableImageSize(w, h)) return leave(TLeaveReason::FormatNotHandled, "shown too large");
  if (scale && (w != image.Bitmap.Width || h != image.Bitmap.Height)) {
    candidate.Early = TEarlyPieces();
    if (candidate.Kind == ImageKind::GIF) {
      // Picking pixels keeps a GIF's own colours (and its transparent
      // key), so its pieces need no colour reduction.
      TBitmap scaled;
      ScaleBitmap(image.Bitmap, w, h, scaled);
      image.Bitmap = std::move(scaled);
    } else {
      // Smoothly, as the browser showed the picture at that size.
      ResamplePicture(image.Bitmap, image.Alpha, w, h);
    }
  }
  return TTagDecision::New;
}

std::vector<TPictureGuess> PicturesNamedBy(std::string_view page, const TImageAddress& base,
                                           const TOptions& options) {
  std::vector<TPictureGuess> pictures;
  std::set<std::string> named;
  std::string why;
  for (int a = FindImageTag(page, 1); a > 0;) {
    const int d = FindTagEnd(page, a);
    if (d == 0) break;
    const std::string_view tag =
        page.substr(static_cast<size_t>(a - 1), static_cast<size_t>(d - a + 1));
    a = FindImageTag(page, d + 1);
    const std::string src = GetAttributeValue(tag, "SRC=");
    if (src == "-1" || src.find('\0') != std::string::npos) continue;
    const TImageAddress address = ResolveImageAddress(base, src, options.SiteRoot);
    if (address.Where != TImageAddress::Kind::File || address.BadEscape) continue;
    const std::string folder = platform::FolderOf(address.Path);
    const size_t dot = address.Path.rfind('.');
    if (dot == std::string::npos || dot < folder.size()) continue;
    const ImageKind kind = KindOf(address.Path.substr(dot), options, why);
    if (kind == ImageKind::None || address.Path.size() > kLongestBackupPath) continue;
    if (named.insert(address.Path).second) {
      const bool ownSize =
          GetAttributeValue(tag, "WIDTH=") == "-1" && GetAttributeValue(tag, "HEIGHT=") == "-1";
      pictures.push_back({address.Path, kind, ownSize});
    }
  }
  return pictures;
}

TTagVerdict TagVerdictOf(const std::string& tagText, TTagDecision decision,
                         const TImageCandidate& candidate) {
  TTagVerdict verdict;
  const std::string src = GetAttributeValue(tagText, "SRC=");
  if (src != "-1") verdict.Src = src;
  verdict.ImagePath = candidate.Target.ImagePath;
  switch (decision) {
    case TTagDecision::Refused:
      verdict.Reason = candidate.Reason;
      verdict.Detail = candidate.Detail;
      break;
    case TTagDecision::Reused:
      verdict.What = TTagVerdict::Action::Reuse;
      break;
    case TTagDecision::New:
      verdict.What = TTagVerdict::Action::Slice;
      break;
  }
  return verdict;
}

bool ProtectImageTag(const std::string& tagText, const TImageAddress& base,
                     const std::string& linkTag, const std::string& closeLinkText,
                     const std::string& widthHeightText, TMarkup markup, TScriptNames& scripts,
                     std::string& replacement, TProtectionRun& run) {
  replacement = tagText;
  TSavedImage& saved = run.Saved();
  TImageCandidate candidate;
  candidate.Target.Markup = markup;
  candidate.Target.Page = run.PageTraits();
  const bool judgingOnly = run.JudgingOnly();
  const TTagDecision decision = JudgeImageTag(tagText, base, linkTag, run.Options(), run.Cuts(),
                                              candidate, !judgingOnly, run.LookAhead(), &scripts);
  run.NoteVerdict(TagVerdictOf(tagText, decision, candidate));
  switch (decision) {
    case TTagDecision::Refused:
      return false;
    case TTagDecision::Reused:
      if (judgingOnly) return true;
      if (!saved.FindCut(candidate.Target.ImagePath, candidate.Width, candidate.Height,
                         PieceBleed(markup))) {
        throw Exception("Saved image: no cut of " + candidate.Target.ImagePath);
      }
      saved.BuildTable(linkTag, closeLinkText, widthHeightText, candidate.Target.SrcDir,
                       replacement, tagText, markup, run.PageTraits());
      run.NotePageImage(saved.FoundIndex());
      return true;
    case TTagDecision::New:
      break;
  }
  // A later tag showing the image at this size reuses this cut.
  const auto noteCut = [&] {
    run.NoteCut(candidate.Target.ImagePath, candidate.Target.OwnWidth, candidate.Target.OwnHeight,
                candidate.Width, candidate.Height, PieceBleed(markup));
  };
  if (judgingOnly) {
    noteCut();
    return true;
  }

  // The image's old bytes must be safe on disk before anything of it
  // changes: they join the run's next group commit, and the pieces are
  // written only after it. A further cut of it records them again: the
  // backup set ties each list of piece names to an entry of its own.
  try {
    run.Backup().StageEntry(candidate.FileSize, candidate.Target.ImagePath, candidate.FileText());
  } catch (const EFileHandlerError& e) {
    run.ReportError(e.ErrorCode, e.what());
    return false;
  }
  candidate.FileBytes.clear();
  candidate.FileBytes.shrink_to_fit();

  const int before = saved.LastIndex();
  bool namesWritten = false;
  run.NoteWrittenFolder(candidate.Target.ImageFolder);
  // The pieces are encoded on the run's workers while the run goes on, and
  // written with the group.
  auto image = std::make_shared<TSourceImage>(std::move(candidate.Image));
  try {
    replacement = SliceImage(
        *image, candidate.Kind, candidate.Target, widthHeightText, closeLinkText, run.Options(),
        run.Names(), saved,
        [&](const std::string& pieceNames) {
          run.Backup().StagePieceNames(pieceNames);
          namesWritten = true;
        },
        nullptr,
        [&](const TGrid& grid, std::vector<std::string>&& paths) {
          run.KeepPieces(image, candidate.Kind, grid, std::move(paths), std::move(candidate.Early));
        });
  } catch (const EFileHandlerError& e) {
    if (namesWritten || saved.LastIndex() == before) {
      if (saved.LastIndex() != before) run.NotePageImage(saved.LastIndex());
      throw;
    }
    // The name list could not be written: no piece exists yet. Forget the
    // image so that no later tag reuses it and its source stays.
    saved.DropNewest();
    replacement = tagText;
    run.ReportError(e.ErrorCode, e.what());
    return false;
  } catch (...) {
    if (saved.LastIndex() != before) run.NotePageImage(saved.LastIndex());
    throw;
  }
  run.NotePageImage(saved.LastIndex());
  noteCut();
  run.CountSlice(static_cast<int64_t>(saved.GetPieceNames().size() / 4));
  return true;
}
