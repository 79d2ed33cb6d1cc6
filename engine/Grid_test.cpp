#include "engine/Grid.h"

#include <gtest/gtest.h>

#include "platform/Exception.h"

namespace {

TOptions GridMode(int32_t hor, int32_t ver) {
  TOptions o;
  o.SliceByPixels = 0;
  o.PieHor = hor;
  o.PieVer = ver;
  return o;
}

TOptions PixelMode(int32_t w, int32_t h) {
  TOptions o;
  o.SliceByPixels = 1;
  o.PixWidth = w;
  o.PixHeight = h;
  return o;
}

TEST(Grid, DivRoundUpAddsOneOnlyForAPositiveRemainder) {
  EXPECT_EQ(DivRoundUp(100, 30), 4);
  EXPECT_EQ(DivRoundUp(90, 30), 3);
  EXPECT_EQ(DivRoundUp(1, 40), 1);
  EXPECT_EQ(DivRoundUp(0, 7), 0);
  EXPECT_EQ(DivRoundUp(-7, 2), -3);  // truncating division, remainder -1
  try {
    DivRoundUp(5, 0);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Division by zero");
  }
}

TEST(Grid, GridModeGivesTheRemainderToTheLastColumnAndRow) {
  TGrid g = ComputeGrid(GridMode(3, 2), 100, 50);
  EXPECT_EQ(g.Cols, 3);
  EXPECT_EQ(g.Rows, 2);
  EXPECT_EQ(g.PieceWidth, 33);
  EXPECT_EQ(g.PieceHeight, 25);
  EXPECT_EQ(LastWidth(g, 100), 34);
  EXPECT_EQ(LastHeight(g, 50), 25);

  g = ComputeGrid(GridMode(1, 1), 7, 9);
  EXPECT_EQ(g.Cols * g.Rows, 1);
  EXPECT_EQ(LastWidth(g, 7), 7);
  EXPECT_EQ(LastHeight(g, 9), 9);
}

TEST(Grid, GridModeNeverMakesEmptyPieces) {
  // 10 columns of a 4-pixel-wide image would be 0 wide: 4 columns of 1.
  TGrid g = ComputeGrid(GridMode(10, 10), 4, 25);
  EXPECT_EQ(g.Cols, 4);
  EXPECT_EQ(g.PieceWidth, 1);
  EXPECT_EQ(LastWidth(g, 4), 1);
  EXPECT_EQ(g.Rows, 10);
  EXPECT_EQ(g.PieceHeight, 2);
  EXPECT_EQ(LastHeight(g, 25), 7);
}

TEST(Grid, PixelModeGivesTheLeftoverToTheLastColumnAndRow) {
  TGrid g = ComputeGrid(PixelMode(30, 40), 100, 50);
  EXPECT_EQ(g.Cols, 4);
  EXPECT_EQ(g.PieceWidth, 30);
  EXPECT_EQ(LastWidth(g, 100), 10);
  EXPECT_EQ(g.Rows, 2);
  EXPECT_EQ(LastHeight(g, 50), 10);

  g = ComputeGrid(PixelMode(30, 30), 90, 30);
  EXPECT_EQ(g.Cols, 3);
  EXPECT_EQ(LastWidth(g, 90), 30);
  EXPECT_EQ(g.Rows, 1);

  // Pieces larger than the image: one piece, the whole image.
  g = ComputeGrid(PixelMode(500, 500), 100, 50);
  EXPECT_EQ(g.Cols, 1);
  EXPECT_EQ(g.Rows, 1);
  EXPECT_EQ(LastWidth(g, 100), 100);
  EXPECT_EQ(LastHeight(g, 50), 50);
}

template <typename F>
std::string message_of(F f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.what();
  }
  return "";
}

TEST(Grid, ZeroAndNegativeValuesOfTheActiveModeAreRefused) {
  auto message = [](const TOptions& o) -> std::string {
    try {
      ComputeGrid(o, 100, 100);
    } catch (const Exception& e) {
      return e.what();
    }
    return "";
  };
  EXPECT_EQ(message(GridMode(0, 2)), "Division by zero");
  EXPECT_EQ(message(GridMode(2, 0)), "Division by zero");
  EXPECT_EQ(message(PixelMode(0, 5)), "Division by zero");
  EXPECT_NE(message(GridMode(-2, 2)).find("pieces across is -2"), std::string::npos);
  EXPECT_NE(message(PixelMode(5, -1)).find("height of a piece is -1"), std::string::npos);
  // An empty image is never cut (it would divide by zero columns).
  EXPECT_NE(message_of([] { ComputeGrid(GridMode(2, 2), 0, 5); }).find("0 x 5"), std::string::npos);
  // The inactive mode's values do not matter.
  TOptions o = GridMode(2, 2);
  o.PixWidth = 0;
  EXPECT_EQ(message(o), "");
}

TEST(Grid, CheckSlicingOptionsNamesTheFirstBadOptionOfTheActiveMode) {
  auto message = [](const TOptions& o) -> std::string {
    try {
      CheckSlicingOptions(o);
    } catch (const Exception& e) {
      return e.what();
    }
    return "";
  };
  EXPECT_EQ(message(GridMode(1, 1)), "");
  EXPECT_EQ(message(PixelMode(1, 1)), "");
  // In the words of the options dialog.
  const std::pair<TOptions, std::string> bad[] = {
      {GridMode(0, 1), "Slicing Mode \"Cut images into 0 x 1 pieces\": the number of pieces "
                       "across is 0; it must be at least 1. Change it in the options."},
      {GridMode(3, -4), "Slicing Mode \"Cut images into 3 x -4 pieces\": the number of pieces "
                        "down is -4; it must be at least 1. Change it in the options."},
      {PixelMode(0, 1), "Slicing Mode \"Cut images into 0 x 1 pixels\": the width of a piece is "
                        "0; it must be at least 1. Change it in the options."},
      {PixelMode(1, 0), "Slicing Mode \"Cut images into 1 x 0 pixels\": the height of a piece is "
                        "0; it must be at least 1. Change it in the options."},
  };
  for (const auto& [options, expected] : bad) EXPECT_EQ(message(options), expected);
  TOptions pixels = PixelMode(10, 10);
  pixels.PieHor = 0;  // grid values are ignored in pixel mode
  EXPECT_EQ(message(pixels), "");
}

}  // namespace
