// Every page of the sample site, rendered by headless Chromium before and
// after vlm-cli protects it, must look the same: pictures whose pieces keep
// every colour (BMP, and GIF of web-safe colours) to the pixel, JPEG pictures
// within the noise of re-encoding and without any line of gap or shift.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QImage>
#include <filesystem>
#include <iostream>
#include <set>
#include <vector>

#include "HeadlessChromium.h"
#include "SampleCopy.h"
#include "ScreenCompare.h"

namespace {

namespace fs = std::filesystem;

// Every sample page fits in this window.
constexpr int kWindowWidth = 800;
constexpr int kWindowHeight = 640;

// JPEG pieces are encoded again at quality 90: a pixel may move by up to 32
// levels where a piece edge meets a sharp edge of the picture, and the
// pictures' area by a mean of 2.5. A gap, or a row of pieces moved by one pixel,
// makes a whole line differ by far more than that.
constexpr TScreenTolerance kJpegTolerance{32, 2.5, 16, 24};
constexpr TScreenTolerance kIdentical{0, 0, 16, 24};

struct SamplePage {
  std::string Path;                   // relative to the site
  int Tables;                         // pictures the run replaces by tables
  bool Jpeg;                          // shows re-encoded JPEG pieces
  std::vector<std::string> Pictures;  // pictures shown at their own size
};

// Names the page in the messages of a failed check.
void PrintTo(const SamplePage& page, std::ostream* out) { *out << page.Path; }

const std::vector<SamplePage>& SamplePages() {
  static const std::vector<SamplePage> pages = {
      {"index.html", 1, false, {"images/logo.gif"}},
      {"gif.html", 1, false, {"images/mountains.gif"}},
      {"jpeg.html", 2, true, {"images/harbour.jpg", "images/meadow.jpg"}},
      {"bmp.html", 2, false, {"images/tiles.bmp", "images/stripes.bmp"}},
      {"links.html", 2, false, {"images/badge.gif", "images/arrow.gif"}},
      {"untouched.html", 0, false, {"images/button.gif", "images/keep.gif", "images/dot.gif"}},
      {"png.html", 2, false, {"images/flags.png"}},
      {"webp.html", 2, true, {"images/dune.webp", "images/chart.webp"}},
      {"address.html", 2, false, {"images/my photos/red blue.gif", "images/flags.png"}},
      {"imageset.html", 0, false, {"images/mountains.gif"}},
      {"sub/index.html",
       3,
       false,
       {"images/logo.gif", "sub/images/leaf.gif", "sub/images/stone.bmp"}},
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
std::string KeptFolder(const std::string& page) {
  std::string name = page;
  for (char& c : name) c = c == '/' || c == '.' ? '_' : c;
  std::string pattern =
      (fs::temp_directory_path() / ("vlm-browser-check-" + name + "-XXXXXX")).string();
  return ::mkdtemp(pattern.data());
}

class BrowserCheck : public testing::TestWithParam<SamplePage> {};

TEST_P(BrowserCheck, ProtectedPageLooksLikeTheOriginal) {
  const SamplePage& page = GetParam();
  HeadlessChromium chromium;
  ASSERT_TRUE(chromium.Installed())
      << chromium.binary() << " is missing: install the packages of scripts/debian-packages.txt";

  SampleCopy before, after;
  TChildResult run = after.Cli({"protect", after.site()});
  ASSERT_TRUE(run.Succeeded()) << "vlm-cli protect failed:\n" << run.Tail();

  const std::string beforePage = before.site() + "/" + page.Path;
  const std::string afterPage = after.site() + "/" + page.Path;
  const std::string protectedText = platform::TempDir::ReadFile(afterPage);
  ASSERT_EQ(Count(protectedText, "</TR></TABLE>"), static_cast<size_t>(page.Tables))
      << "pictures replaced on " << page.Path << ":\n"
      << protectedText;

  const std::string beforePng = before.scratch() + "/screen.png";
  const std::string afterPng = after.scratch() + "/screen.png";
  std::string error =
      chromium.Screenshot(beforePage, kWindowWidth, kWindowHeight, beforePng, before.scratch());
  ASSERT_EQ(error, "");
  error = chromium.Screenshot(afterPage, kWindowWidth, kWindowHeight, afterPng, after.scratch());
  ASSERT_EQ(error, "");
  const QImage beforeScreen(QString::fromStdString(beforePng));
  const QImage afterScreen(QString::fromStdString(afterPng));
  ASSERT_EQ(beforeScreen.size(), QSize(kWindowWidth, kWindowHeight));

  // Both screenshots could match because neither shows a picture (taken
  // before the pictures were painted): so each picture must be on screen.
  for (const auto& picture : page.Pictures) {
    const QImage original(QString::fromStdString(SampleSiteDir() + "/" + picture));
    ASSERT_FALSE(original.isNull()) << picture;
    EXPECT_TRUE(FindPicture(beforeScreen, original, page.Jpeg ? 3.0 : 0).has_value())
        << picture << " is not on the screenshot of " << page.Path;
  }

  const TScreenTolerance& tolerance = page.Jpeg ? kJpegTolerance : kIdentical;
  const TScreenDiff diff = CompareScreens(beforeScreen, afterScreen, tolerance);
  const std::string verdict = Judge(diff, tolerance);
  std::cout << page.Path << ": " << diff.ChangedPixels << " pixel(s) changed, largest difference "
            << diff.MaxDiff << ", mean " << diff.MeanDiff << " over " << diff.ChangedArea.width()
            << "x" << diff.ChangedArea.height() << "\n";
  if (!verdict.empty()) {
    const std::string kept = KeptFolder(page.Path);
    fs::copy_file(beforePng, kept + "/before.png");
    fs::copy_file(afterPng, kept + "/after.png");
    DiffImage(beforeScreen, afterScreen, tolerance.GapDiff)
        .save(QString::fromStdString(kept + "/diff.png"));
    fs::copy(after.site(), kept + "/protected-site", fs::copy_options::recursive);
    ADD_FAILURE() << page.Path << " looks different after protection: " << verdict
                  << "\nScreenshots, differences and the protected site are kept in " << kept;
  }
}

INSTANTIATE_TEST_SUITE_P(SamplePages, BrowserCheck, testing::ValuesIn(SamplePages()),
                         [](const testing::TestParamInfo<SamplePage>& info) {
                           std::string name = info.param.Path;
                           for (char& c : name)
                             c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

// A page added to the sample without a line above would go unchecked.
TEST(SampleSite, EveryPageIsCheckedInTheBrowser) {
  std::set<std::string> onDisk, checked;
  for (const auto& item : fs::recursive_directory_iterator(SampleSiteDir())) {
    const std::string ext = item.path().extension().string();
    if (ext == ".html" || ext == ".htm")
      onDisk.insert(fs::relative(item.path(), SampleSiteDir()).string());
  }
  for (const auto& page : SamplePages()) checked.insert(page.Path);
  EXPECT_EQ(onDisk, checked);
}

}  // namespace
