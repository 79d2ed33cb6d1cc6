#include "engine/PieceWriter.h"

#include "engine/PieceFile.h"
#include "engine/PngCodec.h"
#include "engine/WebpCodec.h"
#include "platform/Exception.h"

TPieceWriter::TPieceWriter() = default;
TPieceWriter::~TPieceWriter() = default;

std::string_view TPieceWriter::Encode(ImageKind kind, const TPixelView& pixels,
                                      const TPixelView& alpha, const TSourceImage& source) {
  switch (kind) {
    case ImageKind::BMP:
      EncodeBmp(pixels, alpha, Bmp_);
      return Bmp_;
    case ImageKind::GIF:
      if (!Gif_) Gif_ = std::make_unique<TGifEncoder>();
      return Gif_->Encode(pixels, source.Transparent);
    case ImageKind::JPEG:
      if (!Jpeg_) Jpeg_ = std::make_unique<TJpegEncoder>();
      return Jpeg_->Encode(pixels, source.Progressive, source.IccProfile);
    case ImageKind::PNG:
      Other_ = EncodePng(pixels, alpha, source.Indexed, source.IccName, source.IccProfile,
                         source.PngColour);
      return Other_;
    case ImageKind::WebP:
      Other_ = EncodeWebp(pixels, alpha, source.Lossless, source.IccProfile);
      return Other_;
    case ImageKind::None:
      break;
  }
  throw Exception("no encoder for this image kind");
}

std::string_view TPieceWriter::Write(ImageKind kind, const std::string& path,
                                     const TPixelView& pixels, const TSourceImage& source) {
  // PNG and WebP pieces carry their alpha: the slicer encodes those itself.
  if (kind == ImageKind::PNG || kind == ImageKind::WebP || kind == ImageKind::None) {
    throw Exception("Can not write piece file " + path + ": no encoder for this image kind");
  }
  const std::string_view bytes = Encode(kind, pixels, TPixelView(), source);
  WriteNewFile(path, bytes);
  return bytes;
}
