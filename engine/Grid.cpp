#include "engine/Grid.h"

#include <algorithm>
#include <string>

#include "platform/Exception.h"

int32_t DivRoundUp(int32_t a, int32_t b) {
  if (b == 0) throw Exception("Division by zero");
  return a / b + (a % b > 0 ? 1 : 0);
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

void RequirePositive(int32_t value, const char* name, const char* meaning) {
  if (value < 1) {
    throw Exception(std::string("The option ") + name + " (" + meaning + ") is " +
                    std::to_string(value) + "; it must be at least 1. Change it in the options.");
  }
}

}  // namespace

void CheckSlicingOptions(const TOptions& options) {
  if (options.SliceByPixels) {
    RequirePositive(options.PixWidth, "PixWidth", "width of a piece in pixels");
    RequirePositive(options.PixHeight, "PixHeight", "height of a piece in pixels");
  } else {
    RequirePositive(options.PieHor, "PieHor", "number of pieces across");
    RequirePositive(options.PieVer, "PieVer", "number of pieces down");
  }
}
