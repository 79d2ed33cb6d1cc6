// The PNG reader on arbitrary bytes. A picture it accepts is consistent, is
// no animation, and is written as a PNG piece (with its alpha, palette and
// profile) that reads back to the same pixels.

#include "engine/ImageDecoder.h"
#include "engine/PngCodec.h"
#include "engine/Scaler.h"
#include "fuzz/FuzzSupport.h"

namespace {

constexpr int64_t kRoundTripPixels = int64_t{1} << 14;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = fuzz::Bytes(data, size);
  TSourceImage image;
  if (!DecodeImage(ImageKind::PNG, bytes, image)) {
    FUZZ_CHECK(image.Bitmap.Width == 0 && image.Bitmap.Pixels.empty() &&
               image.Alpha.Pixels.empty());
    return 0;
  }
  FUZZ_CHECK(!IsAnimatedImage(ImageKind::PNG, bytes));
  const TBitmap& b = image.Bitmap;
  FUZZ_CHECK(IsAcceptableImageSize(b.Width, b.Height));
  FUZZ_CHECK(b.Pixels.size() == static_cast<size_t>(b.Width) * static_cast<size_t>(b.Height) * 3);
  FUZZ_CHECK(image.Alpha.Pixels.empty() || image.Alpha.Pixels.size() == b.Pixels.size());
  if (int64_t{b.Width} * b.Height <= kRoundTripPixels) {
    const TPixelView alpha = image.Alpha.Pixels.empty() ? TPixelView() : ViewOf(image.Alpha);
    const std::string piece =
        EncodePng(ViewOf(b), alpha, image.Indexed, image.IccName, image.IccProfile);
    TSourceImage again;
    FUZZ_CHECK(DecodeImage(ImageKind::PNG, piece, again));
    FUZZ_CHECK(again.Bitmap.Pixels == b.Pixels);
    FUZZ_CHECK(again.Alpha.Pixels == image.Alpha.Pixels);
  }
  return 0;
}
