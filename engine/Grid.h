#pragma once

#include <cstdint>

#include "storage/vlmOption.h"

// a div b, plus one when a mod b is greater than 0. Raises
// Exception("Division by zero") when b is 0.
int32_t DivRoundUp(int32_t a, int32_t b);

// The grid an image of W x H is cut in. Every piece is PieceWidth x
// PieceHeight except the last column, LastWidth() wide, and the last row,
// LastHeight() high.
struct TGrid {
  int32_t Cols = 0;
  int32_t Rows = 0;
  int32_t PieceWidth = 0;
  int32_t PieceHeight = 0;
};

inline int32_t LastWidth(const TGrid& grid, int32_t w) {
  return w - (grid.Cols - 1) * grid.PieceWidth;
}
inline int32_t LastHeight(const TGrid& grid, int32_t h) {
  return h - (grid.Rows - 1) * grid.PieceHeight;
}

// The grid for a w x h image (both at least 1) under the slicing options.
// Pixel mode (SliceByPixels): pieces PixWidth x PixHeight, the last column and
// row take the leftovers. Grid mode: PieHor x PieVer pieces of w div Cols x
// h div Rows, the last column and row take the remainder on top; a grid with
// more columns than w (rows than h) uses w columns (h rows), so no piece is
// empty. Raises Exception("Division by zero") when the active values hold a
// zero and the error of CheckSlicingOptions for a negative one; a run checks
// the options at its start, so neither happens there. Raises Exception for
// an empty image.
TGrid ComputeGrid(const TOptions& options, int32_t w, int32_t h);

// Refuses slicing options that cannot cut an image: raises Exception naming
// the value, in the options dialog's words, when a value of the active mode
// (PieHor/PieVer in grid mode, PixWidth/PixHeight in pixel mode) is below 1.
// Called before a run starts.
void CheckSlicingOptions(const TOptions& options);
