#include "engine/vlmKernel.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "engine/BmpCodec.h"
#include "engine/GifCodec.h"
#include "engine/JpegCodec.h"
#include "engine/PageEncoding.h"
#include "engine/PageLoop.h"
#include "engine/PageSnippets.h"
#include "engine/PictureLookAhead.h"
#include "engine/PngCodec.h"
#include "engine/ProtectionRun.h"
#include "engine/RunRestore.h"
#include "engine/SourceReferences.h"
#include "engine/WorkerPool.h"
#include "platform/Exception.h"
#include "platform/File.h"
#include "storage/BackupSet.h"
#include "storage/DigestList.h"
#include "storage/GlobalLib.h"
#include "storage/vlmOption.h"
#include "testsupport/SnapshotTree.h"
#include "testsupport/TempDir.h"
#include "testsupport/TestImages.h"

namespace {

using testsupport::ScopedEnv;
using testsupport::TempDir;
namespace fs = std::filesystem;

int CountOf(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class KernelTest : public testing::Test {
 protected:
  void SetUp() override {
    Options = TOptions{};
    Options.ATag = Options.WidthHeight = 1;
    Options.ProtectBMP = Options.ProtectGIF = Options.ProtectJPG = 1;
    Options.PieHor = 3;
    Options.PieVer = 2;
    Options.PixWidth = Options.PixHeight = 64;
    oldHandler = SetShowErrorHandler(
        [this](int n, const std::string& m) { errors.push_back(std::to_string(n) + " " + m); });
  }
  void TearDown() override {
    EndProtection();
    SetShowErrorHandler(oldHandler);
    Options = TOptions{};
  }
  std::string Bmp(const std::string& name, int w, int h) {
    return site.Write(name, EncodeBmp(testimages::Gradient(w, h)));
  }
  int32_t Protect(const std::string& page) {
    int32_t size = -1;
    ProtectPage(site / page, size);
    return size;
  }

  TempDir home;
  TempDir site;
  ScopedEnv vlmHome{"VLM_HOME", home.path()};
  std::vector<std::string> errors;
  TShowErrorHandler oldHandler;
};

TEST_F(KernelTest, ProtectsPageSlicesImageAndBacksUpBothInOrder) {
  Bmp("img/a.bmp", 100, 50);
  const std::string page = "<html><head></head><body><img src=\"img/a.bmp\" alt=x></body></html>";
  site.Write("index.htm", page);
  BeginProtection();
  int32_t size = Protect("index.htm");
  EXPECT_TRUE(platform::FileExists(site / "img/a.bmp")) << "sources stay until the run ends";
  EndProtection();
  std::string out = site.Read("index.htm");
  EXPECT_EQ(size, static_cast<int32_t>(out.size()));
  EXPECT_EQ(out.substr(0, 19), "<html><head>" + HeadSnippet1().substr(0, 7));
  EXPECT_EQ(CountOf(out, "<img data-vlm=\"\" src=\"img/"), 6);
  // Last column of 100 in 3, 34 x 25, its file 8 pixels more to the left
  // and on the side of the other row.
  EXPECT_EQ(CountOf(out, "width=\"42\" height=\"33\""), 2) << "last column of 100 in 3";
  EXPECT_EQ(out.substr(out.size() - TailSnippet().size()), TailSnippet());
  EXPECT_FALSE(platform::FileExists(site / "img/a.bmp"));
  EXPECT_EQ(testsupport::FilesOf(testsupport::SnapshotTree(site.path())).size(), 7u)
      << "the page and six pieces";
  EXPECT_TRUE(errors.empty());

  TBackupSet set = ReadBackupSet(home / "Backup/0");
  ASSERT_EQ(set.Entries.size(), 2u);
  EXPECT_EQ(set.Entries[0].Name, site / "img/a.bmp");
  EXPECT_EQ(set.Entries[1].Name, site / "index.htm");
  EXPECT_EQ(ReadBackupContent(set, set.Entries[1]), page);
  ASSERT_EQ(set.PieceLines.size(), 1u);
  EXPECT_EQ(set.PieceLines[0].size(), 24u);
  for (size_t i = 0; i < 24; i += 4) {
    EXPECT_NE(out.find("img/" + set.PieceLines[0].substr(i, 4) + ".bmp"), std::string::npos);
  }
}

TEST_F(KernelTest, SameImageIsCutOncePerSizeAndEachCutRestores) {
  Bmp("a.bmp", 30, 20);
  site.Write("one.htm",
             "<img src=a.bmp><img src='a.bmp' width=60 height=20><img src=a.bmp height=20>");
  site.Write("sub/two.htm", "<img src=\"../a.bmp\"><img src=../a.bmp width=60 height=20>");
  const std::vector<std::string> pages = {site / "one.htm", site / "sub/two.htm"};

  // A judging-only run over the same list tells the same reuse and writes
  // nothing, neither in the site nor in VLM_HOME.
  const auto siteBefore = testsupport::SnapshotTree(site.path());
  const auto homeBefore = testsupport::SnapshotTree(home.path());
  TProtectionRun look(Options, home / "Backup/", nullptr, TRunMode::JudgeOnly);
  std::string actions;
  TPageLoopEvents events;
  events.PageDone = [&](size_t, const std::string&, const TPageOutcome& outcome) {
    for (const TTagVerdict& tag : look.PageVerdicts()) {
      actions += TagActionName(tag.What) + std::string(" ");
    }
    actions += outcome.Unchanged ? "(unchanged) " : "| ";
  };
  EXPECT_TRUE(RunPageLoop(look, pages, events).Completed);
  EXPECT_EQ(actions, "slice slice reuse | reuse reuse | ");
  EXPECT_EQ(testsupport::DescribeDifferences(siteBefore, testsupport::SnapshotTree(site.path())),
            "");
  EXPECT_EQ(testsupport::DescribeDifferences(homeBefore, testsupport::SnapshotTree(home.path())),
            "");

  BeginProtection();
  Protect("one.htm");
  Protect("sub/two.htm");
  EndProtection();
  TBackupSet set = ReadBackupSet(home / "Backup/0");
  ASSERT_EQ(set.PieceLines.size(), 2u) << "30x20 and 60x20";
  EXPECT_EQ(set.Entries.size(), 4u) << "the source with each cut's pieces, then the two pages";
  std::string one = site.Read("one.htm");
  std::string two = site.Read("sub/two.htm");
  for (size_t i = 0; i < 24; i += 4) {
    EXPECT_EQ(CountOf(one, "\"" + set.PieceLines[0].substr(i, 4) + ".bmp\""), 2);
    EXPECT_EQ(CountOf(two, "\"../" + set.PieceLines[0].substr(i, 4) + ".bmp\""), 1);
    EXPECT_EQ(CountOf(one, "\"" + set.PieceLines[1].substr(i, 4) + ".bmp\""), 1);
    EXPECT_EQ(CountOf(two, "\"../" + set.PieceLines[1].substr(i, 4) + ".bmp\""), 1);
  }
  EXPECT_EQ(CountOf(one, "width=\"60\" height=\"20\""), 1) << one;
  EXPECT_EQ(testsupport::FilesOf(testsupport::SnapshotTree(site.path())).size(), 2u + 12u);
  TRestoreReport report = RestoreRun(set);
  EXPECT_TRUE(report.Ok());
  EXPECT_EQ(testsupport::FilesOf(testsupport::SnapshotTree(site.path())).size(), 3u);
}

TEST_F(KernelTest, RefusalsLeaveTagsExactly) {
  Bmp("a.bmp", 40, 40);
  Bmp("tiny.bmp", 8, 8);
  site.Write("a.jpe", "not an image");
  const std::string body =
      "<img src=a.bmp width=\"100%\"><img src=a.bmp NoProtect><img src=a.bmp usemap=#m>"
      "<img src=a.bmp onMouseOver=x><img src=missing.bmp><img alt=nosrc><img src=a.jpe>"
      "<img src=tiny.bmp>";
  site.Write("p.htm", body);
  Options.MinWidth = Options.MinHeight = 16;
  BeginProtection();
  Protect("p.htm");
  EndProtection();
  EXPECT_EQ(site.Read("p.htm"), body) << "no picture protected: the page is left as it was";
  EXPECT_TRUE(platform::FileExists(site / "a.bmp"));
  EXPECT_EQ(ReadBackupSet(home / "Backup/0").Entries.size(), 0u);
}

TEST_F(KernelTest, SourceHoldingANulByteNamesNoFile) {
  // The system reads a name only up to a NUL: "nul\0.bmp" would reach the
  // file "nul", which the page does not show, and the run would cut and
  // delete it.
  Bmp("nul", 30, 20);
  Bmp("a.bmp", 30, 20);
  const std::string body("<img src=\"nul\0.bmp\"><img src=a.bmp\0 alt=x>", 42);
  site.Write("p.htm", body);
  BeginProtection();
  Protect("p.htm");
  EndProtection();
  EXPECT_EQ(site.Read("p.htm"), body);
  EXPECT_EQ(testsupport::FilesOf(testsupport::SnapshotTree(site.path())).size(), 3u)
      << "no piece, no source deleted";
}

TEST_F(KernelTest, MinimumSizeIsInclusiveAndSizesComeFromTheTag) {
  Bmp("a.bmp", 100, 60);
  Bmp("b.bmp", 99, 60);
  site.Write("p.htm", "<img src=a.bmp><img src=b.bmp><img src=b.bmp width=200 height=100>");
  Options.MinWidth = 100;
  BeginProtection();
  Protect("p.htm");
  EndProtection();
  std::string out = site.Read("p.htm");
  EXPECT_EQ(CountOf(out, "<img src=b.bmp>"), 1);
  EXPECT_EQ(CountOf(out, "width=\"200\" height=\"100\" cellpadding"), 1)
      << "the table of the scaled image";
  EXPECT_EQ(CountOf(out, "width=\"76\" height=\"58\""), 2) << "68 x 50 and its files' bleed";
}

// As a browser shows it: with only one of WIDTH and HEIGHT the other keeps
// the picture's aspect ratio.
TEST_F(KernelTest, OneSizeAttributeKeepsTheAspectRatio) {
  Bmp("a.bmp", 887, 717);
  Bmp("b.bmp", 99, 60);
  site.Write("p.htm", "<img src=a.bmp height=310><img src=b.bmp width=33>");
  BeginProtection();
  Protect("p.htm");
  EndProtection();
  const std::string out = site.Read("p.htm");
  // The width is rounded, so the table also carries the picture's own shape.
  EXPECT_EQ(CountOf(out,
                    "style=\"--vlm-w:384px;--vlm-a:384/310;--vlm-o:887/717;"
                    "--vlm-m:384px;\" width=\"384\" height=\"310\""),
            1)
      << out;
  EXPECT_EQ(CountOf(out,
                    "style=\"--vlm-w:33px;--vlm-a:33/20;--vlm-m:33px;\" "
                    "width=\"33\" cellpadding"),
            1)
      << out;
}

TEST_F(KernelTest, BackslashSourceNamesPiecesThroughItsFolder) {
  Bmp("images/a.bmp", 20, 20);
  site.Write("p.htm", "<img src=images\\a.bmp>");
  BeginProtection();
  Protect("p.htm");
  EndProtection();
  std::string out = site.Read("p.htm");
  EXPECT_EQ(CountOf(out, "<img data-vlm=\"\" src=\"images\\"), 6);
  EXPECT_FALSE(platform::FileExists(site / "images/a.bmp"));
}

TEST_F(KernelTest, LockedPageShowsErrorAndRunGoesOn) {
  site.Write("locked.htm", "<p>");
  site.Write("next.htm", "<p>");
  TFileHandler holder(site / "locked.htm", fmOpenReadWrite | fmShareExclusive);
  BeginProtection();
  EXPECT_EQ(Protect("locked.htm"), -1) << "final size unchanged";
  EXPECT_EQ(Protect("next.htm"), 3) << "no picture: left as it was";
  EndProtection();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "102 Can not open file " + (site / "locked.htm"));
  EXPECT_EQ(site.Read("locked.htm"), "<p>");
}

TEST_F(KernelTest, BadWidthLeavesItsPageAndItsSourcesAndTheRunGoesOn) {
  Bmp("a.bmp", 30, 30);
  Bmp("b.bmp", 30, 30);
  Bmp("c.bmp", 30, 30);
  const std::string page = "<img src=a.bmp><img src=b.bmp width=abc>";
  site.Write("p.htm", page);
  site.Write("q.htm", "<img src=c.bmp>");
  // UTF-16 with an unpaired surrogate could not be written back as it was.
  const std::string broken("\xFF\xFE<\0i\0m\0g\0 \0s\0r\0c\0=\0a\0.\0b\0m\0p\0>\0\x00\xD8", 34);
  site.Write("r.htm", broken);
  BeginProtection();
  try {
    Protect("p.htm");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.what(), (site / "p.htm") + ": 'abc' is not a valid integer value");
  }
  EXPECT_THROW(Protect("r.htm"), EConvertError);
  EXPECT_GT(Protect("q.htm"), 0);
  EndProtection();
  EXPECT_EQ(site.Read("p.htm"), page);
  EXPECT_EQ(site.Read("r.htm"), broken);
  EXPECT_TRUE(platform::FileExists(site / "a.bmp")) << "the unchanged page still shows it";
  EXPECT_TRUE(platform::FileExists(site / "b.bmp"));
  EXPECT_FALSE(platform::FileExists(site / "c.bmp"));
  // Two sources, three pages and q.htm's six pieces: a.bmp, cut for the page
  // left as it was, left no pieces behind.
  EXPECT_EQ(testsupport::FilesOf(testsupport::SnapshotTree(site.path())).size(), 2u + 3u + 6u);
}

