#include "engine/Grid.h"

#include <algorithm>
#include <string>

#include "platform/Exception.h"

int32_t DivRoundUp(int32_t a, int32_t b) {
  if (b == 0) throw Exception("Division by zero");
  return a / b + (a % b > 0 ? 1 : 0);
}

TPieceRect PieceRect(const TGrid& grid, int32_t w, int32_t h, int32_t r, int32_t c) {
  TPieceRect rect;
  rect.Left = c * grid.PieceWidth;
  rect.Top = r * grid.PieceHeight;
  rect.Width = c == grid.Cols - 1 ? LastWidth(grid, w) : grid.PieceWidth;
  rect.Height = r == grid.Rows - 1 ? LastHeight(grid, h) : grid.PieceHeight;
  rect.BleedLeft = std::min(grid.Bleed, rect.Left);
  rect.BleedTop = std::min(grid.Bleed, rect.Top);
  rect.BleedRight = std::min(grid.Bleed, w - rect.Left - rect.Width);
  rect.BleedBottom = std::min(grid.Bleed, h - rect.Top - rect.Height);
  return rect;
}

TGrid ComputeGrid(const TOptions& options, int32_t w, int32_t h) {
  TGrid grid;
  bool pixels = options.SliceByPixels != 0;
  if ((pixels && (options.PixWidth == 0 || options.PixHeight == 0)) ||
      (!pixels && (options.PieHor == 0 || options.PieVer == 0))) {
    throw Exception("Division by zero");
  }
  // A negative value would give empty or negative pieces: refuse it the way
  // the start of a run does.
  CheckSlicingOptions(options);
  if (w < 1 || h < 1) {
    throw Exception("Can not cut an image of " + std::to_string(w) + " x " + std::to_string(h) +
                    " pixels");
  }
  if (pixels) {
    grid.PieceWidth = options.PixWidth;
    grid.PieceHeight = options.PixHeight;
    grid.Cols = DivRoundUp(w, grid.PieceWidth);
    grid.Rows = DivRoundUp(h, grid.PieceHeight);
  } else {
    grid.Cols = std::min(options.PieHor, w);
    grid.Rows = std::min(options.PieVer, h);
    grid.PieceWidth = w / grid.Cols;
    grid.PieceHeight = h / grid.Rows;
  }
  return grid;
}

namespace {

// Names the bad value in the words of the options dialog's Slicing Mode:
// "Cut images into 3 x 0 pieces".
void RequirePositive(int32_t value, int32_t across, int32_t down, const char* unit,
                     const char* meaning) {
  if (value < 1) {
    throw Exception("Slicing Mode \"Cut images into " + std::to_string(across) + " x " +
                    std::to_string(down) + " " + unit + "\": the " + meaning + " is " +
                    std::to_string(value) + "; it must be at least 1. Change it in the options.");
  }
}

}  // namespace

void CheckSlicingOptions(const TOptions& options) {
  if (options.SliceByPixels) {
    const int32_t w = options.PixWidth, h = options.PixHeight;
    RequirePositive(w, w, h, "pixels", "width of a piece");
    RequirePositive(h, w, h, "pixels", "height of a piece");
  } else {
    const int32_t across = options.PieHor, down = options.PieVer;
    RequirePositive(across, across, down, "pieces", "number of pieces across");
    RequirePositive(down, across, down, "pieces", "number of pieces down");
  }
}
