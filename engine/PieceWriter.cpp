#include "engine/PieceWriter.h"

#include "engine/PieceFile.h"
#include "platform/Exception.h"

TPieceWriter::TPieceWriter() = default;
TPieceWriter::~TPieceWriter() = default;

std::string_view TPieceWriter::Write(ImageKind kind, const std::string& path,
                                     const TPixelView& pixels, const TSourceImage& source) {
  std::string_view bytes;
  switch (kind) {
    case ImageKind::BMP:
      EncodeBmp(pixels, Bmp_);
      bytes = Bmp_;
      break;
    case ImageKind::GIF:
      if (!Gif_) Gif_ = std::make_unique<TGifEncoder>();
      bytes = Gif_->Encode(pixels, source.Transparent);
      break;
    case ImageKind::JPEG:
      if (!Jpeg_) Jpeg_ = std::make_unique<TJpegEncoder>();
      bytes = Jpeg_->Encode(pixels, source.Progressive, source.IccProfile);
      break;
    case ImageKind::PNG:
    case ImageKind::WebP:
      // Written with their alpha and profile by the slicer, not from colour alone.
    case ImageKind::None:
      throw Exception("Can not write piece file " + path + ": no encoder for this image kind");
  }
  WriteNewFile(path, bytes);
  return bytes;
}
