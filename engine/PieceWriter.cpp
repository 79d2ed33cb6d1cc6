#include "engine/PieceWriter.h"

#include "engine/PieceFile.h"
#include "platform/Exception.h"

TPieceWriter::TPieceWriter() = default;
TPieceWriter::~TPieceWriter() = default;

void TPieceWriter::Write(ImageKind kind, const std::string& path, const TPixelView& pixels,
                         const TSourceImage& source) {
  switch (kind) {
    case ImageKind::BMP:
      EncodeBmp(pixels, Bmp_);
      WriteNewFile(path, Bmp_);
      return;
    case ImageKind::GIF:
      if (!Gif_) Gif_ = std::make_unique<TGifEncoder>();
      WriteNewFile(path, Gif_->Encode(pixels, source.Transparent));
      return;
    case ImageKind::JPEG:
      if (!Jpeg_) Jpeg_ = std::make_unique<TJpegEncoder>();
      WriteNewFile(path, Jpeg_->Encode(pixels, source.Progressive, source.IccProfile));
      return;
    case ImageKind::PNG:
    case ImageKind::WebP:
      // Written with their alpha and profile by the slicer, not from colour alone.
    case ImageKind::None:
      break;
  }
  throw Exception("Can not write piece file " + path + ": no encoder for this image kind");
}
