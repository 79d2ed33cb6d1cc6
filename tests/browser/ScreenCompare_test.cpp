#include "ScreenCompare.h"

#include <gtest/gtest.h>

namespace {

constexpr TScreenTolerance kExact{0, 0, 16, 24};
constexpr TScreenTolerance kLossy{40, 3.0, 16, 24};

// A page-like screenshot: light background with a detailed 120 x 90 picture
// at (50, 40) and a line of "text" below it.
QImage Screen() {
  QImage image(300, 200, QImage::Format_RGB32);
  image.fill(qRgb(250, 250, 245));
  for (int y = 0; y < 90; ++y) {
    for (int x = 0; x < 120; ++x) {
      image.setPixel(50 + x, 40 + y, qRgb((x * 2) & 255, (y * 3) & 255, ((x ^ y) * 5) & 255));
    }
  }
  for (int x = 50; x < 200; x += 3) image.setPixel(x, 150, qRgb(20, 20, 20));
  return image;
}

QImage Picture(const QImage& screen) { return screen.copy(50, 40, 120, 90); }

// The picture cut in two rows with a one-pixel line of background between
// them, and everything below pushed down by that line: what a broken cell
// template does.
QImage WithRowGap(const QImage& screen, int cutY) {
  QImage out = screen;
  for (int y = screen.height() - 1; y > cutY; --y) {
    for (int x = 0; x < screen.width(); ++x) out.setPixel(x, y, screen.pixel(x, y - 1));
  }
  for (int x = 0; x < screen.width(); ++x) out.setPixel(x, cutY, qRgb(250, 250, 245));
  return out;
}

// Small deterministic noise, as re-encoding leaves it.
QImage WithNoise(const QImage& screen, int amplitude) {
  QImage out = screen;
  uint32_t seed = 12345;
  for (int y = 40; y < 130; ++y) {
    for (int x = 50; x < 170; ++x) {
      seed = seed * 1103515245 + 12345;
      const int d = static_cast<int>((seed >> 16) % (2 * amplitude + 1)) - amplitude;
      const QRgb p = screen.pixel(x, y);
      out.setPixel(x, y,
                   qRgb(std::clamp(qRed(p) + d, 0, 255), std::clamp(qGreen(p) - d, 0, 255),
                        std::clamp(qBlue(p) + d, 0, 255)));
    }
  }
  return out;
}

TEST(ScreenCompare, IdenticalScreensPassEvenTheExactCheck) {
  const QImage screen = Screen();
  const TScreenDiff diff = CompareScreens(screen, screen, kExact);
  EXPECT_EQ(diff.ChangedPixels, 0);
  EXPECT_EQ(Judge(diff, kExact), "");
}

TEST(ScreenCompare, OnePixelOffByOneFailsExactButPassesLossy) {
  const QImage before = Screen();
  QImage after = before;
  after.setPixel(60, 50,
                 qRgb(qRed(before.pixel(60, 50)) + 1, qGreen(before.pixel(60, 50)),
                      qBlue(before.pixel(60, 50))));
  const TScreenDiff diff = CompareScreens(before, after, kExact);
  EXPECT_EQ(diff.ChangedPixels, 1);
  EXPECT_EQ(diff.MaxDiff, 1);
  EXPECT_EQ(diff.ChangedArea, QRect(60, 50, 1, 1));
  EXPECT_NE(Judge(diff, kExact).find("1 pixel(s) differ"), std::string::npos)
      << Judge(diff, kExact);
  EXPECT_EQ(Judge(CompareScreens(before, after, kLossy), kLossy), "");
}

TEST(ScreenCompare, ReencodingNoisePassesLossyOnly) {
  const QImage before = Screen(), after = WithNoise(before, 4);
  const TScreenDiff diff = CompareScreens(before, after, kLossy);
  EXPECT_GT(diff.ChangedPixels, 5000);
  EXPECT_TRUE(diff.GapRows.empty());
  EXPECT_TRUE(diff.GapColumns.empty());
  EXPECT_EQ(Judge(diff, kLossy), "");
  EXPECT_NE(Judge(CompareScreens(before, after, kExact), kExact), "");
}

TEST(ScreenCompare, RowGapBetweenPiecesFailsEvenWithinLossyTolerance) {
  const QImage before = Screen(), after = WithRowGap(before, 70);
  const TScreenDiff diff = CompareScreens(before, after, kLossy);
  ASSERT_FALSE(diff.GapRows.empty());
  EXPECT_EQ(diff.GapRows.front(), 70) << "the first line that differs is the gap itself";
  const std::string verdict = Judge(diff, kLossy);
  EXPECT_NE(verdict.find("rows 70"), std::string::npos) << verdict;
}

TEST(ScreenCompare, GapOfFaintColourIsStillALine) {
  // A picture whose colours lie close to the background: no pixel differs
  // by more than the lossy PixelDiff, but the gap is a whole line.
  QImage before(200, 100, QImage::Format_RGB32);
  before.fill(qRgb(240, 240, 240));
  for (int y = 20; y < 80; ++y) {
    for (int x = 20; x < 180; ++x) before.setPixel(x, y, qRgb(210, 215, 220));
  }
  QImage after = before;
  for (int y = 20; y < 80; ++y) after.setPixel(100, y, qRgb(240, 240, 240));  // column gap
  const TScreenDiff diff = CompareScreens(before, after, kLossy);
  EXPECT_LE(diff.MaxDiff, kLossy.PixelDiff);
  EXPECT_EQ(diff.GapColumns, std::vector<int>{100});
  EXPECT_NE(Judge(diff, kLossy).find("columns 100"), std::string::npos) << Judge(diff, kLossy);
}

TEST(ScreenCompare, DifferentSizesFail) {
  const QImage before = Screen();
  const QImage after = before.copy(0, 0, 300, 199);
  const std::string verdict = Judge(CompareScreens(before, after, kLossy), kLossy);
  EXPECT_NE(verdict.find("300x200 before, 300x199 after"), std::string::npos) << verdict;
}

TEST(ScreenCompare, DiffImageMarksChangedAndStrongPixels) {
  const QImage before = Screen(), after = WithRowGap(before, 70);
  const QImage diff = DiffImage(before, after, 16);
  EXPECT_EQ(diff.pixel(10, 10),
            qRgb(192 + qGray(before.pixel(10, 10)) / 4, 192 + qGray(before.pixel(10, 10)) / 4,
                 192 + qGray(before.pixel(10, 10)) / 4));
  EXPECT_EQ(diff.pixel(60, 70), qRgb(255, 0, 0));
}

TEST(FindPicture, FindsTheExactPlace) {
  const QImage screen = Screen();
  EXPECT_EQ(FindPicture(screen, Picture(screen), 0), QPoint(50, 40));
}

TEST(FindPicture, ExactSearchRefusesOneWrongPixel) {
  const QImage screen = Screen();
  QImage picture = Picture(screen);
  picture.setPixel(119, 89, qRgb(1, 2, 3));
  EXPECT_FALSE(FindPicture(screen, picture, 0).has_value());
}

TEST(FindPicture, TolerantSearchFindsANoisyCopyButNotAMissingPicture) {
  const QImage screen = Screen();
  const QImage noisy = WithNoise(screen, 3);
  EXPECT_EQ(FindPicture(noisy, Picture(screen), 3.0), QPoint(50, 40));
  QImage blank(300, 200, QImage::Format_RGB32);
  blank.fill(qRgb(250, 250, 245));
  EXPECT_FALSE(FindPicture(blank, Picture(screen), 3.0).has_value());
}

TEST(FindPicture, PictureLargerThanTheScreenIsNowhere) {
  const QImage screen = Screen();
  EXPECT_FALSE(FindPicture(screen.copy(0, 0, 100, 100), screen, 3.0).has_value());
}

}  // namespace
