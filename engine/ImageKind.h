#pragma once

// The format of a source image; it selects the decoder of the source and the
// encoder of every piece cut from it.
#include <string>

enum class ImageKind { None = 0, BMP = 1, GIF = 2, JPEG = 3, PNG = 4, WebP = 5 };

// "BMP", "GIF", "JPEG", "PNG", "WebP"; "none" for None.
inline std::string KindName(ImageKind kind) {
  switch (kind) {
    case ImageKind::BMP:
      return "BMP";
    case ImageKind::GIF:
      return "GIF";
    case ImageKind::JPEG:
      return "JPEG";
    case ImageKind::PNG:
      return "PNG";
    case ImageKind::WebP:
      return "WebP";
    case ImageKind::None:
      break;
  }
  return "none";
}
