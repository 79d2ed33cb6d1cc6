// Malformed and hostile input: images built to hurt, pages that are not
// what a page should be, options files with every kind of bad line. Each gets
// its documented refusal or error - never a crash or a hang - and nothing on
// disk changes beyond what the run reports.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "engine/ImageDecoder.h"
#include "engine/PageSnippets.h"
#include "testsupport/TempDir.h"
#include "testsupport/SampleImages.h"
#include "tests/SiteTools.h"

namespace {

using namespace std::string_literals;
using testsupport::TempDir;
using sitetools::SnapshotTree;
namespace fs = std::filesystem;

struct KindOfFiles {
  ImageKind Kind;
  const char* Extension;
  std::vector<samples::SampleFile> Valid, Hostile;
};

const std::vector<KindOfFiles>& AllSamples() {
  static const std::vector<KindOfFiles> all = {
      {ImageKind::BMP, ".bmp", samples::ValidBmpFiles(), samples::HostileBmpFiles()},
      {ImageKind::GIF, ".gif", samples::ValidGifFiles(), samples::HostileGifFiles()},
      {ImageKind::JPEG, ".jpg", samples::ValidJpegFiles(), samples::HostileJpegFiles()}};
  return all;
}

sitetools::ProgramResult Cli(const TempDir& dir, const std::vector<std::string>& args) {
  std::vector<std::string> argv = {VLM_PROGRAM_DIR "/vlm-cli"};
  argv.insert(argv.end(), args.begin(), args.end());
  return sitetools::RunProgram(argv, {"VLM_HOME=" + (dir / "home")}, std::chrono::seconds(300));
}

sitetools::ProgramResult Protect(const TempDir& dir) {
  return Cli(dir, {"protect", "--types", "gif,jpg,bmp", "--min", "1x1", "--grid", "2x2", "--links",
                   dir / "site"});
}

void MakeHome(const TempDir& dir) {
  fs::create_directories(dir / "home");
  fs::copy_file(VLM_PROGRAM_DIR "/vlm.ini", dir / "home/vlm.ini");
}

// Runs vlm-cli over the site of `dir`, checks that every change is one the
// run reports, lets `inspect` look at the protected site, and checks that
// restoring gives the site back; returns the run.
sitetools::ProgramResult ProtectAccountAndRestore(
    const TempDir& dir, const std::function<void(const sitetools::TreeSnapshot&)>& inspect) {
  const auto before = SnapshotTree(dir / "site");
  auto run = Protect(dir);
  EXPECT_FALSE(run.TimedOut) << "the run hung";
  EXPECT_EQ(run.Signal, 0) << run.Err;
  const auto after = SnapshotTree(dir / "site");
  inspect(after);
  const auto report = sitetools::ParseRunReport(run.Out);
  EXPECT_EQ(sitetools::UnaccountedChanges(dir / "site", before, after, report), "") << run.Out;
  auto restore = Cli(dir, {"restore"});
  EXPECT_EQ(restore.Status, 0) << restore.Out << restore.Err;
  EXPECT_EQ(sitetools::DescribeDifferences(before, SnapshotTree(dir / "site")), "");
  return run;
}

TEST(HostileImages, EverySampleGetsItsDocumentedAnswer) {
  int files = 0;
  for (const auto& kind : AllSamples()) {
    for (const auto* list : {&kind.Valid, &kind.Hostile}) {
      for (const auto& file : *list) {
        TSourceImage image;
        EXPECT_EQ(DecodeImage(kind.Kind, file.Bytes, image), file.Decodes) << file.Name;
        if (!file.Decodes) {
          EXPECT_TRUE(image.Bitmap.Pixels.empty()) << file.Name;
        }
        ++files;
      }
    }
  }
  RecordProperty("sample_files", files);
}

TEST(HostileImages, SamplesAreWhatTheirNamesSay) {
  auto find = [](const std::vector<samples::SampleFile>& files, const std::string& name) {
    for (const auto& f : files) {
      if (f.Name == name) return f.Bytes;
    }
    ADD_FAILURE() << "no sample " << name;
    return std::string();
  };
  EXPECT_EQ(samples::CountJpegScans(find(samples::HostileJpegFiles(), "scans-384.jpg")), 384);
  EXPECT_EQ(samples::CountJpegScans(find(samples::HostileJpegFiles(), "scans-576.jpg")), 576);
  EXPECT_EQ(samples::CountJpegScans(find(samples::ValidJpegFiles(), "scans-128-grey.jpg")), 128);
  TSourceImage progressive;
  ASSERT_TRUE(DecodeImage(ImageKind::JPEG, find(samples::HostileJpegFiles(), "scans-384.jpg"),
                          progressive));
  EXPECT_TRUE(progressive.Progressive);
  const std::string frames = find(samples::HostileGifFiles(), "frames-3001.gif");
  EXPECT_EQ(std::count(frames.begin(), frames.end(), '\x2C'), 3001) << "one descriptor per frame";
}

// A truncated file is refused, or - where the format lets the end go missing
// (a GIF's trailer) - read as the very same picture; never as another one.
TEST(HostileImages, EveryCutOfAValidImageIsRefusedOrTheSamePicture) {
  int cuts = 0;
  for (const auto& kind : AllSamples()) {
    for (const auto& file : kind.Valid) {
      TSourceImage whole;
      ASSERT_TRUE(DecodeImage(kind.Kind, file.Bytes, whole)) << file.Name;
      for (size_t n = 0; n < file.Bytes.size(); ++n) {
        TSourceImage cut;
        if (DecodeImage(kind.Kind, std::string_view(file.Bytes).substr(0, n), cut)) {
          EXPECT_EQ(cut.Bitmap.Width, whole.Bitmap.Width) << file.Name << " cut at " << n;
          EXPECT_EQ(cut.Bitmap.Pixels, whole.Bitmap.Pixels) << file.Name << " cut at " << n;
        }
        ++cuts;
      }
    }
  }
  RecordProperty("cuts", cuts);
}

// Every sample as a source image of a page: the good ones are sliced, the
// hostile ones keep their tags, and the run reports exactly that.
TEST(HostileImages, ARunSlicesWhatDecodesAndLeavesTheRestAsWritten) {
  TempDir dir;
  MakeHome(dir);
  std::string page = "<html><head></head><body>\n";
  std::vector<std::string> refusedTags;
  int decodable = 0, n = 0;
  for (const auto& kind : AllSamples()) {
    for (const auto* list : {&kind.Valid, &kind.Hostile}) {
      for (const auto& file : *list) {
        // Each file under a name of its own kind's extension.
        std::string name = "img/" + std::to_string(n++) + "-" +
                           file.Name.substr(0, file.Name.rfind('.')) + kind.Extension;
        dir.Write("site/" + name, file.Bytes);
        std::string tag = "<img src=\"" + name + "\">";
        page += tag + "\n";
        if (file.Decodes) {
          ++decodable;
        } else {
          refusedTags.push_back(tag);
        }
      }
    }
  }
  page += "</body></html>\n";
  dir.Write("site/images.htm", page);
  auto run = ProtectAccountAndRestore(dir, [&](const sitetools::TreeSnapshot& after) {
    const std::string& out = after.at("images.htm").Content;
    for (const auto& tag : refusedTags) EXPECT_NE(out.find(tag + "\n"), std::string::npos) << tag;
  });
  EXPECT_EQ(run.Status, 0) << "refusals are silent: " << run.Err;
  const auto report = sitetools::ParseRunReport(run.Out);
  EXPECT_EQ(report.Images, decodable);
  EXPECT_EQ(report.Pieces, 4 * decodable);
  RecordProperty("images_in_run", n);
}

// Pages that are not what a page should be, all in one run.
TEST(HostilePages, EachIsProcessedAsTextAndTheRunReportsEveryChange) {
  TempDir dir;
  MakeHome(dir);
  samples::GifSpec gif;
  gif.ScreenWidth = 8;
  gif.ScreenHeight = 6;
  gif.GlobalPalette = samples::TestPalette(4);
  gif.Frames.push_back({0, 0, 8, 6, std::vector<uint8_t>(48, 2), {}, -1, false});
  const std::string image = samples::BuildGif(gif);
  dir.Write("site/a.gif", image);
  dir.Write("site/nul", image);                   // reached only through a NUL in a SRC
  dir.Write("site/\xFF\xFE\xC0\xAF.gif", image);  // a file name that is no UTF-8

  std::map<std::string, std::string> pages;
  pages["unterminated-img.htm"] = "<html><head></head><body><p>text<IMG src=a.gif alt=\"x";
  pages["unterminated-link.htm"] = "<body><a href=x.htm><img src=a.gif></a<p>after";
  pages["link-start-without-end.htm"] = "<body><a href=\"x.htm\" <img src=a.gif> text";
  pages["unterminated-head.htm"] = "<html><head><title>t</title></HEAD<body><img src=a.gif>";
  pages["unterminated-comment.htm"] = "<html><head></head><!-- <img src=a.gif> <img src=a.gif";
  pages["tag-name-then-line-break.htm"] = "<body><img\r\nsrc=a.gif><IMG\tsrc=a.gif>";
  pages["only-brackets.htm"] = std::string(5000, '<') + std::string(5000, '>');
  std::string many = "<html><head></head><body>\n";
  for (int i = 0; i < 10000; ++i)
    many += i % 2 ? "<img src=a.gif>" : "<A href=#><img src='a.gif'></A>\n";
  pages["img-tags-10000.htm"] = many + "</body></html>";
  pages["nul-bytes.htm"] =
      "<html>\0<head>\0</head><body>\0<img src=\"nul\0.gif\"><img\0src=a.gif>"
      "<img src=a.gif alt=\"\0\">\0\0"s;
  pages["invalid-utf8.htm"] =
      "<html><head><title>\xC0\xAF\xED\xA0\x80\xF8\x88\x80\x80\x80</title></head><body>"
      "\xFF\xFE<img src=\"\xFF\xFE\xC0\xAF.gif\" alt=\"\xE2\x82\"> \xE2\x82\xAC\x80</body></html>";
  for (const auto& [name, text] : pages) dir.Write("site/" + name, text);
  // 50 MB of text around a few tags.
  {
    std::string big = "<html><head></head><body>\n";
    const std::string line =
        "<p>Lorem ipsum dolor sit amet, <b>consectetur</b> adipiscing elit.</p>\n";
    big.reserve(50u << 20);
    while (big.size() < (50u << 20)) {
      big += line;
      if (big.size() % 7919 < line.size()) big += "<img src=a.gif width=8>\n";
    }
    dir.Write("site/page-50mb.htm", big + "</body></html>\n");
  }

  auto run = ProtectAccountAndRestore(dir, [&](const sitetools::TreeSnapshot& after) {
    // Pages in which no picture is protected are left as they were. A link
    // tag left open takes "<img" for one of its attributes, as browsers do.
    const std::set<std::string> unchanged = {"unterminated-img.htm", "only-brackets.htm",
                                             "link-start-without-end.htm"};
    for (const auto& [name, text] : pages) {
      const std::string& out = after.at(name).Content;
      if (unchanged.count(name)) {
        EXPECT_EQ(out, text) << name;
      } else {
        EXPECT_EQ(out.substr(out.size() - TailSnippet().size()), TailSnippet()) << name;
      }
    }
    EXPECT_NE(after.at("nul-bytes.htm").Content.find("<img src=\"nul\0.gif\">"s),
              std::string::npos);
    EXPECT_NE(after.at("unterminated-img.htm").Content.find("<IMG src=a.gif alt=\"x"),
              std::string::npos);
    EXPECT_EQ(after.at("tag-name-then-line-break.htm").Content.find("src=a.gif"), std::string::npos)
        << "a line break or a tab after the tag's name still makes an IMG tag";
    EXPECT_TRUE(after.count("nul")) << "the file a NUL would have reached is still there";
  });
  EXPECT_EQ(run.Status, 0) << run.Err;
  const auto report = sitetools::ParseRunReport(run.Out);
  EXPECT_EQ(report.PageSizes.size(), pages.size() + 1 - 3)
      << "every page with a protected picture was written";
  EXPECT_EQ(report.Images, 2) << "a.gif once for all its tags, and the non-UTF-8 name";
  EXPECT_EQ(report.Pieces, 8);
}

// Every kind of bad line in vlm.ini: the documented message, exit status 2,
// and nothing changed - not the site, not vlm.ini, no backup folder.
TEST(HostileOptions, EveryBadFileIsRefusedWithItsMessageAndChangesNothing) {
  const std::string shipped = TempDir::ReadFile(VLM_PROGRAM_DIR "/vlm.ini");
  auto withLines = [&](const std::vector<std::pair<int, std::string>>& changes) {
    auto lines = std::vector<std::string>();
    size_t start = 0;
    for (size_t end; (end = shipped.find("\r\n", start)) != std::string::npos; start = end + 2) {
      lines.push_back(shipped.substr(start, end - start));
    }
    for (const auto& [line, text] : changes) lines[line - 1] = text;
    std::string out;
    for (const auto& l : lines) out += l + "\r\n";
    return out;
  };
  auto withLine = [&](int line, const std::string& text) { return withLines({{line, text}}); };
  auto firstLines = [&](int count) {
    size_t at = 0;
    for (int i = 0; i < count; ++i) at = shipped.find("\r\n", at) + 2;
    return shipped.substr(0, at);
  };
  struct Case {
    const char* what;
    std::string content;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"empty file", "", "List index out of bounds (0)"},
      {"fifteen lines", firstLines(15), "List index out of bounds (15)"},
      {"a NUL in line 5 ends the data", firstLines(4) + "\0\r\n1\r\n"s + firstLines(16),
       "List index out of bounds (4)"},
      {"a word for a Boolean", withLine(1, "yes"), "'yes' is not a valid integer value"},
      {"an empty Boolean", withLine(3, ""), "'' is not a valid integer value"},
      {"a blank after a number", withLine(8, "16 "), "'16 ' is not a valid integer value"},
      {"a fraction", withLine(9, "1.5"), "'1.5' is not a valid integer value"},
      {"a hex prefix alone", withLine(10, "0x"), "'0x' is not a valid integer value"},
      {"a dollar alone", withLine(11, "$"), "'$' is not a valid integer value"},
      {"a sign alone", withLine(12, "+"), "'+' is not a valid integer value"},
      {"past 32 bits", withLine(13, "2147483648"), "'2147483648' is not a valid integer value"},
      {"below 32 bits", withLine(7, "-2147483649"), "'-2147483649' is not a valid integer value"},
      {"nine hex digits", withLine(6, "$1FFFFFFFF"), "'$1FFFFFFFF' is not a valid integer value"},
      {"an empty last fixed line", withLine(16, ""), "'' is not a valid integer value"},
      {"a byte-order mark", "\xEF\xBB\xBF" + shipped, "' is not a valid integer value"},
      {"binary", "\x89PNG\r\n\x1A\n\0\0\0\rIHDR"s, "'\x89PNG' is not a valid integer value"},
      {"a zero grid", withLine(10, "0"), "the number of pieces across is 0"},
      {"a negative piece size", withLines({{6, "1"}, {12, "-64"}}),
       "the width of a piece is -64"},
  };
  int tried = 0;
  for (const auto& c : cases) {
    TempDir dir;
    fs::create_directories(dir / "home");
    dir.Write("home/vlm.ini", c.content);
    dir.Write("site/index.htm", "<html><head></head><img src=a.gif></html>");
    dir.Write("site/a.gif", samples::ValidGifFiles()[0].Bytes);
    const auto before = SnapshotTree(dir.path());
    auto run = Cli(dir, {"protect", dir / "site"});
    EXPECT_EQ(run.Status, 2) << c.what << ": " << run.Out << run.Err;
    EXPECT_NE(run.Err.find(c.message), std::string::npos) << c.what << ": " << run.Err;
    EXPECT_EQ(sitetools::DescribeDifferences(before, SnapshotTree(dir.path())), "") << c.what;
    ++tried;
  }
  // A missing file and a folder in its place.
  for (bool folder : {false, true}) {
    TempDir dir;
    fs::create_directories(dir / (folder ? "home/vlm.ini" : "home"));
    dir.Write("site/index.htm", "<img src=a.gif>");
    const auto before = SnapshotTree(dir.path());
    auto run = Cli(dir, {"protect", dir / "site"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Err.find("Cannot open file \"" + (dir / "home/vlm.ini") + "\". " +
                           (folder ? "Is a directory" : "No such file or directory")),
              std::string::npos)
        << run.Err;
    EXPECT_EQ(sitetools::DescribeDifferences(before, SnapshotTree(dir.path())), "");
    ++tried;
  }
  RecordProperty("bad_option_files", tried);
}

}  // namespace
