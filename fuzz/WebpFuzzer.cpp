// The WebP reader on arbitrary bytes. A picture it accepts is consistent and
// no animation; a lossless one is written as a lossless piece that reads back
// to the same pixels, a lossy one as a lossy piece of the same size.

#include "engine/ImageDecoder.h"
#include "engine/Scaler.h"
#include "engine/WebpCodec.h"
#include "fuzz/FuzzSupport.h"

namespace {

constexpr int64_t kRoundTripPixels = int64_t{1} << 14;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = fuzz::Bytes(data, size);
  TSourceImage image;
  if (!DecodeImage(ImageKind::WebP, bytes, image)) {
    FUZZ_CHECK(image.Bitmap.Width == 0 && image.Bitmap.Pixels.empty() &&
               image.Alpha.Pixels.empty());
    return 0;
  }
  FUZZ_CHECK(!IsAnimatedImage(ImageKind::WebP, bytes));
  const TBitmap& b = image.Bitmap;
  FUZZ_CHECK(IsAcceptableImageSize(b.Width, b.Height));
  FUZZ_CHECK(b.Pixels.size() == static_cast<size_t>(b.Width) * static_cast<size_t>(b.Height) * 3);
  FUZZ_CHECK(image.Alpha.Pixels.empty() || image.Alpha.Pixels.size() == b.Pixels.size());
  if (int64_t{b.Width} * b.Height <= kRoundTripPixels) {
    const TPixelView alpha = image.Alpha.Pixels.empty() ? TPixelView() : ViewOf(image.Alpha);
    const std::string piece = EncodeWebp(ViewOf(b), alpha, image.Lossless, image.IccProfile);
    TSourceImage again;
    FUZZ_CHECK(DecodeImage(ImageKind::WebP, piece, again));
    FUZZ_CHECK(again.Bitmap.Width == b.Width && again.Bitmap.Height == b.Height);
    if (image.Lossless) {
      FUZZ_CHECK(again.Bitmap.Pixels == b.Pixels);
      FUZZ_CHECK(again.Alpha.Pixels == image.Alpha.Pixels);
    }
  }
  return 0;
}
