#include "engine/ImageTagRewriter.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "engine/ImageDecoder.h"
#include "engine/RunState.h"
#include "engine/Scaler.h"
#include "engine/Slicer.h"
#include "platform/File.h"
#include "storage/Convert.h"
#include "storage/GlobalLib.h"
#include "storage/vlmOption.h"

namespace {

// Backup records keep 255 bytes of a path; a longer one could not be put
// back, so such a file is never changed.
constexpr size_t kLongestBackupPath = 254;

bool HasExcludedAttribute(std::string_view tag) {
  static const char* const kExcluded[] = {
      "USEMAP=",     "ONCLICK=",    "ONDBLCLICK=", "ONMOUSEUP=", "ONMOUSEOVER=", "ONMOUSEOUT=",
      "ONMOUSEMOVE=", "ONMOUSEDOWN=", "ONLOAD=",    "ONFOCUS=",   "ONABORT=",     "ONERROR="};
  return std::any_of(std::begin(kExcluded), std::end(kExcluded),
                     [&](const char* name) { return PosTextFrom(tag, name, 6) > 0; });
}

ImageKind KindOf(const std::string& ext) {
  std::string upper = ext;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  if (upper == ".GIF" && Options.ProtectGIF) return ImageKind::GIF;
  if ((upper == ".JPG" || upper == ".JPEG") && Options.ProtectJPG) return ImageKind::JPEG;
  if (upper == ".BMP" && Options.ProtectBMP) return ImageKind::BMP;
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

}  // namespace

std::string GetAttributeValue(std::string_view tagText, std::string_view name) {
  int p = PosTextFrom(tagText, name, 6);
  if (p == 0) return "-1";
  size_t start = static_cast<size_t>(p - 1) + name.size();
  std::string_view rest = tagText.substr(std::min(start, tagText.size()));
  size_t end;
  if (!rest.empty() && (rest[0] == '"' || rest[0] == '\'')) {
    rest.remove_prefix(1);
    end = rest.find(tagText[start]);
  } else {
    end = rest.find(' ');
    if (end == std::string_view::npos) end = rest.find('>');
  }
  return std::string(rest.substr(0, end));
}

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

TTagDecision JudgeImageTag(const std::string& tagText, const std::string& pageFolder,
                           const std::string& linkTag, const TSlicedLookup& alreadySliced,
                           TImageCandidate& candidate, bool scale) {
  if (HasExcludedAttribute(tagText)) return TTagDecision::Refused;
  if (PosTextFrom(tagText, "NOPROTECT", 6) > 0) return TTagDecision::Refused;
  const std::string srcValue = GetAttributeValue(tagText, "SRC=");
  if (srcValue == "-1") return TTagDecision::Refused;
  // A file name holds no NUL; the system would read the name only up to it
  // and reach a file the page does not show.
  if (srcValue.find('\0') != std::string::npos) return TTagDecision::Refused;
  TSliceTarget& target = candidate.Target;
  target.ImagePath = ExpandImagePath(pageFolder, srcValue);
  target.ImageFolder = target.ImagePath.substr(0, target.ImagePath.rfind('/') + 1);
  size_t dot = target.ImagePath.rfind('.');
  target.ImageExt = dot != std::string::npos && dot >= target.ImageFolder.size()
                        ? target.ImagePath.substr(dot)
                        : std::string();
  target.SrcDir = srcValue.substr(0, srcValue.rfind('/') + 1);
  target.LinkTag = linkTag;
  if (!platform::FileExists(target.ImagePath)) return TTagDecision::Refused;
  if (alreadySliced(target.ImagePath)) return TTagDecision::Reused;

  candidate.Kind = KindOf(target.ImageExt);
  if (candidate.Kind == ImageKind::None) return TTagDecision::Refused;
  if (target.ImagePath.size() > kLongestBackupPath) return TTagDecision::Refused;
  if (!ReadImageFile(target.ImagePath, candidate.FileBytes, candidate.FileSize)) {
    return TTagDecision::Refused;
  }
  TSourceImage& image = candidate.Image;
  if (!DecodeImage(candidate.Kind, candidate.FileText(), image)) return TTagDecision::Refused;

  const std::string widthValue = GetAttributeValue(tagText, "WIDTH=");
  const std::string heightValue = GetAttributeValue(tagText, "HEIGHT=");
  if (widthValue == "100%" || heightValue == "100%") return TTagDecision::Refused;
  const int32_t w = widthValue == "-1" ? image.Bitmap.Width : StrToInt(widthValue);
  const int32_t h = heightValue == "-1" ? image.Bitmap.Height : StrToInt(heightValue);
  if (w < Options.MinWidth || h < Options.MinHeight) return TTagDecision::Refused;
  if (!IsAcceptableImageSize(w, h)) return TTagDecision::Refused;
  if (scale && (w != image.Bitmap.Width || h != image.Bitmap.Height)) {
    TBitmap scaled;
    ScaleBitmap(image.Bitmap, w, h, scaled);
    image.Bitmap = std::move(scaled);
  }
  return TTagDecision::New;
}

bool ProtectImageTag(const std::string& tagText, const std::string& pageFolder,
                     const std::string& linkTag, const std::string& closeLinkText,
                     const std::string& widthHeightText, std::string& replacement,
                     TRunState& run) {
  replacement = tagText;
  TSavedImage& saved = *run.Saved;
  TImageCandidate candidate;
  auto find = [&](const std::string& path) { return saved.Find(path); };
  switch (JudgeImageTag(tagText, pageFolder, linkTag, find, candidate)) {
    case TTagDecision::Refused:
      return false;
    case TTagDecision::Reused:
      saved.BuildTable(linkTag, closeLinkText, widthHeightText, candidate.Target.SrcDir,
                       replacement);
      run.PageImages.push_back(saved.FoundIndex());
      return true;
    case TTagDecision::New:
      break;
  }

  // The image's old bytes must be safe on disk before anything of it changes.
  try {
    run.Backup->AddEntry(candidate.FileSize, candidate.Target.ImagePath, candidate.FileText());
  } catch (const EFileHandlerError& e) {
    ShowError(e.ErrorCode, e.what());
    return false;
  }
  candidate.FileBytes.clear();
  candidate.FileBytes.shrink_to_fit();

  const int before = saved.LastIndex();
  bool namesWritten = false;
  run.WrittenFolders.insert(candidate.Target.ImageFolder);
  try {
    replacement = SliceImage(candidate.Image, candidate.Kind, candidate.Target, widthHeightText,
                             closeLinkText, Options, *run.Names, saved,
                             [&](const std::string& pieceNames) {
                               run.Backup->AddPieceNames(pieceNames);
                               namesWritten = true;
                             });
  } catch (const EFileHandlerError& e) {
    if (namesWritten || saved.LastIndex() == before) {
      if (saved.LastIndex() != before) run.PageImages.push_back(saved.LastIndex());
      throw;
    }
    // The name list could not be written: no piece exists yet. Forget the
    // image so that no later tag reuses it and its source stays.
    saved.DropNewest();
    replacement = tagText;
    ShowError(e.ErrorCode, e.what());
    return false;
  } catch (...) {
    if (saved.LastIndex() != before) run.PageImages.push_back(saved.LastIndex());
    throw;
  }
  run.PageImages.push_back(saved.LastIndex());
  run.ImagesSliced += 1;
  run.PiecesWritten += static_cast<int64_t>(saved.GetPieceNames().size() / 4);
  return true;
}
