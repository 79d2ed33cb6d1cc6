#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "engine/ImageAddress.h"
#include "engine/ImageDecoder.h"
#include "engine/ImageKind.h"
#include "engine/LeaveReason.h"
#include "engine/Slicer.h"

struct TRunState;

// The value of attribute `name` (upper case with its "=", such as "SRC=") in
// an IMG tag, searched from the tag's sixth character; "-1" when absent.
// Quotes are dropped; an unquoted value ends at the first blank or ">".
std::string GetAttributeValue(std::string_view tagText, std::string_view name);

// An image a tag shows that qualifies for slicing: decoded and scaled to the
// size the tag shows it at, with the bytes of its file for the backup.
struct TImageCandidate {
  TSliceTarget Target;
  ImageKind Kind = ImageKind::None;
  TSourceImage Image;
  // The whole file; memory that is not cleared before the file is read in.
  TPixelBytes FileBytes;
  int32_t FileSize = 0;
  // Why the tag is left alone, when it is; Detail adds what it was (the
  // extension, the size, the path), for people.
  TLeaveReason Reason = TLeaveReason::None;
  std::string Detail;

  std::string_view FileText() const {
    return {reinterpret_cast<const char*>(FileBytes.data()), FileBytes.size()};
  }
};

enum class TTagDecision { Refused, Reused, New };

// Answers whether the run has sliced the image at a full path already.
using TSlicedLookup = std::function<bool(const std::string& imagePath)>;

// Judges one IMG tag without changing anything: Refused (the page keeps the
// tag; `candidate.Reason` says why), Reused (`alreadySliced` knows the
// image) or New (`candidate` is filled; `scale` false leaves the image at its
// own size, for a look without slicing). `candidate.Target` is set for Reused and New. Raises
// EConvertError for a WIDTH or HEIGHT that is not a whole number.
TTagDecision JudgeImageTag(const std::string& tagText, const std::string& pageFolder,
                           const std::string& linkTag, const TSlicedLookup& alreadySliced,
                           TImageCandidate& candidate, bool scale = true);

// Decides one IMG tag of a page. True with `replacement` set to the table of
// the image's pieces when it is protected; false when the page keeps the tag.
// Refusals are silent. Raises EConvertError for a WIDTH or HEIGHT that is not
// a whole number, and Exception when a piece cannot be written.
bool ProtectImageTag(const std::string& tagText, const std::string& pageFolder,
                     const std::string& linkTag, const std::string& closeLinkText,
                     const std::string& widthHeightText, std::string& replacement,
                     TRunState& run);