TEST_F(KernelTest, SourceStaysWhileAnythingOfTheSiteStillRefersToIt) {
  // Each reference keeps the image of the same number; the control goes.
  const std::vector<std::pair<std::string, std::string>> references = {
      {"two.htm", "<img\n src=k0.bmp noprotect>"},
      {"two.htm", "<img src = \"k1.bmp\" noprotect>"},
      {"two.htm", "<img src=k2.bmp?v=2 onclick=x()>"},
      {"two.htm", "<img src=k3%2Ebmp onclick=x()>"},
      {"two.htm", "<img alt=\"a > b\" src=k4.bmp noprotect>"},
      {"two.htm", "<img\tsrc=k5.bmp noprotect>"},
      {"two.htm", "<a href=\"K6.BMP\">full size</a>"},
      {"two.htm", "<div style=\"background: url('k7.bmp')\"></div>"},
      {"site.css", "body { background: url(k8.bmp) }"},
      {"menu.js", "var over = 'sub/../k9.bmp';"},
      // Files of the site that the run did not read.
      {"other.htm", "<img src=k10.bmp>"},
      {"sub/deep.html", "<a href=\"../k11.bmp\">"},
      {"feed.xml", "<enclosure url=\"k12.bmp\"/>"},
      {"posts/trip.md", "![The harbour](../k13.bmp)"},  // a site generator's page source
      {"wide.htm", Utf8AsUtf16({"\xEF\xBB\xBF<img src=k14.bmp>"}, false)},  // saved as "Unicode"
      {"app.py", "LOGO = url_for('static', filename='k15.bmp')"},  // a web application's code
      {"two.htm", "<a href=\"k1&#54;.bmp\">"},
  };
  std::string one = "<head></head>", two;
  for (size_t i = 0; i < references.size(); ++i) {
    Bmp("k" + std::to_string(i) + ".bmp", 30, 30);
    one += "<img src=k" + std::to_string(i) + ".bmp>";
    if (references[i].first == "two.htm") {
      two += references[i].second;
    } else {
      site.Write(references[i].first, references[i].second);
    }
  }
  Bmp("gone.bmp", 30, 30);
  Bmp("kept.bmp", 30, 30);
  site.Write("one.htm", one + "<img src=gone.bmp><img src=kept.bmp>");
  // Another file's name that ends like it does not name it, nor does a
  // build tool's package.
  site.Write("two.htm", two + "<img src=kept.bmp><a href=\"undergone.bmp\">");
  site.Write("node_modules/pkg/doc.html", "<img src=gone.bmp>");
  TProtectionRun run(Options, home / "Backup/", nullptr);
  EXPECT_TRUE(run.ProtectPage(site / "one.htm").Written);
  EXPECT_TRUE(run.ProtectPage(site / "two.htm").Written);
  run.Finish(true);
  for (size_t i = 0; i < references.size(); ++i) {
    EXPECT_TRUE(platform::FileExists(site / ("k" + std::to_string(i) + ".bmp")))
        << references[i].second;
  }
  EXPECT_FALSE(platform::FileExists(site / "gone.bmp"));
  EXPECT_FALSE(platform::FileExists(site / "kept.bmp")) << "its tags were all replaced";
  EXPECT_EQ(run.Figures().SourcesDeleted, 2);
  EXPECT_EQ(run.Figures().SourcesKept.at("a page or file of the site still refers to it"), 17);

  // A run over one section reads the site above it too, found by the home
  // page's links into the section.
  Bmp("sec/up.bmp", 30, 30);
  Bmp("sec/own.bmp", 30, 30);
  site.Write("index.htm", "<a href=\"sec/s.htm\"><img src=\"sec/up.bmp\" noprotect></a>");
  site.Write("sec/s.htm", "<img src=up.bmp><img src=own.bmp>");
  TProtectionRun section(Options, home / "Backup/", nullptr);
  EXPECT_TRUE(section.ProtectPage(site / "sec/s.htm").Written);
  section.Finish(true);
  EXPECT_TRUE(platform::FileExists(site / "sec/up.bmp"));
  EXPECT_FALSE(platform::FileExists(site / "sec/own.bmp"));
}

