#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// How far a screenshot of a protected page may differ from the screenshot of
// the page before protection. The difference of a pixel is the largest
// difference of its three colour channels (0 to 255).
struct TScreenTolerance {
  // Largest difference allowed at any pixel; 0 asks for identical pictures.
  int PixelDiff = 0;
  // Largest mean difference over the rectangle that holds every changed pixel.
  double MeanDiff = 0;
  // A pixel that differs by more than GapDiff counts toward a gap line, and
  // GapRun such pixels side by side in one row or one column make that line a
  // gap: background showing between pieces, or pieces moved against the rest.
  // Noise of a re-encoded picture never lines up that far.
  int GapDiff = 16;
  int GapRun = 24;
};

// Everything that differs between two screenshots.
struct TScreenDiff {
  bool SameSize = true;
  QSize BeforeSize, AfterSize;
  int64_t ChangedPixels = 0;
  int MaxDiff = 0;
  QRect ChangedArea;    // the smallest rectangle holding every changed pixel
  double MeanDiff = 0;  // over ChangedArea
  std::vector<int> GapRows, GapColumns;
};

// Compares two screenshots pixel by pixel; gap lines are found with the
// tolerance's GapDiff and GapRun.
TScreenDiff CompareScreens(const QImage& before, const QImage& after,
                           const TScreenTolerance& tolerance);

// Empty when `diff` lies within `tolerance`; otherwise one paragraph that says
// what differs and where, for a failure message.
std::string Judge(const TScreenDiff& diff, const TScreenTolerance& tolerance);

// A picture of the differences for a person: the screenshot before, faded,
// with changed pixels in yellow and pixels beyond `strongDiff` in red.
QImage DiffImage(const QImage& before, const QImage& after, int strongDiff);

// The top-left corner of the first place, row by row, where `picture` stands
// unscaled in `screen` with a mean difference of at most `meanDiff` (0: every
// pixel identical); none when it stands nowhere.
std::optional<QPoint> FindPicture(const QImage& screen, const QImage& picture, double meanDiff);
