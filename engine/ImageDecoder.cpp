#include "engine/ImageDecoder.h"

#include "engine/BmpCodec.h"
#include "engine/GifCodec.h"
#include "engine/JpegCodec.h"

bool DecodeImage(ImageKind kind, std::string_view fileBytes, TSourceImage& image) {
  image = TSourceImage();
  bool ok = false;
  switch (kind) {
    case ImageKind::BMP:
      ok = DecodeBmp(fileBytes, image.Bitmap);
      break;
    case ImageKind::GIF:
      ok = DecodeGif(fileBytes, image.Bitmap);
      break;
    case ImageKind::JPEG:
      ok = DecodeJpeg(fileBytes, image.Bitmap, image.Progressive);
      break;
    case ImageKind::None:
      break;
  }
  if (!ok) image = TSourceImage();
  return ok;
}
