// The JPEG reader on arbitrary bytes. A picture it accepts is written as a
// JPEG piece, baseline or progressive as the source was, and read back with
// the same size and kind.

#include "engine/ImageDecoder.h"
#include "engine/JpegCodec.h"
#include "engine/Scaler.h"
#include "fuzz/FuzzSupport.h"

namespace {

constexpr int64_t kRoundTripPixels = int64_t{1} << 14;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TSourceImage image;
  if (!DecodeImage(ImageKind::JPEG, fuzz::Bytes(data, size), image)) {
    FUZZ_CHECK(image.Bitmap.Width == 0 && image.Bitmap.Pixels.empty());
    return 0;
  }
  const TBitmap& b = image.Bitmap;
  FUZZ_CHECK(IsAcceptableImageSize(b.Width, b.Height));
  FUZZ_CHECK(b.Pixels.size() == static_cast<size_t>(b.Width) * static_cast<size_t>(b.Height) * 3);
  if (int64_t{b.Width} * b.Height <= kRoundTripPixels) {
    TBitmap again;
    bool progressive = !image.Progressive;
    FUZZ_CHECK(DecodeJpeg(EncodeJpeg(b, image.Progressive), again, progressive));
    FUZZ_CHECK(again.Width == b.Width && again.Height == b.Height);
    FUZZ_CHECK(progressive == image.Progressive);
  }
  return 0;
}
