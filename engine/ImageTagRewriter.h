#pragma once

#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/ImageAddress.h"
#include "engine/ImageDecoder.h"
#include "engine/ImageKind.h"
#include "engine/LeaveReason.h"
#include "engine/Slicer.h"
#include "engine/TagAttributes.h"
#include "engine/TagVerdict.h"
#include "platform/File.h"
#include "storage/vlmOption.h"

class TProtectionRun;
class TPictureLookAhead;
class TScriptNames;

// The value of attribute `name` (upper case, with or without its "=", such as
// "SRC=") in an IMG tag, read as a browser reads it: the name matched whole
// in any letter case, blanks allowed around "=", the first of a repeated
// name. "-1" when absent or written without a value. Quotes are dropped; an
// unquoted value ends at the first blank or ">".
std::string GetAttributeValue(std::string_view tagText, std::string_view name);
// The same from the tag's attributes as ReadTagAttributes gives them.
std::string GetAttributeValue(const std::vector<TTagAttribute>& attributes, std::string_view name);

// What a run knows of the images it has cut so far: each image's own size,
// and the sizes it was cut at. An image shown at two sizes is cut once per
// size.
class TCutImages {
 public:
  // A cut is a picture shown at width x height, in pieces that hold `bleed`
  // pixels of their neighbours (TGrid).
  void Add(const std::string& path, int32_t ownWidth, int32_t ownHeight, int32_t width,
           int32_t height, int32_t bleed);
  // The image's own size, when it was cut before or read by the judging.
  bool OwnSize(const std::string& path, int32_t& width, int32_t& height) const;
  bool HasCut(const std::string& path, int32_t width, int32_t height, int32_t bleed) const;
  // Takes back a cut whose pieces were never written.
  void Forget(const std::string& path, int32_t width, int32_t height, int32_t bleed);
  // How many different images were cut.
  size_t Images() const { return OwnSizes_.size(); }

  // What the judging learned of the files the tags name, so that a page
  // showing one file thousands of times looks at it once: the kind of each
  // file, and the own size of each picture decoded. The run changes no file
  // a tag names before it ends (it writes only pieces of new names), so
  // what was learned holds for the whole run. Memos, kept by a judging that
  // holds this as const.
  platform::FileKind KindOfFile(const std::string& path) const;
  void NoteRead(const std::string& path, int32_t ownWidth, int32_t ownHeight) const {
    Read_.emplace(path, std::make_pair(ownWidth, ownHeight));
  }

 private:
  std::unordered_map<std::string, std::pair<int32_t, int32_t>> OwnSizes_;
  std::set<std::tuple<std::string, int32_t, int32_t, int32_t>> Cuts_;
  mutable std::unordered_map<std::string, platform::FileKind> Kinds_;
  mutable std::unordered_map<std::string, std::pair<int32_t, int32_t>> Read_;
};

// An image a tag shows that qualifies for slicing: decoded and scaled to the
// size the tag shows it at, with the bytes of its file for the backup.
struct TImageCandidate {
  TSliceTarget Target;
  ImageKind Kind = ImageKind::None;
  TSourceImage Image;
  // The whole file; memory that is not cleared before the file is read in.
  TPixelBytes FileBytes;
  int32_t FileSize = 0;
  // The size the tag shows it at (its own size is the target's).
  int32_t Width = 0, Height = 0;
  // Why the tag is left alone, when it is; Detail adds what it was (the
  // extension, the size, the path), for people.
  TLeaveReason Reason = TLeaveReason::None;
  std::string Detail;

  // Pieces encoded while it was decoded ahead, when it was; dropped when
  // the picture is scaled.
  TEarlyPieces Early;

  std::string_view FileText() const {
    return {reinterpret_cast<const char*>(FileBytes.data()), FileBytes.size()};
  }
};

enum class TTagDecision { Refused, Reused, New };

// Judges one IMG tag without changing anything: Refused (the page keeps the
// tag; `candidate.Reason` says why), Reused (`cut` holds the image at the
// size this tag shows it at) or New (`candidate` is filled; `scale` false
// leaves the image at its own size, for a look without slicing). An image
// cut before is judged by the rules of a new one when this tag shows it at
// another size. `options` give the kinds to protect, the minimum size and
// the site root. `candidate.Target` and its sizes are set for Reused and
// New. Raises EConvertError for a WIDTH or HEIGHT that does not begin with
// a number (browsers ignore it).
// `ahead`, when given, may hold the picture decoded already. `scripts`, when
// given, tells of the page's scripts: a picture they swap by its NAME or ID
// is refused.
TTagDecision JudgeImageTag(const std::string& tagText, const TImageAddress& base,
                           const std::string& linkTag, const TOptions& options,
                           const TCutImages& cut, TImageCandidate& candidate, bool scale = true,
                           TPictureLookAhead* ahead = nullptr, TScriptNames* scripts = nullptr);

// A picture that an IMG tag of a page names, of a kind `options` protect.
struct TPictureGuess {
  std::string Path;
  ImageKind Kind = ImageKind::None;
  // The first tag naming it gives neither WIDTH nor HEIGHT: it is likely
  // cut at its own size.
  bool OwnSize = false;
};
// The pictures the IMG tags of `page` (its SRC values resolving against
// `base`, see PageBaseAddress) name, in page
// order, each once: a guess at what judging its tags will decode, for
// decoding ahead. Reads no file.
std::vector<TPictureGuess> PicturesNamedBy(std::string_view page, const TImageAddress& base,
                                           const TOptions& options);

// The verdict on `tagText` judged `decision`: its SRC, and the candidate's
// path, reason and detail.
TTagVerdict TagVerdictOf(const std::string& tagText, TTagDecision decision,
                         const TImageCandidate& candidate);

// Decides one IMG tag of a page. True with `replacement` set to the table of
// the image's pieces when it is protected; false when the page keeps the tag.
// Refusals are silent; a file error of the image's backup goes to the run's
// error sink and the tag is kept. Raises EConvertError for a WIDTH or
// HEIGHT that does not begin with a number, and Exception when a piece cannot be
// written. A judging-only run records the verdict and counts an image it
// would slice as cut, writing nothing; the replacement is then the tag
// itself.
// `markup` is the one the tag's replacement takes; `scripts` tell of the
// page's scripts.
bool ProtectImageTag(const std::string& tagText, const TImageAddress& base,
                     const std::string& linkTag, const std::string& closeLinkText,
                     const std::string& widthHeightText, TMarkup markup, TScriptNames& scripts,
                     std::string& replacement, TProtectionRun& run);
