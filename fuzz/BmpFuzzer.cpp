// The BMP reader on arbitrary bytes. Whatever it accepts must be a picture
// within the size limits that the BMP writer and reader carry unchanged.

#include "engine/BmpCodec.h"
#include "engine/ImageDecoder.h"
#include "engine/Scaler.h"
#include "fuzz/FuzzSupport.h"

namespace {

// Pictures up to this many pixels are written and read back as well.
constexpr int64_t kRoundTripPixels = int64_t{1} << 16;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TSourceImage image;
  if (!DecodeImage(ImageKind::BMP, fuzz::Bytes(data, size), image)) {
    FUZZ_CHECK(image.Bitmap.Width == 0 && image.Bitmap.Pixels.empty());
    return 0;
  }
  const TBitmap& b = image.Bitmap;
  FUZZ_CHECK(IsAcceptableImageSize(b.Width, b.Height));
  FUZZ_CHECK(b.Pixels.size() == static_cast<size_t>(b.Width) * static_cast<size_t>(b.Height) * 3);
  FUZZ_CHECK(!image.Progressive);
  if (int64_t{b.Width} * b.Height <= kRoundTripPixels) {
    TBitmap again;
    FUZZ_CHECK(DecodeBmp(EncodeBmp(b), again));
    FUZZ_CHECK(again.Width == b.Width && again.Height == b.Height);
    FUZZ_CHECK(again.Pixels == b.Pixels);
  }
  return 0;
}
