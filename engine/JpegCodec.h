#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/Bitmap.h"

// JPEG through libjpeg-turbo. Every libjpeg error is caught at this edge:
// libjpeg never ends the process and no error escapes as anything but the
// results documented here.

// Decodes a whole JPEG file at full size into colour. Greyscale sources become
// grey RGB; CMYK and YCCK sources are converted to RGB (their values taken
// as Adobe-inverted, as such files are written). The picture is turned as its
// Exif orientation says, as browsers show it. `progressive` tells whether
// the file has more than one scan. Returns false for anything truncated or
// corrupt (libjpeg's warnings count as failures too), for more than 500
// scans, and for pictures beyond IsAcceptableImageSize. With `iccProfile`,
// it receives the file's colour profile when that profile is for RGB (the
// colours the pieces are written in), otherwise it is emptied.
// `rowsReady`, when given, hears while decoding how many rows from the top
// hold their final pixels (the size, `progressive` and the profile are set
// by then), so that work on them can start before the rest is decoded;
// never for a picture that its orientation turns. Whether the whole file
// decodes cleanly is known only at the end.
bool DecodeJpeg(std::string_view data, TBitmap& bitmap, bool& progressive,
                std::string* iccProfile = nullptr,
                const std::function<void(int32_t rows)>& rowsReady = {});

// Encodes many pictures one after the other with one libjpeg compressor and
// one output buffer, so that a picture after the first allocates nothing.
// Each picture is encoded exactly as a fresh encoder would encode it. Not
// thread-safe; one object per thread.
class TJpegEncoder {
 public:
  TJpegEncoder();
  ~TJpegEncoder();
  TJpegEncoder(const TJpegEncoder&) = delete;
  TJpegEncoder& operator=(const TJpegEncoder&) = delete;

  // The bytes of a colour JPEG file of `pixels` at quality 90 with the
  // standard tables limited to baseline values; progressive scans when
  // `progressive`, carrying the colour profile `iccProfile` when it is not
  // empty. The bytes stay valid until the next call. Raises
  // Exception with libjpeg's message if the encoder fails (an empty picture,
  // for one); the object can still be used afterwards.
  std::string_view Encode(const TPixelView& pixels, bool progressive,
                          std::string_view iccProfile = {});

 private:
  struct State;
  std::unique_ptr<State> State_;
};

// The same as TJpegEncoder().Encode(ViewOf(bitmap), progressive), as a string.
std::string EncodeJpeg(const TBitmap& bitmap, bool progressive);
