// Every page of the sample site, rendered by headless Chromium and Firefox at
// a desktop width and a phone width, and on a phone's screen of two device
// pixels to a CSS pixel, before and after vlm-cli protects it
// with each markup, must look the same: pictures whose pieces keep every
// colour (BMP, and GIF of web-safe colours) to the pixel, JPEG pictures and
// pictures the page scales within the noise of re-encoding and resampling,
// and never with a line of gap or shift.
//
// Starting a browser costs far more than drawing a page, so each browser
// draws all pages of one site copy at one width at once: a sheet of frames,
// one frame per page, each frame its own document with its own viewport.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <vector>

#include "HeadlessBrowser.h"
#include "SampleCopy.h"
#include "ScreenCompare.h"
#include "testsupport/SnapshotTree.h"

namespace {

namespace fs = std::filesystem;

// The renders compared, each of every page before and after.
struct RenderKind {
  HeadlessBrowser::Kind Browser;
  int Width;  // CSS pixels
  int Scale;  // device pixels to a CSS pixel
};
constexpr RenderKind kRenders[] = {
    {HeadlessBrowser::Kind::Chromium, 1280, 1}, {HeadlessBrowser::Kind::Chromium, 390, 1},
    {HeadlessBrowser::Kind::Chromium, 390, 2},  {HeadlessBrowser::Kind::Firefox, 1280, 1},
    {HeadlessBrowser::Kind::Firefox, 390, 1},   {HeadlessBrowser::Kind::Firefox, 390, 2},
};
constexpr size_t kRenderCount = std::size(kRenders);

// "chromium 390", "chromium 390x2".
std::string RenderName(const RenderKind& kind) {
  return std::string(kind.Browser == HeadlessBrowser::Kind::Chromium ? "chromium" : "firefox") +
         " " + std::to_string(kind.Width) +
         (kind.Scale == 1 ? "" : "x" + std::to_string(kind.Scale));
}
// The height of a page's frame unless the page says otherwise: every page
// must fit its frame whole at both widths, or what lies below is never
// compared.
constexpr int kFrameHeight = 720;

// JPEG pieces are encoded again at quality 90: a pixel may move by up to 32
// levels where a piece edge meets a sharp edge of the picture, and the
// pictures' area by a mean of 2.5. Pieces the page scales are resampled each
// on its own, which moves their edge pixels by a few levels. A gap, or a row
// of pieces moved by one pixel, makes a whole line differ by far more.
constexpr TScreenTolerance kLossyTolerance{32, 2.5, 16, 24};
constexpr TScreenTolerance kIdentical{0, 0, 16, 24};
// Enlarged to a screen of more device pixels, a picture the page turns is
// smoothed along its edges to within a level of the original's.
constexpr TScreenTolerance kScaledIdentical{1, 0.1, 16, 24};

enum Variant { kBefore, kTable, kLayered, kVariants };
const char* const kVariantNames[] = {"before", "table", "layered"};

struct SamplePage {
  std::string Path;                   // relative to the site
  int Protected;                      // pictures the run replaces
  bool Lossy;                         // JPEG pieces, or pictures the page scales
  bool CssNamesImg;                   // the table cannot follow the page's CSS
  std::vector<std::string> Pictures;  // pictures shown at their own size at 1280
  // Renders ("firefox 390 table") known to differ still: reported, not
  // failed. Each is an open fault, listed so that the rest stays guarded.
  std::set<std::string> KnownDifferent = {};
  int Height = kFrameHeight;  // of its frame
};

// Names the page in the messages of a failed check.
void PrintTo(const SamplePage& page, std::ostream* out) { *out << page.Path; }

const std::vector<SamplePage>& SamplePages() {
  static const std::vector<SamplePage> pages = {
      {"index.html", 1, false, false, {"images/logo.gif"}, {}, 1620},
      {"gif.html", 13, false, false, {"images/mountains.gif"}, {}, 3450},
      {"jpeg.html", 4, true, false, {"images/harbour.jpg", "images/meadow.jpg"}},
      {"bmp.html", 7, false, false, {"images/tiles.bmp", "images/stripes.bmp"}, {}, 900},
      {"links.html", 5, false, false,
       {"images/badge.gif", "images/arrow.gif", "images/tiles.bmp"}, {}, 900},
      {"untouched.html", 0, false, false,
       {"images/button.gif", "images/keep.gif", "images/dot.gif"}, {}, 900},
      {"sub/index.html", 3, false, false,
       {"images/logo.gif", "sub/images/leaf.gif", "sub/images/stone.bmp"}},
      // Pictures scaled down to a fractional size: a browser puts each piece
      // on whole pixels by itself, so a sharp edge where two pieces meet
      // (the harbour's mast) moves by part of a pixel.
      {"responsive.html", 5, true, false, {},
       {"chromium 390 table", "firefox 390 table", "chromium 390 layered", "firefox 390 layered",
        "chromium 390x2 table", "firefox 390x2 table"},
       1240},
      {"fitted.html", 6, true, false, {"images/mountains.gif"}},
      {"inline.html", 8, false, false, {"images/arrow.gif", "images/logo.gif"}},
      {"floats.html", 4, false, false, {"images/tiles.bmp"}},
      // The picture between a table's rows is a layered one in both markups.
      {"quirks.html", 5, false, false, {"images/badge.gif", "images/arrow.gif"},
       {"chromium 390x2 table", "firefox 390x2 table"}, 880},
      {"page.xhtml", 2, false, false, {"sub/images/stone.bmp", "images/logo.gif"}},
      {"png.html", 2, false, false, {"images/flags.png"}},
      {"webp.html", 2, true, false, {"images/dune.webp", "images/chart.webp"}},
      {"address.html", 3, false, false,
       {"images/my photos/red blue.gif", "images/flags.png", "images/façade.gif"}, {}, 880},
      {"imageset.html", 0, false, false, {"images/mountains.gif"}, {}, 860},
      {"base.html", 1, false, false, {"sub/images/leaf.gif"}},
      {"latin1.html", 1, false, false, {"images/façade.gif"}},
      {"unicode.html", 2, false, false, {"images/façade.gif", "images/badge.gif"}},
      {"directions.html", 5, false, false,
       {"images/tiles.bmp", "sub/images/stone.bmp", "images/badge.gif", "images/arrow.gif"}, {},
       840},
      {"transparent.html", 3, false, false, {}, {}, 780},
      {"wide.html", 1, true, false, {}},
      {"captions.html", 2, false, true, {"images/logo.gif"}},
  };
  return pages;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// A folder under the temp folder that outlives the test, for the
// screenshots of a failure.
std::string KeptFolder(const std::string& name) {
  std::string pattern =
      (fs::temp_directory_path() / ("vlm-browser-check-" + name + "-XXXXXX")).string();
  return ::mkdtemp(pattern.data());
}

std::string SheetName(int width, size_t first) {
  return "vlm-sheet-" + std::to_string(width) + "-" + std::to_string(first) + ".html";
}

// Where the frame of page `index` starts on the sheet; of the page after the
// last, the sheet's height.
int FrameTop(size_t index) {
  int top = 0;
  for (size_t i = 0; i < index; ++i) top += SamplePages()[i].Height;
  return top;
}

// One frame for each sample page from `first` up to `end`, stacked, each
// `width` wide.
void WriteSheet(const std::string& site, int width, size_t first, size_t end) {
  std::ofstream out(site + "/" + SheetName(width, first));
  out << "<!DOCTYPE html><html><body style=\"margin:0\">";
  for (size_t i = first; i < end; ++i) {
    const SamplePage& page = SamplePages()[i];
    out << "<iframe src=\"" << page.Path << "\" width=\"" << width << "\" height=\"" << page.Height
        << "\" scrolling=\"no\" frameborder=\"0\" "
        << "style=\"display:block;border:0\"></iframe>";
  }
  out << "</body></html>";
}

// At a scale above 1 Chromium takes no screenshot taller than about this
// many device pixels (at scale 1 it takes the whole sheet), and Firefox is
// given a viewport as tall as the sheet: such a sheet is taken in parts.
constexpr int kTallestScaledShot = 16000;

// The screenshot of every sample page of `site` in a stack of frames, taken
// by `browser` as `kind` says, in parts where it is too tall for one; empty
// with `error` set when the browser failed.
QImage SheetShot(const HeadlessBrowser& browser, const RenderKind& kind, const std::string& site,
                 const std::string& scratch, std::string& error) {
  const size_t count = SamplePages().size();
  QImage sheet(kind.Width * kind.Scale, FrameTop(count) * kind.Scale, QImage::Format_RGB32);
  QPainter painter(&sheet);
  const int tallest = kind.Scale == 1 ? INT_MAX : kTallestScaledShot;
  for (size_t first = 0, end; first < count; first = end) {
    end = first + 1;
    while (end < count && (FrameTop(end + 1) - FrameTop(first)) * kind.Scale <= tallest) ++end;
    WriteSheet(site, kind.Width, first, end);
    std::string png = scratch + "/" + RenderName(kind) + "-" + std::to_string(first) + ".png";
    std::replace(png.begin(), png.end(), ' ', '-');
    error = browser.Screenshot(site + "/" + SheetName(kind.Width, first), kind.Width,
                               FrameTop(end) - FrameTop(first), png, scratch, kind.Scale);
    if (!error.empty()) return QImage();
    painter.drawImage(0, FrameTop(first) * kind.Scale, QImage(QString::fromStdString(png)));
  }
  return sheet;
}

// The site copies and their screenshots, made once for all pages.
struct Renders {
  SampleCopy Copies[kVariants];
  std::string Problem;    // why there are no screenshots, or empty
  std::string SecondRun;  // what a second run changed, or empty
  QImage Sheets[kRenderCount][kVariants];
};

Renders& Shared() {
  static Renders* renders = [] {
    auto* r = new Renders;
    for (int v = kTable; v <= kLayered; ++v) {
      const SampleCopy& copy = r->Copies[v];
      const std::vector<std::string> args = {"protect", "--markup",
                                             v == kTable ? "table" : "layered", copy.site()};
      testsupport::ProgramResult run = copy.Cli(args);
      if (!run.Succeeded()) {
        r->Problem = "vlm-cli protect failed:\n" + run.Tail();
        return r;
      }
      // A run over a protected site changes no byte.
      const auto once = testsupport::SnapshotTree(copy.site());
      run = copy.Cli(args);
      if (!run.Succeeded() || testsupport::SnapshotTree(copy.site()) != once)
        r->SecondRun += std::string(kVariantNames[v]) + ": " + run.Tail() + "\n";
    }
    for (size_t k = 0; k < kRenderCount; ++k) {
      const RenderKind& kind = kRenders[k];
      HeadlessBrowser browser(kind.Browser);
      if (!browser.Installed()) {
        r->Problem =
            browser.binary() + " is missing: install the packages of scripts/debian-packages.txt";
        return r;
      }
      for (int v = 0; v < kVariants; ++v) {
        const SampleCopy& copy = r->Copies[v];
        r->Sheets[k][v] = SheetShot(browser, kind, copy.site(), copy.scratch(), r->Problem);
        if (!r->Problem.empty()) return r;
      }
    }
    return r;
  }();
  return *renders;
}

class BrowserCheck : public testing::TestWithParam<SamplePage> {};

TEST_P(BrowserCheck, ProtectedPageLooksLikeTheOriginal) {
  const SamplePage& page = GetParam();
  const Renders& renders = Shared();
  ASSERT_EQ(renders.Problem, "");
  size_t index = 0;
  while (SamplePages()[index].Path != page.Path) ++index;

  const std::string table = ReadPage(renders.Copies[kTable].site() + "/" + page.Path);
  // A picture between a table's rows is layered in both.
  EXPECT_EQ(Count(table, "<table data-vlm") + Count(table, "src=\"data:image/svg+xml"),
            static_cast<size_t>(page.Protected))
      << table;
  const std::string layered = ReadPage(renders.Copies[kLayered].site() + "/" + page.Path);
  EXPECT_EQ(Count(layered, "src=\"data:image/svg+xml"), static_cast<size_t>(page.Protected))
      << layered;

  for (size_t k = 0; k < kRenderCount; ++k) {
    const RenderKind& kind = kRenders[k];
    const int scale = kind.Scale;
    const QRect frame(0, FrameTop(index) * scale, kind.Width * scale, page.Height * scale);
    const QImage before = renders.Sheets[k][kBefore].copy(frame);
    ASSERT_EQ(before.size(), frame.size()) << RenderName(kind);
    // Both screenshots could match because neither shows a picture (taken
    // before the pictures were painted): so each picture must be on screen.
    if (kind.Width == 1280) {
      for (const auto& picture : page.Pictures) {
        const QImage original(QString::fromStdString(SampleSiteDir() + "/" + picture));
        ASSERT_FALSE(original.isNull()) << picture;
        EXPECT_TRUE(FindPicture(before, original, page.Lossy ? 3.0 : 0).has_value())
            << picture << " is not on the screenshot of " << page.Path << " in "
            << RenderName(kind);
      }
    }
    for (int v = kTable; v <= kLayered; ++v) {
      if (v == kTable && page.CssNamesImg) continue;
      const QImage after = renders.Sheets[k][v].copy(frame);
      const TScreenTolerance& tolerance = page.Lossy  ? kLossyTolerance
                                          : scale > 1 ? kScaledIdentical
                                                      : kIdentical;
      const TScreenDiff diff = CompareScreens(before, after, tolerance);
      const std::string verdict = Judge(diff, tolerance);
      const std::string render = RenderName(kind) + " " + kVariantNames[v];
      const std::string what = page.Path + " " + render;
      std::cout << what << ": " << diff.ChangedPixels << " pixel(s) changed, largest difference "
                << diff.MaxDiff << ", mean " << diff.MeanDiff << "\n";
      // A layered picture's layers are each enlarged on their own, so a
      // screen of more device pixels than CSS pixels smooths the lines where
      // they meet from one side only: reported, not failed.
      if (page.KnownDifferent.count(render) || (scale > 1 && v == kLayered)) {
        std::cout << what
                  << (verdict.empty() ? ": listed as known to differ, but matches now\n"
                                      : ": known to differ: " + verdict + "\n");
      } else if (!verdict.empty()) {
        std::string name = what;
        for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        const std::string kept = KeptFolder(name);
        before.save(QString::fromStdString(kept + "/before.png"));
        after.save(QString::fromStdString(kept + "/after.png"));
        DiffImage(before, after, tolerance.GapDiff)
            .save(QString::fromStdString(kept + "/diff.png"));
        ADD_FAILURE() << what << " looks different after protection: " << verdict
                      << "\nScreenshots and differences are kept in " << kept;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(SamplePages, BrowserCheck, testing::ValuesIn(SamplePages()),
                         [](const testing::TestParamInfo<SamplePage>& info) {
                           std::string name = info.param.Path;
                           for (char& c : name)
                             c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

TEST(SampleSite, ASecondRunChangesNoByte) {
  const Renders& renders = Shared();
  ASSERT_EQ(renders.Problem, "");
  EXPECT_EQ(renders.SecondRun, "");
}

// A page added to the sample without a line above would go unchecked.
TEST(SampleSite, EveryPageIsCheckedInTheBrowser) {
  std::set<std::string> onDisk, checked;
  for (const auto& item : fs::recursive_directory_iterator(SampleSiteDir())) {
    const std::string ext = item.path().extension().string();
    if (ext == ".html" || ext == ".htm" || ext == ".xhtml")
      onDisk.insert(fs::relative(item.path(), SampleSiteDir()).string());
  }
  for (const auto& page : SamplePages()) checked.insert(page.Path);
  EXPECT_EQ(onDisk, checked);
}

}  // namespace
