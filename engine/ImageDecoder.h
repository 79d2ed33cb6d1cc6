#pragma once

#include <string_view>

#include "engine/Bitmap.h"
#include "engine/ImageKind.h"

// A decoded source image and what of the source carries over to its pieces.
struct TSourceImage {
  TBitmap Bitmap;
  // The JPEG source had more than one scan; its pieces are then progressive.
  bool Progressive = false;
};

// Decodes the bytes of a whole image file of `kind` into `image`. Returns
// false, without a message, for anything that is not a well-formed single
// image of that kind: malformed or truncated data, an animated GIF, or a
// picture beyond the size limits of IsAcceptableImageSize. Never reads
// outside `fileBytes`; raises nothing but std::bad_alloc.
bool DecodeImage(ImageKind kind, std::string_view fileBytes, TSourceImage& image);
