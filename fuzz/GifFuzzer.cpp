// The GIF reader on arbitrary bytes. A picture it accepts is written as a
// GIF piece and read back with the same size. When it has no more colours
// than a GIF palette holds, the palette is exact and each pixel comes back
// within its own 5-bit colour cell (the colour lookup works on those cells),
// and exactly when no two of its colours share a cell.

#include <unordered_set>

#include "engine/GifCodec.h"
#include "engine/ImageDecoder.h"
#include "engine/Scaler.h"
#include "fuzz/FuzzSupport.h"

namespace {

constexpr int64_t kRoundTripPixels = int64_t{1} << 14;

uint32_t Colour(const uint8_t* p) { return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2]; }
uint32_t Cell(const uint8_t* p) {
  return uint32_t{p[0]} >> 3 << 10 | uint32_t{p[1]} >> 3 << 5 | p[2] >> 3;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TSourceImage image;
  if (!DecodeImage(ImageKind::GIF, fuzz::Bytes(data, size), image)) {
    FUZZ_CHECK(image.Bitmap.Width == 0 && image.Bitmap.Pixels.empty());
    return 0;
  }
  const TBitmap& b = image.Bitmap;
  FUZZ_CHECK(IsAcceptableImageSize(b.Width, b.Height));
  FUZZ_CHECK(b.Pixels.size() == static_cast<size_t>(b.Width) * static_cast<size_t>(b.Height) * 3);
  if (int64_t{b.Width} * b.Height <= kRoundTripPixels) {
    TBitmap again;
    FUZZ_CHECK(DecodeGif(EncodeGif(b), again));
    FUZZ_CHECK(again.Width == b.Width && again.Height == b.Height);
    std::unordered_set<uint32_t> colours, cells;
    for (size_t i = 0; i < b.Pixels.size() && colours.size() <= 256; i += 3) {
      colours.insert(Colour(&b.Pixels[i]));
      cells.insert(Cell(&b.Pixels[i]));
    }
    if (colours.size() <= 256) {
      for (size_t i = 0; i < b.Pixels.size(); i += 3) {
        FUZZ_CHECK(Cell(&again.Pixels[i]) == Cell(&b.Pixels[i]));
      }
      if (cells.size() == colours.size()) FUZZ_CHECK(again.Pixels == b.Pixels);
    }
  }
  return 0;
}
