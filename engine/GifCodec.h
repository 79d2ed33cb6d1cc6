#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/Bitmap.h"
#include "engine/OctreeQuantizer.h"

// GIF through giflib.

// The colour transparent pixels, and the parts of the screen no frame
// covers, take in the decoded picture: white, the usual page background.
inline constexpr uint8_t kGifBackground[3] = {255, 255, 255};

// Decodes a GIF file that holds exactly one image into a picture the size of
// its logical screen, the frame at its offset. Returns false for animations
// (more than one image), a frame outside the screen, a colour index outside
// the palette in use, a missing palette, truncated or malformed data, and
// screens beyond IsAcceptableImageSize. A file that ends right after its one
// image without the trailer byte is accepted.
bool DecodeGif(std::string_view data, TBitmap& bitmap);

// Encodes many pictures one after the other, keeping the colour reduction's
// tree, its mapping cache and the buffers from one to the next. Each picture
// is encoded exactly as a fresh encoder would encode it. Not thread-safe.
class TGifEncoder {
 public:
  // The bytes of a single-frame GIF of `pixels`, reduced to its own adaptive
  // palette of at most 256 colours (QuantizeBitmap), without transparency.
  // The palette is padded with black to the power of two the format needs.
  // The bytes stay valid until the next call. Raises Exception with
  // giflib's message if the encoder fails.
  std::string_view Encode(const TPixelView& pixels);

 private:
  TOctreeQuantizer Octree_;
  TPaletteMapper Mapper_;
  std::vector<TPaletteColor> Palette_;
  TPixelBytes Indices_;
  std::string Out_;
};

// The same as TGifEncoder().Encode(ViewOf(bitmap)), as a string.
std::string EncodeGif(const TBitmap& bitmap);
