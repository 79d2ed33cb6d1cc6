#include "ScreenCompare.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace {

int PixelDiff(QRgb a, QRgb b) {
  return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                   std::abs(qBlue(a) - qBlue(b))});
}

QImage Rgb32(const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); }

// "3, 10-14, 20": sorted line numbers written as ranges, at most a few of them.
std::string Lines(const std::vector<int>& lines) {
  std::ostringstream out;
  size_t shown = 0;
  for (size_t i = 0; i < lines.size();) {
    size_t j = i;
    while (j + 1 < lines.size() && lines[j + 1] == lines[j] + 1) ++j;
    if (shown++ == 6) {
      out << ", ...";
      break;
    }
    out << (i ? ", " : "") << lines[i];
    if (j > i) out << "-" << lines[j];
    i = j + 1;
  }
  return out.str();
}

}  // namespace

TScreenDiff CompareScreens(const QImage& beforeImage, const QImage& afterImage,
                           const TScreenTolerance& tolerance) {
  TScreenDiff diff;
  diff.BeforeSize = beforeImage.size();
  diff.AfterSize = afterImage.size();
  if (beforeImage.size() != afterImage.size()) {
    diff.SameSize = false;
    return diff;
  }
  const QImage before = Rgb32(beforeImage), after = Rgb32(afterImage);
  const int w = before.width(), h = before.height();
  std::vector<uint8_t> d(static_cast<size_t>(w) * h);
  int left = w, top = h, right = -1, bottom = -1;
  for (int y = 0; y < h; ++y) {
    const QRgb* b = reinterpret_cast<const QRgb*>(before.constScanLine(y));
    const QRgb* a = reinterpret_cast<const QRgb*>(after.constScanLine(y));
    for (int x = 0; x < w; ++x) {
      const int v = PixelDiff(b[x], a[x]);
      d[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(v);
      if (v == 0) continue;
      ++diff.ChangedPixels;
      diff.MaxDiff = std::max(diff.MaxDiff, v);
      left = std::min(left, x), right = std::max(right, x);
      top = std::min(top, y), bottom = std::max(bottom, y);
    }
  }
  if (diff.ChangedPixels == 0) return diff;
  diff.ChangedArea = QRect(QPoint(left, top), QPoint(right, bottom));

  int64_t sum = 0;
  for (int y = top; y <= bottom; ++y) {
    int run = 0, longest = 0;
    for (int x = left; x <= right; ++x) {
      const int v = d[static_cast<size_t>(y) * w + x];
      sum += v;
      run = v > tolerance.GapDiff ? run + 1 : 0;
      longest = std::max(longest, run);
    }
    if (longest >= tolerance.GapRun) diff.GapRows.push_back(y);
  }
  for (int x = left; x <= right; ++x) {
    int run = 0, longest = 0;
    for (int y = top; y <= bottom; ++y) {
      run = d[static_cast<size_t>(y) * w + x] > tolerance.GapDiff ? run + 1 : 0;
      longest = std::max(longest, run);
    }
    if (longest >= tolerance.GapRun) diff.GapColumns.push_back(x);
  }
  diff.MeanDiff = static_cast<double>(sum) /
                  (static_cast<double>(diff.ChangedArea.width()) * diff.ChangedArea.height());
  return diff;
}

std::string Judge(const TScreenDiff& diff, const TScreenTolerance& tolerance) {
  std::ostringstream out;
  if (!diff.SameSize) {
    out << "the screenshots differ in size: " << diff.BeforeSize.width() << "x"
        << diff.BeforeSize.height() << " before, " << diff.AfterSize.width() << "x"
        << diff.AfterSize.height() << " after";
    return out.str();
  }
  if (diff.ChangedPixels == 0) return {};
  const bool pixels = diff.MaxDiff > tolerance.PixelDiff;
  const bool mean = diff.MeanDiff > tolerance.MeanDiff;
  const bool gaps = !diff.GapRows.empty() || !diff.GapColumns.empty();
  if (!pixels && !mean && !gaps) return {};

  const QRect& r = diff.ChangedArea;
  out << diff.ChangedPixels << " pixel(s) differ in the rectangle " << r.width() << "x"
      << r.height() << " at (" << r.x() << "," << r.y() << "); largest difference " << diff.MaxDiff
      << " (allowed " << tolerance.PixelDiff << "), mean difference there " << diff.MeanDiff
      << " (allowed " << tolerance.MeanDiff << ")";
  if (!diff.GapRows.empty()) {
    out << "; rows " << Lines(diff.GapRows) << " differ along " << tolerance.GapRun
        << " or more pixels (a gap or a shifted row of pieces)";
  }
  if (!diff.GapColumns.empty()) {
    out << "; columns " << Lines(diff.GapColumns) << " differ along " << tolerance.GapRun
        << " or more pixels (a gap or a shifted column of pieces)";
  }
  return out.str();
}

QImage DiffImage(const QImage& beforeImage, const QImage& afterImage, int strongDiff) {
  const QImage before = Rgb32(beforeImage), after = Rgb32(afterImage);
  QImage out(before.size(), QImage::Format_RGB32);
  for (int y = 0; y < before.height(); ++y) {
    const QRgb* b = reinterpret_cast<const QRgb*>(before.constScanLine(y));
    const QRgb* a =
        y < after.height() ? reinterpret_cast<const QRgb*>(after.constScanLine(y)) : nullptr;
    QRgb* o = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < before.width(); ++x) {
      const int v = a && x < after.width() ? PixelDiff(b[x], a[x]) : 255;
      const int grey = 192 + qGray(b[x]) / 4;
      o[x] = v == 0 ? qRgb(grey, grey, grey) : v > strongDiff ? qRgb(255, 0, 0) : qRgb(255, 200, 0);
    }
  }
  return out;
}

std::optional<QPoint> FindPicture(const QImage& screenImage, const QImage& pictureImage,
                                  double meanDiff) {
  const QImage screen = Rgb32(screenImage), picture = Rgb32(pictureImage);
  const int pw = picture.width(), ph = picture.height();
  if (pw == 0 || ph == 0 || pw > screen.width() || ph > screen.height()) return std::nullopt;
  // A few pixels spread over the picture reject almost every wrong place
  // before the whole picture is compared.
  std::vector<QPoint> probes;
  for (int i = 0; i < 8; ++i) {
    for (int j = 0; j < 8; ++j) probes.emplace_back(i * (pw - 1) / 7, j * (ph - 1) / 7);
  }
  const int probeLimit = meanDiff == 0 ? 0 : 96;
  const double budget = meanDiff * pw * ph;
  for (int y = 0; y + ph <= screen.height(); ++y) {
    for (int x = 0; x + pw <= screen.width(); ++x) {
      bool near = true;
      for (const QPoint& p : probes) {
        if (PixelDiff(screen.pixel(x + p.x(), y + p.y()), picture.pixel(p)) > probeLimit) {
          near = false;
          break;
        }
      }
      if (!near) continue;
      double sum = 0;
      for (int py = 0; py < ph && sum <= budget; ++py) {
        const QRgb* s = reinterpret_cast<const QRgb*>(screen.constScanLine(y + py)) + x;
        const QRgb* q = reinterpret_cast<const QRgb*>(picture.constScanLine(py));
        for (int px = 0; px < pw; ++px) sum += PixelDiff(s[px], q[px]);
      }
      if (sum <= budget) return QPoint(x, y);
    }
  }
  return std::nullopt;
}
