#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/Bitmap.h"
#include "engine/OctreeQuantizer.h"

// GIF through giflib.

// The colour transparent pixels, and the parts of the screen no frame
// covers, take in the decoded picture: white, the usual page background.
inline constexpr uint8_t kGifBackground[3] = {255, 255, 255};

// A colour that stands for transparent pixels in a true-colour picture.
struct TTransparentKey {
  bool Used = false;
  uint8_t Rgb[3] = {0, 0, 0};
};

// Decodes a GIF file that holds exactly one image into a picture the size of
// its logical screen, the frame at its offset. Returns false for animations
// (more than one image), a frame outside the screen, a colour index outside
// the palette in use, a missing palette, truncated or malformed data, and
// screens beyond IsAcceptableImageSize. A file that ends right after its one
// image without the trailer byte is accepted.
// With `key`, pixels the picture leaves transparent (a transparent colour, or
// screen no frame covers) take instead a colour no visible pixel has, and
// `key` says which.
bool DecodeGif(std::string_view data, TBitmap& bitmap, TTransparentKey* key = nullptr);

// Encodes many pictures one after the other, keeping the colour reduction's
// tree, its mapping cache and the buffers from one to the next. Each picture
// is encoded exactly as a fresh encoder would encode it. Not thread-safe.
class TGifEncoder {
 public:
  // The bytes of a single-frame GIF of `pixels`. A picture of at most 256
  // colours keeps them exactly; only one of more is reduced to its own
  // adaptive palette (QuantizeBitmap). Pixels of the colour of a used `key`
  // become transparent. The palette is padded with black to the power of two
  // the format needs. The bytes stay valid until the next call. Raises
  // Exception with giflib's message if the encoder fails.
  std::string_view Encode(const TPixelView& pixels, const TTransparentKey& key = {});

 private:
  TOctreeQuantizer Octree_;
  TPaletteMapper Mapper_;
  std::vector<TPaletteColor> Palette_;
  TPixelBytes Indices_;
  std::unordered_map<uint32_t, uint8_t> Exact_;
  std::string Out_;
};

// The same as TGifEncoder().Encode(ViewOf(bitmap)), as a string.
std::string EncodeGif(const TBitmap& bitmap);
