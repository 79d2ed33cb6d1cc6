#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "engine/Bitmap.h"
#include "engine/GifCodec.h"
#include "engine/ImageKind.h"
#include "engine/PngCodec.h"

// A decoded source image and what of the source carries over to its pieces.
struct TSourceImage {
  TBitmap Bitmap;
  // The JPEG source had more than one scan; its pieces are then progressive.
  bool Progressive = false;
  // PNG, WebP and BMP: the alpha of each pixel in all three bytes of the pixel,
  // scaled and cut like the picture; empty when every pixel is opaque.
  TBitmap Alpha;
  bool Indexed = false;  // a PNG with a palette: pieces with a palette where it fits
  bool Lossless = true;  // a WebP's pieces are lossless only when the source was
  std::string IccName;   // the colour profile, carried into PNG, WebP and JPEG pieces
  // (a JPEG's only when it is for RGB, the colours its pieces are written in)
  std::string IccProfile;
  TPngColour PngColour;  // a PNG's gAMA, cHRM and sRGB chunks, carried into its pieces
  // The GIF source's transparent pixels hold this colour, which no visible
  // pixel has; its pieces make it transparent again. Scaling keeps it, as
  // it picks pixels without mixing them.
  TTransparentKey Transparent;
};

// Decodes the bytes of a whole image file of `kind` into `image`. Returns
// false, without a message, for anything that is not a well-formed single
// image of that kind: malformed or truncated data, an animated GIF, or a
// picture beyond the size limits of IsAcceptableImageSize. Never reads
// outside `fileBytes`; raises nothing but std::bad_alloc.
// `rowsReady`: see DecodeJpeg; only a JPEG tells of its rows as they come.
bool DecodeImage(ImageKind kind, std::string_view fileBytes, TSourceImage& image,
                 const std::function<void(int32_t rows)>& rowsReady = {});

// True when the file is an animation of its kind (a GIF of more than one
// image, a PNG with acTL, an animated WebP): why DecodeImage refused it.
bool IsAnimatedImage(ImageKind kind, std::string_view fileBytes);
