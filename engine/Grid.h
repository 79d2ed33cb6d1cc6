#pragma once

#include <cstdint>

#include "storage/vlmOption.h"

// a div b, plus one when a mod b is greater than 0. Raises
// Exception("Division by zero") when b is 0.
int32_t DivRoundUp(int32_t a, int32_t b);

// The grid an image of W x H is cut in. Every piece is PieceWidth x
// PieceHeight except the last column, LastWidth() wide, and the last row,
// LastHeight() high. A piece's file may hold more than its piece: Bleed
// pixels of its neighbours' on every side that has one (PieceRect).
struct TGrid {
  int32_t Cols = 0;
  int32_t Rows = 0;
  int32_t PieceWidth = 0;
  int32_t PieceHeight = 0;
  int32_t Bleed = 0;

  bool operator==(const TGrid&) const = default;
};

inline int32_t LastWidth(const TGrid& grid, int32_t w) {
  return w - (grid.Cols - 1) * grid.PieceWidth;
}
inline int32_t LastHeight(const TGrid& grid, int32_t h) {
  return h - (grid.Rows - 1) * grid.PieceHeight;
}

// A browser that enlarges a piece (a screen of two or three device pixels
// to a CSS pixel, or a page that scales the picture up) smooths the pixels
// along its edges from that piece alone, where the whole picture would have
// smoothed them from both sides of the line: sharp edges across piece lines
// then differ. A table's cell shows its piece clipped out of a file that
// reaches this far into the neighbours, so the browser smooths those lines
// from the real pixels beside them. Eight CSS pixels are a whole number of
// device pixels at every ratio in eighths (1.25, 2.625, 2.75, 3), so the
// file's edges fall on device pixels wherever the cell's do.
inline constexpr int32_t kTableBleed = 8;
// A layered picture's layers cannot be clipped: its pieces hold no more than
// themselves.
inline int32_t PieceBleed(TMarkup markup) { return markup == TMarkup::Table ? kTableBleed : 0; }

// Where piece (r, c) of a w x h picture cut in `grid` lies, and the larger
// rectangle its file holds: Bleed pixels more on each side where the picture
// goes on, fewer where it ends sooner.
struct TPieceRect {
  int32_t Left = 0, Top = 0, Width = 0, Height = 0;  // the piece
  int32_t BleedLeft = 0, BleedTop = 0, BleedRight = 0, BleedBottom = 0;

  int32_t FileLeft() const { return Left - BleedLeft; }
  int32_t FileTop() const { return Top - BleedTop; }
  int32_t FileWidth() const { return BleedLeft + Width + BleedRight; }
  int32_t FileHeight() const { return BleedTop + Height + BleedBottom; }
};
TPieceRect PieceRect(const TGrid& grid, int32_t w, int32_t h, int32_t r, int32_t c);
// The pixels of the largest piece file of `grid`: a bound for the memory
// its pieces take.
inline int64_t LargestFilePixels(const TGrid& grid) {
  return int64_t{grid.PieceWidth + 2 * grid.Bleed} * (grid.PieceHeight + 2 * grid.Bleed);
}

// The grid for a w x h image (both at least 1) under the slicing options.
// Pixel mode (SliceByPixels): pieces PixWidth x PixHeight, the last column and
// row take the leftovers. Grid mode: PieHor x PieVer pieces of w div Cols x
// h div Rows, the last column and row take the remainder on top; a grid with
// more columns than w (rows than h) uses w columns (h rows), so no piece is
// empty. Raises Exception("Division by zero") when the active values hold a
// zero and the error of CheckSlicingOptions for a negative one; a run checks
// the options at its start, so neither happens there. Raises Exception for
// an empty image. Its Bleed is 0: the caller knows the markup.
TGrid ComputeGrid(const TOptions& options, int32_t w, int32_t h);

// Refuses slicing options that cannot cut an image: raises Exception naming
// the value, in the options dialog's words, when a value of the active mode
// (PieHor/PieVer in grid mode, PixWidth/PixHeight in pixel mode) is below 1.
// Called before a run starts.
void CheckSlicingOptions(const TOptions& options);
