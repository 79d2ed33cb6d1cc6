#include "engine/PieceWriter.h"

#include "engine/PieceFile.h"
#include "platform/Exception.h"

TPieceWriter::TPieceWriter() = default;
TPieceWriter::~TPieceWriter() = default;

void TPieceWriter::Write(ImageKind kind, const std::string& path, const TPixelView& pixels,
                         bool progressive) {
  switch (kind) {
    case ImageKind::BMP:
      EncodeBmp(pixels, Bmp_);
      WriteNewFile(path, Bmp_);
      return;
    case ImageKind::GIF:
      if (!Gif_) Gif_ = std::make_unique<TGifEncoder>();
      WriteNewFile(path, Gif_->Encode(pixels));
      return;
    case ImageKind::JPEG:
      if (!Jpeg_) Jpeg_ = std::make_unique<TJpegEncoder>();
      WriteNewFile(path, Jpeg_->Encode(pixels, progressive));
      return;
    case ImageKind::PNG:
    case ImageKind::WebP:
      // Written with their alpha and profile by the slicer, not from colour alone.
    case ImageKind::None:
      break;
  }
  throw Exception("Can not write piece file " + path + ": no encoder for this image kind");
}
