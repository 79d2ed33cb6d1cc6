#include "app/PathLabel.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QStringList>

namespace {

// Every text the narrowing tries, in order, when nothing ever fits.
QStringList Steps(const QString& path) {
  QStringList tried;
  const QString last = ShortenPath(path, [&](const QString& shown) {
    tried << shown;
    return false;
  });
  tried << last;
  tried.removeDuplicates();
  return tried;
}

TEST(ShortenPath, NarrowsFolderByFolderThenDropsThem) {
  EXPECT_EQ(Steps("/site/docs/old/page.htm"),
            QStringList({"/site/docs/old/page.htm", "/.../docs/old/page.htm", "/.../old/page.htm",
                         "/.../page.htm", ".../page.htm", "page.htm"}));
}

TEST(ShortenPath, DropsADriveLast) {
  EXPECT_EQ(Steps("D:/site/docs/old/page.htm"),
            QStringList({"D:/site/docs/old/page.htm", "D:/.../docs/old/page.htm",
                         "D:/.../old/page.htm", "D:/.../page.htm", ".../page.htm", "page.htm"}));
}

TEST(ShortenPath, StopsAtTheFirstTextThatFits) {
  const QString path = "/home/web/site/docs/old/page.htm";
  const QString shown = ShortenPath(path, [](const QString& s) { return s.size() <= 20; });
  EXPECT_EQ(shown, "/.../old/page.htm");
  EXPECT_EQ(ShortenPath(path, [](const QString&) { return true; }), path);
}

TEST(ShortenPath, EndsForAFileAtTheRootAndForABareName) {
  EXPECT_EQ(Steps("/a-very-long-page-name.htm"),
            QStringList({"/a-very-long-page-name.htm", "a-very-long-page-name.htm"}));
  EXPECT_EQ(Steps("C:/page.htm"), QStringList({"C:/page.htm", "C:page.htm", "page.htm"}));
  EXPECT_EQ(Steps("page.htm"), QStringList({"page.htm"}));
}

TEST(PathLabel, KeepsTheFullPathAndDrawsWhatFits) {
  TPathLabel label;
  label.resize(345, 17);
  const QString path = "/home/someone/web/sites/example/archive/2019/autumn/pages/gallery.htm";
  label.setText(path);
  EXPECT_EQ(label.text(), path);
  const QString shown = label.ShownText();
  EXPECT_TRUE(shown.endsWith("/gallery.htm"));
  EXPECT_TRUE(shown.startsWith("/.../"));
  EXPECT_LE(QFontMetrics(label.font()).horizontalAdvance(shown), 345);

  label.resize(2000, 17);
  EXPECT_EQ(label.ShownText(), path);
}

}  // namespace