TEST_F(KernelTest, ARunShortOfItsListKeepsEverySource) {
  Bmp("a.bmp", 30, 30);
  Bmp("b.bmp", 30, 30);
  site.Write("one.htm", "<img src=a.bmp>");
  site.Write("two.htm", "<img src=b.bmp>");
  const std::vector<std::string> pages = {site / "one.htm", site / "missing.htm", site / "two.htm"};
  {
    TProtectionRun run(Options, home / "Backup/", nullptr);
    TPageLoopEvents events;
    std::vector<size_t> done;
    size_t started = 0;
    events.PageStarting = [&](size_t, const std::string&) { ++started; };
    events.PageDone = [&](size_t i, const std::string&, const TPageOutcome&) { done.push_back(i); };
    // Cancelled once the first page is under way: that page is still
    // written and reported.
    events.Stopped = [&] { return started > 0; };
    const TPageLoopResult result = RunPageLoop(run, pages, events);
    EXPECT_FALSE(result.Completed);
    EXPECT_EQ(done, std::vector<size_t>{0});
    EXPECT_EQ(run.Figures().SourcesKept.at("the run did not finish its list"), 1);
  }
  EXPECT_TRUE(platform::FileExists(site / "a.bmp"));
  {
    TProtectionRun run(Options, home / "Backup/", nullptr);
    const TPageLoopResult result = RunPageLoop(run, {pages[1], pages[2]}, {});
    EXPECT_TRUE(result.Completed) << "a path that went is skipped";
  }
  EXPECT_FALSE(platform::FileExists(site / "b.bmp"));
}

