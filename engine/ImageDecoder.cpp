#include "engine/ImageDecoder.h"

#include "engine/BmpCodec.h"

bool DecodeImage(ImageKind kind, std::string_view fileBytes, TSourceImage& image) {
  image = TSourceImage();
  bool ok = false;
  switch (kind) {
    case ImageKind::BMP:
      ok = DecodeBmp(fileBytes, image.Bitmap);
      break;
    default:
      break;
  }
  if (!ok) image = TSourceImage();
  return ok;
}
