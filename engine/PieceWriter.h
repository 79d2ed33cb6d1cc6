#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "engine/Bitmap.h"
#include "engine/BmpCodec.h"
#include "engine/GifCodec.h"
#include "engine/ImageDecoder.h"
#include "engine/ImageKind.h"
#include "engine/JpegCodec.h"

// Writes the pieces of a picture one after the other, each straight from its
// rectangle of the picture, keeping the encoders and their buffers from one
// piece to the next. A piece file holds exactly the bytes SavePiece writes
// for a copy of the same rectangle. Not thread-safe.
class TPieceWriter {
 public:
  TPieceWriter();
  ~TPieceWriter();
  TPieceWriter(const TPieceWriter&) = delete;
  TPieceWriter& operator=(const TPieceWriter&) = delete;

  // Writes `pixels` as a new file at `path` in the format of `kind` (BMP:
  // 24-bit uncompressed; GIF: one frame, its exact colours when at most 256,
  // transparency kept; JPEG: colour, quality 90, baseline tables). Never
  // overwrites an existing file. Raises Exception on any failure, removing a
  // half-written file. Returns the bytes written, valid until the next call.
  // `source` gives what of the source carries over: a JPEG's progressive
  // scans and colour profile, a GIF's transparent colour.
  std::string_view Write(ImageKind kind, const std::string& path, const TPixelView& pixels,
                         const TSourceImage& source);
  // The same for a source that carries nothing over but its progressive scans.
  std::string_view Write(ImageKind kind, const std::string& path, const TPixelView& pixels,
                         bool progressive) {
    TSourceImage source;
    source.Progressive = progressive;
    return Write(kind, path, pixels, source);
  }

  // The bytes of the piece `pixels` (with its `alpha`, used by PNG and
  // WebP; empty for none) in the format of `kind`, without writing them:
  // what Write puts into the file. Valid until the next call on this writer.
  // Raises Exception for a kind without an encoder. Touches no file, so
  // writers on several threads may encode at once, one writer each.
  std::string_view Encode(ImageKind kind, const TPixelView& pixels, const TPixelView& alpha,
                          const TSourceImage& source);

 private:
  // Made on first use: a run of GIF pieces never needs a JPEG compressor.
  std::unique_ptr<TJpegEncoder> Jpeg_;
  std::unique_ptr<TGifEncoder> Gif_;
  std::string Bmp_;
  std::string Other_;  // PNG and WebP bytes
};