// Escapes are decoded around where they stand in a large text: a name
// written with escapes is found however far its window reaches back, and
// a range the run replaced stays out of it.
TEST(SourceReferences, NamesWithEscapesAreFoundAnywhereInALargeText) {
  const std::string longName(200, 'x');
  std::string escaped;
  for (size_t i = 0; i < longName.size(); ++i) escaped += "%78";
  const std::string filler(5000, ' ');
  struct Case {
    std::string text;
    std::vector<std::pair<int, int>> skipped;
    std::string path;
    bool mentioned;
  };
  const std::string replaced = filler + "<img src=r.gif>%20" + filler;
  const int at = static_cast<int>(filler.size()) + 1;
  const Case cases[] = {
      {filler + escaped + ".gif" + filler, {}, "/s/" + longName + ".gif", true},
      {filler + longName + "%2Egif" + filler, {}, "/s/" + longName + ".gif", true},
      {"%41" + filler + escaped + "%2Egif" + filler + "%41", {}, "/s/" + longName + ".gif", true},
      {filler + "k%31" + filler + "%6B2.gif", {}, "/s/k2.gif", true},
      {filler + "%6B2.gif", {}, "/s/xk2.gif", false},
      {replaced, {{at, at + 14}}, "/s/r.gif", false},
      {replaced, {}, "/s/r.gif", true},
      // A page in windows-1252 names the file that has a UTF-8 name.
      {"<img src=\"B\xE4ume.gif\">", {}, "/s/B\xC3\xA4ume.gif", true},
      {"<img src=\"Baume.gif\">", {}, "/s/B\xC3\xA4ume.gif", false},
      {"<img src=\"B&auml;ume.gif\">", {}, "/s/B\xC3\xA4ume.gif", true},
      // Every extension in either case, wherever its dot falls, the last
      // bytes of the text too.
      {filler + "a.Png b.WEBP c.bmp d.JpE", {}, "/s/b.webp", true},
      {filler + "a.Png b.WEBP c.bmp d.JpE", {}, "/s/d.jpe", true},
      {filler + "Photo.JPEG", {}, "/s/photo.jpeg", true},
      {"x.gIf", {}, "/s/x.gif", true},
      {filler + "x.html. y.gi", {}, "/s/y.gif", false},
  };
  for (const Case& c : cases) {
    TSourceReferences references;
    references.NoteText(c.text, c.skipped);
    EXPECT_EQ(references.Mentions(c.path), c.mentioned) << c.path << " in " << c.text.size();
  }
}

