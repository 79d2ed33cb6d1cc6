// The WebP reader on arbitrary bytes. A picture it accepts is consistent and
// no animation; a lossless one is written as a lossless piece that reads back
// to the same pixels, a lossy one as a lossy piece of the same size.

#include "engine/WebpCodec.h"
#include "fuzz/DecodedPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TSourceImage image;
  if (!fuzz::DecodeConsistent(ImageKind::WebP, fuzz::Bytes(data, size), image)) return 0;
  const TBitmap& b = image.Bitmap;
  const std::string piece =
      EncodeWebp(ViewOf(b), fuzz::AlphaOf(image), image.Lossless, image.IccProfile);
  TSourceImage again;
  FUZZ_CHECK(DecodeImage(ImageKind::WebP, piece, again));
  FUZZ_CHECK(again.Bitmap.Width == b.Width && again.Bitmap.Height == b.Height);
  if (image.Lossless) {
    FUZZ_CHECK(again.Bitmap.Pixels == b.Pixels);
    FUZZ_CHECK(again.Alpha.Pixels == image.Alpha.Pixels);
  }
  return 0;
}
