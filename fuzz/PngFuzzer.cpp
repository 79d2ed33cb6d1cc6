// The PNG reader on arbitrary bytes. A picture it accepts is consistent, is
// no animation, and is written as a PNG piece (with its alpha, palette and
// profile) that reads back to the same pixels.

#include "engine/PngCodec.h"
#include "fuzz/DecodedPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TSourceImage image;
  if (!fuzz::DecodeConsistent(ImageKind::PNG, fuzz::Bytes(data, size), image)) return 0;
  const std::string piece = EncodePng(ViewOf(image.Bitmap), fuzz::AlphaOf(image), image.Indexed,
                                      image.IccName, image.IccProfile);
  TSourceImage again;
  FUZZ_CHECK(DecodeImage(ImageKind::PNG, piece, again));
  FUZZ_CHECK(again.Bitmap.Pixels == image.Bitmap.Pixels);
  FUZZ_CHECK(again.Alpha.Pixels == image.Alpha.Pixels);
  return 0;
}