TEST_F(KernelTest, SourceStaysWhileAnyPageOfTheRunStillShowsIt) {
  Bmp("a.bmp", 30, 30);
  Bmp("b.bmp", 30, 30);
  Bmp("c.bmp", 30, 30);
  site.Write("one.htm", "<img src=a.bmp><img src=b.bmp><img src=c.bmp>");
  site.Write("two.htm", "<img src=a.bmp NOPROTECT><a href=x onclick=go()><img src=\"b.bmp\"></a>");
  BeginProtection();
  Protect("one.htm");
  Protect("two.htm");
  EndProtection();
  EXPECT_TRUE(platform::FileExists(site / "a.bmp"));
  EXPECT_TRUE(platform::FileExists(site / "b.bmp"));
  EXPECT_FALSE(platform::FileExists(site / "c.bmp"));
}

TEST_F(KernelTest, RunRefusesToStartOnUnusableGrid) {
  Options.PieVer = 0;
  EXPECT_THROW(BeginProtection(), Exception);
  EXPECT_FALSE(platform::DirectoryExists(home / "Backup"));
  Options.PieVer = 2;
  Options.SliceByPixels = 1;
  Options.PixWidth = -4;
  EXPECT_THROW(BeginProtection(), Exception);
}

TEST_F(KernelTest, RestoreGivesBackTheTreeByteForByte) {
  Bmp("a.bmp", 64, 48);
  Bmp("img/b.bmp", 33, 17);
  site.Write("index.htm", "<head></head><a href=x>go<img src=a.bmp>now</a><img src=img/b.bmp>");
  site.Write("sub/p.htm", "<img src=../a.bmp><img src=../img/b.bmp>");
  site.Write("empty.htm", "");
  // Saved as "Unicode": protected as UTF-8 and written back in UTF-16.
  site.Write("wide.htm",
             Utf8AsUtf16({"\xEF\xBB\xBF<p>\xC3\xA9\xF0\x9F\x98\x80 <img src=a.bmp>"}, true));
  auto before = testsupport::SnapshotTree(site.path());
  BeginProtection();
  for (const char* page : {"index.htm", "sub/p.htm", "empty.htm", "wide.htm"}) Protect(page);
  EndProtection();
  const auto after = testsupport::SnapshotTree(site.path());
  ASSERT_NE(after, before);
  std::string wide = site.Read("wide.htm");
  EXPECT_TRUE(Utf16AsUtf8(wide));
  EXPECT_TRUE(wide.starts_with("\xEF\xBB\xBF" + HeadSnippet1()));
  EXPECT_NE(wide.find("<p>\xC3\xA9\xF0\x9F\x98\x80 <applet data-vlm=\"\"><table data-vlm"),
            std::string::npos);
  // Every file the run wrote, pages and pieces, has its digest noted.
  TBackupSet set = ReadBackupSet(home / "Backup/0");
  size_t written = 0;
  for (const auto& [name, content] : testsupport::FilesOf(after)) {
    if (before.count(name) && before.at(name).Content == content) continue;
    ++written;
    EXPECT_TRUE(DigestMatches(set.Digests[site.path() + "/" + name], content)) << name;
  }
  EXPECT_EQ(set.Digests.size(), written);
  TRestoreReport report = RestoreRun(set);
  EXPECT_TRUE(report.Ok());
  EXPECT_TRUE(report.KeptAside.empty());
  EXPECT_EQ(testsupport::DescribeDifferences(before, testsupport::SnapshotTree(site.path())), "");
}

