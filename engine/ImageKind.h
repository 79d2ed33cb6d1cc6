#pragma once

// The format of a source image; it selects the decoder of the source and the
// encoder of every piece cut from it.
enum class ImageKind { None = 0, BMP = 1, GIF = 2, JPEG = 3 };
