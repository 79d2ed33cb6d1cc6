#pragma once

#include <string_view>

#include "engine/Bitmap.h"

// Browsers show a JPEG turned and mirrored as its Exif orientation says (as
// cameras and phones record it), so the pieces must be cut from the picture
// as shown, not as stored.

// The orientation (1 to 8) recorded in the body of an APP1 "Exif" segment,
// or 1 when there is none or the data is malformed. Never reads outside
// `app1`.
int ReadExifOrientation(std::string_view app1);

// Turns and mirrors `bitmap` from its stored form into the form orientation
// `orientation` shows: 2 mirrors left-right, 3 turns half round, 4 mirrors
// top-bottom, 5 transposes, 6 turns a quarter clockwise, 7 transverses, 8
// turns a quarter anticlockwise. Orientations 5 to 8 swap width and height;
// 1 and unknown values leave the bitmap as it is.
void ApplyOrientation(TBitmap& bitmap, int orientation);