// A run on several workers (pieces encoded while the run goes on, pictures
// decoded ahead) gives the same tree as on one: the same piece names, the
// same bytes, the same page outcomes and errors, and the backup set lists
// the files written in the same order with the same digests. The site is
// shaped like a real one: pages in folders sharing pictures of every kind,
// one shown at two sizes, one that does not decode, one first named by a
// tag that is refused, and more pages than a group holds.
TEST_F(KernelTest, SeveralWorkersWriteTheSameTreeAsOne) {
  const int workersBefore = WorkerCount();
  Options.ProtectPNG = 1;
  const int workerCounts[] = {1, 2, 3};
  std::map<std::string, std::string> trees[3];
  std::string digests[3], reports[3];
  for (int run = 0; run < 3; ++run) {
    TempDir dir;
    dir.Write("a.bmp", EncodeBmp(testimages::Noisy(120, 90)));
    dir.Write("img/b.jpg", EncodeJpeg(testimages::Noisy(200, 150, 2), true));
    dir.Write("img/c.gif", EncodeGif(testimages::Noisy(90, 60, 3)));
    dir.Write("d.png",
              EncodePng(ViewOf(testimages::Noisy(70, 80, 4)), TPixelView(), false, "", ""));
    dir.Write("img/e.jpg", EncodeJpeg(testimages::Noisy(160, 120, 5), false));
    dir.Write("img/broken.jpg", EncodeJpeg(testimages::Noisy(160, 120, 6), false).substr(0, 300));
    // Large enough to have its pieces encoded while it decodes; the second
    // one is first shown at another size.
    static_assert(1600 * 1300 >= TPictureLookAhead::kEarlyFrom);
    dir.Write("img/large.jpg", EncodeJpeg(testimages::Noisy(1600, 1300, 7), false));
    dir.Write("img/large2.jpg", EncodeJpeg(testimages::Noisy(1600, 1300, 8), false));
    dir.Write("index.htm",
              "<head></head><img src=a.bmp><a href=x><img src=img/b.jpg></a><img src=img/c.gif>");
    dir.Write("sub/p.htm",
              "<img src=../img/c.gif><img src=../a.bmp><img src=../d.png><img src=../img/large.jpg>"
              "<img src=../img/large2.jpg width=800><img src=../img/large2.jpg>");
    std::vector<std::string> pages = {dir / "index.htm", dir / "sub/p.htm"};
    const char* const tags[] = {"<img src=../img/e.jpg NOPROTECT>",
                                "<img src=../img/broken.jpg>",
                                "<img src=../img/e.jpg>",
                                "<img src=../img/b.jpg width=100>",
                                "<img src=../a.bmp>",
                                "<img src=../missing.gif>"};
    for (int p = 0; p < 40; ++p) {
      const std::string name = "s" + std::to_string(p % 4) + "/page" + std::to_string(p) + ".htm";
      dir.Write(name, std::string("<p>") + tags[p % 6] + tags[(p + 1) % 6] + "<img src=../d.png>");
      pages.push_back(dir / name);
    }
    SetWorkerCount(workerCounts[run]);
    {
      TProtectionRun protection(Options, dir / "Backup/", [&](int n, const std::string& m) {
        reports[run] += "error " + std::to_string(n) + " " + m + "\n";
      });
      // The same names in all runs, drawn from one seed.
      protection.Names() = TRandomFileName(7);
      TPageLoopEvents events;
      events.PageDone = [&](size_t i, const std::string&, const TPageOutcome& outcome) {
        reports[run] += std::to_string(i) + (outcome.Written ? " written " : " left ") +
                        std::to_string(outcome.FinalSize) + outcome.Error + "\n";
      };
      const TPageLoopResult result = RunPageLoop(protection, pages, events);
      EXPECT_TRUE(result.Completed && !result.Failure);
    }
    digests[run] = dir.Read("Backup/0.sum");
    for (std::string* text : {&digests[run], &reports[run]}) {
      for (size_t at; (at = text->find(dir.path())) != std::string::npos;) {
        text->replace(at, dir.path().size(), "DIR");
      }
    }
    fs::remove_all(dir / "Backup");
    trees[run] = testsupport::FilesOf(testsupport::SnapshotTree(dir.path()));
  }
  SetWorkerCount(workersBefore);
  EXPECT_TRUE(errors.empty());
  // Nine cuts of six pieces (b.jpg and large2.jpg at two sizes), all 42
  // pages, the broken picture and e.jpg, which a kept tag still shows.
  EXPECT_EQ(trees[0].size(), 42u + 9 * 6 + 2);
  EXPECT_EQ(CountOf(reports[0], " written "), 42);
  for (int run = 1; run < 3; ++run) {
    EXPECT_TRUE(trees[0] == trees[run]) << workerCounts[run] << " workers: the trees differ";
    EXPECT_EQ(digests[0], digests[run]) << workerCounts[run] << " workers";
    EXPECT_EQ(reports[0], reports[run]) << workerCounts[run] << " workers";
  }
}

