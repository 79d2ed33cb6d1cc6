#include "engine/ImageDecoder.h"

#include "engine/BmpCodec.h"
#include "engine/GifCodec.h"
#include "engine/JpegCodec.h"
#include "engine/PngCodec.h"
#include "engine/WebpCodec.h"

namespace {

// Counts the image descriptors of a GIF, walking its blocks without decoding.
bool GifHasSeveralImages(std::string_view d) {
  auto byte = [&](size_t i) { return static_cast<uint8_t>(d[i]); };
  if (d.size() < 13 || d.substr(0, 3) != "GIF") return false;
  size_t at = 13;
  if (byte(10) & 0x80) at += 3u * (2u << (byte(10) & 7));
  auto skipSubBlocks = [&]() {
    while (at < d.size() && byte(at) != 0) at += 1 + byte(at);
    ++at;
  };
  int images = 0;
  while (at < d.size()) {
    const uint8_t introducer = byte(at);
    if (introducer == 0x2C) {
      if (++images > 1) return true;
      if (at + 10 > d.size()) return false;
      const uint8_t flags = byte(at + 9);
      at += 10;
      if (flags & 0x80) at += 3u * (2u << (flags & 7));
      ++at;  // LZW minimum code size
      skipSubBlocks();
    } else if (introducer == 0x21) {
      at += 2;
      skipSubBlocks();
    } else {
      return false;
    }
  }
  return false;
}

}  // namespace

bool DecodeImage(ImageKind kind, std::string_view fileBytes, TSourceImage& image,
                 const std::function<void(int32_t rows)>& rowsReady) {
  image = TSourceImage();
  bool ok = false;
  switch (kind) {
    case ImageKind::BMP:
      ok = DecodeBmp(fileBytes, image.Bitmap, &image.Alpha);
      break;
    case ImageKind::GIF:
      ok = DecodeGif(fileBytes, image.Bitmap, &image.Transparent);
      break;
    case ImageKind::JPEG:
      ok = DecodeJpeg(fileBytes, image.Bitmap, image.Progressive, &image.IccProfile, rowsReady);
      break;
    case ImageKind::PNG: {
      TPngImage png;
      ok = DecodePng(fileBytes, png);
      image.Bitmap = std::move(png.Color);
      image.Alpha = std::move(png.Alpha);
      image.Indexed = png.Indexed;
      image.IccName = std::move(png.IccName);
      image.IccProfile = std::move(png.IccProfile);
      image.PngColour = png.Colour;
      break;
    }
    case ImageKind::WebP: {
      TWebpImage webp;
      ok = DecodeWebp(fileBytes, webp);
      image.Bitmap = std::move(webp.Picture.Color);
      image.Alpha = std::move(webp.Picture.Alpha);
      image.Lossless = webp.Lossless;
      image.IccProfile = std::move(webp.Picture.IccProfile);
      break;
    }
    case ImageKind::None:
      break;
  }
  if (!ok) image = TSourceImage();
  return ok;
}

bool IsAnimatedImage(ImageKind kind, std::string_view fileBytes) {
  switch (kind) {
    case ImageKind::GIF:
      return GifHasSeveralImages(fileBytes);
    case ImageKind::PNG:
      return IsAnimatedPng(fileBytes);
    case ImageKind::WebP:
      return IsAnimatedWebp(fileBytes);
    default:
      return false;
  }
}
