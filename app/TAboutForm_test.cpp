#include "app/TAboutForm.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include "app/AppTest.h"
#include "testsupport/RecordingShell.h"

namespace {

TEST(AboutForm, NamesTheProductLinksItsSiteAndHasOnlyTheCloseButton) {
  testsupport::RecordingShell shell;
  TAboutForm about;
  about.show();
  EXPECT_EQ(apptest::Child<QLabel>(&about, "lblProduct")->text(), "Velmora 1.0");
  EXPECT_FALSE(apptest::Child<QLabel>(&about, "imgHelp")->isVisible());
  EXPECT_FALSE(apptest::Child<QLabel>(&about, "imgMin")->isVisible());
  EXPECT_TRUE(apptest::Child<QLabel>(&about, "imgExit")->isVisible());
  auto* link = apptest::Child<QLabel>(&about, "lblLink");
  EXPECT_TRUE(link->text().contains(kSiteAddress));
  emit link->linkActivated(QString::fromLatin1(kSiteAddress));
  EXPECT_EQ(shell.requests,
            (std::vector<testsupport::RecordingShell::Request>{{"link", kSiteAddress}}));
  apptest::Click(&about, "btnOK");
  EXPECT_FALSE(about.isVisible());
}

}  // namespace