TEST_F(KernelTest, ProtectingTwiceChangesNothingTheFirstRunMade) {
  Bmp("a.bmp", 30, 20);
  Bmp("b.bmp", 30, 20);
  site.Write("p.htm", "<head></head><img src=a.bmp><a href=x><img src=b.bmp></a>");
  std::string first;
  for (int run = 0; run < 2; ++run) {
    Options.ATag = 1;
    Options.Markup = run == 0 ? TMarkup::Table : TMarkup::Layered;
    BeginProtection();
    Protect("p.htm");
    EndProtection();
    if (run == 0)
      first = site.Read("p.htm");
    else
      EXPECT_EQ(site.Read("p.htm"), first);
  }
  Options.Markup = TMarkup::Table;
  EXPECT_EQ(CountOf(first, TailSnippet()), 1);
  EXPECT_EQ(CountOf(first, "<table"), 2);
  RestoreRun(ReadBackupSet(home / "Backup/0"));
  EXPECT_EQ(site.Read("p.htm"), "<head></head><img src=a.bmp><a href=x><img src=b.bmp></a>");
  EXPECT_TRUE(platform::FileExists(site / "a.bmp"));

  // Twice in one list, and once more under another name (a hard link): the
  // second and third time read what the first wrote, though pages are
  // written a group at a time.
  ASSERT_EQ(::link((site / "p.htm").c_str(), (site / "q.htm").c_str()), 0);
  BeginProtection();
  Protect("p.htm");
  Protect("q.htm");
  Protect("p.htm");
  EndProtection();
  EXPECT_EQ(CountOf(site.Read("p.htm"), "<table"), 2);
  EXPECT_TRUE(errors.empty()) << errors.front();
  const TBackupSet set = ReadBackupSet(home / "Backup/2");
  EXPECT_EQ(std::count_if(set.Entries.begin(), set.Entries.end(),
                          [](const TBackupEntry& e) { return !e.IsImage; }),
            1)
      << "the second time finds nothing to change";
}

}  // namespace
