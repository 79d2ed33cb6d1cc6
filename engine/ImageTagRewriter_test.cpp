#include "engine/ImageTagRewriter.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "engine/BmpCodec.h"
#include "engine/DocumentMode.h"
#include "engine/GifCodec.h"
#include "engine/PagePolicy.h"
#include "engine/PictureLookAhead.h"
#include "engine/ScriptNames.h"
#include "engine/TagScan.h"
#include "platform/Exception.h"
#include "testsupport/TempDir.h"
#include "testsupport/TestImages.h"

namespace {

using testsupport::TempDir;

TEST(TagScan, AttributesAreReadAsBrowsersReadThem) {
  struct Case {
    const char* tag;
    const char* name;
    const char* value;
  };
  const Case cases[] = {
      {"<IMG src=a.gif>", "SRC=", "a.gif"},
      {"<img SRC='a b.gif' alt=x>", "SRC=", "a b.gif"},
      {"<img src=\"a.gif\">", "SRC", "a.gif"},
      {"<img\nsrc\t =\r\n \"a.gif\">", "SRC=", "a.gif"},
      {"<img src = a.gif width=3>", "SRC=", "a.gif"},
      {"<img src=a.gif\twidth=3>", "SRC=", "a.gif"},
      {"<img data-src=lazy.gif src=blank.gif>", "SRC=", "blank.gif"},
      {"<img data-src=lazy.gif>", "SRC=", "-1"},
      {"<img lowsrc=low.gif src=a.gif>", "SRC=", "a.gif"},
      {"<img alt=\"see src=x.gif\" src=a.gif>", "SRC=", "a.gif"},
      {"<img alt=\"a > b\" src=a.gif>", "SRC=", "a.gif"},
      {"<img src=a.gif src=b.gif>", "SRC=", "a.gif"},
      {"<img src width=3>", "SRC=", "-1"},
      {"<img src=\"a.gif>", "SRC=", "a.gif>"},
      {"<img width=50% src=a.gif>", "WIDTH=", "50%"},
      {"<img src=a.gif/>", "SRC=", "a.gif/"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetAttributeValue(c.tag, c.name), c.value) << c.tag;
  }
}

TEST(TagScan, ImageTagsStartWithAnyBlankAndEndOutsideQuotes) {
  struct Case {
    const char* page;
    int start;  // 0: not found
    int end;
  };
  const Case cases[] = {
      {"x<img src=a>", 2, 12},
      {"<IMG\tsrc=a>", 1, 11},
      {"<img\nsrc=a>", 1, 11},
      {"<img\r\nsrc=a>", 1, 12},
      {"<img\fsrc=a>", 1, 11},
      {"<imgx src=a><img src=b>", 13, 23},
      {"<img>", 0, 0},
      {"<img/src=a>", 1, 11},
      {"<img/>", 0, 0},
      {"<img/ src=a>", 1, 12},
      {"<img alt=\"a>b\" src=c>", 1, 21},
      {"<img alt='it\"s' src=c>", 1, 22},
      {"<img alt=don't src=c>", 1, 21},
      {"<img alt=\"open src=c> more", 1, 21},  // a quote never closed
      {"<img src=a", 1, 0},
  };
  for (const Case& c : cases) {
    const int start = FindImageTag(c.page, 1);
    EXPECT_EQ(start, c.start) << c.page;
    if (start > 0) {
      EXPECT_EQ(FindTagEnd(c.page, start), c.end) << c.page;
    }
  }
  // A page made for narrow screens declares a viewport in a META tag.
  EXPECT_TRUE(DeclaresViewport("<meta charset=utf-8><META NAME='Viewport' content=\"x\">"));
  EXPECT_FALSE(DeclaresViewport("<meta name=description content=\"name=viewport\">"));
  EXPECT_FALSE(DeclaresViewport("<p>the viewport</p><meta name=\"viewport"));
  EXPECT_FALSE(DeclaresViewport("<!-- <meta name=viewport content=\"width=device-width\"> -->"));
  // The document type declaration sets the mode browsers lay the page out
  // in; a page read as XML has none but the standard one.
  const struct {
    const char* opening;
    bool quirks;
  } modes[] = {
      {"<!DOCTYPE html>", false},
      {"\xEF\xBB\xBF <!-- made by hand --><?xml version=\"1.0\"?>\n<!doctype HTML>", false},
      {"<html>", true},
      {"text <!DOCTYPE html>", true},
      {"<!DOCTYPE>", true},
      {"<!DOCTYPE svg>", true},
      {"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">", true},
      {"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
       "\"http://www.w3.org/TR/html4/loose.dtd\">",
       false},
      {"<!DOCTYPE html PUBLIC '-//w3c//dtd html 3.2 final//en'>", true},
      {"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">", false},
      {"<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
       "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">",
       false},
      {"<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.0//EN>", true},  // the quote is cut short
      {"<!DOCTYPE html SYSTEM \"about:legacy-compat\">", false},
      {"<!DOCTYPE html SYSTEM>", true},
  };
  for (const auto& m : modes) {
    EXPECT_EQ(InQuirksMode(std::string(m.opening) + "<p>x", false), m.quirks) << m.opening;
    EXPECT_FALSE(InQuirksMode(m.opening, true)) << m.opening;
  }
  // What a security policy in the head lets the markup use: inline styles,
  // and data: pictures.
  const struct {
    const char* policy;
    bool styles, data;
  } policies[] = {
      {"default-src 'self'", false, false},
      {"default-src 'self'; style-src 'self' 'unsafe-inline'; img-src *", true, false},
      {"style-src 'unsafe-inline' 'nonce-abc'", false, true},  // the nonce turns it off
      {"STYLE-SRC-ATTR 'none'; img-src 'self' data:", false, true},
      {"script-src 'self'", true, true},
  };
  for (const auto& p : policies) {
    const std::string meta =
        std::string("<meta http-equiv=Content-Security-Policy content=\"") + p.policy + "\">";
    const TPagePolicy policy = PagePolicyOf("<head>" + meta + "</head><img src=a>");
    EXPECT_EQ(policy.InlineStyles, p.styles) << p.policy;
    EXPECT_EQ(policy.DataImages, p.data) << p.policy;
    // Not in the head (after a picture) or kept in a comment, it does not count.
    EXPECT_TRUE(PagePolicyOf("<img src=a>" + meta).InlineStyles);
    EXPECT_TRUE(PagePolicyOf("<!-- " + meta + " --><img src=a>").DataImages);
  }
}

TEST(ImageTagRewriter, SourcesResolveAgainstThePageFolder) {
  struct Case {
    const char* folder;
    const char* src;
    const char* path;
  };
  const Case cases[] = {
      {"/site/", "a.gif", "/site/a.gif"},
      {"/site/", "images/a.gif", "/site/images/a.gif"},
      {"/site/", "images\\a.gif", "/site/images/a.gif"},
      {"/site/sub/", "../a.gif", "/site/a.gif"},
      {"/site/", "./x/../a.gif", "/site/a.gif"},
      {"/site/", "/abs/a.gif", "/abs/a.gif"},
      {"/", "../../a.gif", "/a.gif"},
      {"/site/", "a.gif?v=2", "/site/a.gif?v=2"},
  };
  for (const Case& c : cases) EXPECT_EQ(ExpandImagePath(c.folder, c.src), c.path) << c.src;
}

class JudgeTest : public testing::Test {
 protected:
  void SetUp() override {
    options.ProtectBMP = options.ProtectGIF = options.ProtectJPG = 1;
    options.PieHor = options.PieVer = 2;
    dir.Write("a.bmp", EncodeBmp(testimages::Gradient(40, 30)));
    dir.Write("img/b.bmp", EncodeBmp(testimages::Gradient(20, 20)));
  }
  TTagDecision Judge(const std::string& tag, TScriptNames* scripts = nullptr) {
    candidate = TImageCandidate{};
    return JudgeImageTag(tag, PageBaseAddress("", dir.path() + "/", ""), "", options, cut,
                         candidate, false, nullptr, scripts);
  }

  TempDir dir;
  TOptions options;
  TCutImages cut;
  TImageCandidate candidate;
};

TEST_F(JudgeTest, TagsAreRefusedOrTakenByTheRules) {
  using D = TTagDecision;
  struct Case {
    const char* tag;
    TTagDecision decision;
  };
  const Case cases[] = {
      {"<img src=a.bmp>", D::New},
      {"<img src=a.bmp onmouseover=x()>", D::Refused},
      {"<img src=a.bmp alt=\"ONCLICK=\">", D::Refused},
      {"<img src=a.bmp usemap=#m>", D::Refused},
      {"<img src=a.bmp ISMAP>", D::Refused},  // the link's server reads where it was clicked
      {"<img src=a.bmp alt=ismap>", D::New},
      {"<img onload=x() src=a.bmp>", D::Refused},  // from the tag's sixth byte on
      {"<img src=a.bmp alt=\"a=b OnError=\">", D::Refused},
      {"<img src=a.bmp alt=usemap onclick =x()>", D::New},  // the "=" is part of the name
      {"<img src=a.bmp noprotect>", D::Refused},
      {"<img alt=x>", D::Refused},
      {"<img src=missing.bmp>", D::Refused},
      {"<img src=a.bmp width=100%>", D::Refused},
      {"<img src=a.bmp width=39>", D::New},
      {"<img src=a.bmp width=9>", D::Refused},  // below the minimum
      {"<img src=A.BMP>", D::Refused},          // letter case names another file
      {"<img src=img\\b.bmp>", D::New},
      // A script swaps in the picture a data- attribute names.
      {"<img src=a.bmp data-src=big.jpg>", D::Refused},
      {"<img src=a.bmp DATA-ORIGINAL='img/Big.JPEG?v=2'>", D::Refused},
      {"<img src=a.bmp data-lazy-srcset=\"b.webp 1x, c.webp 2x\">", D::Refused},
      {"<img src=a.bmp data-zoom=\"/z/a.png#x\">", D::Refused},
      {"<img src=a.bmp data-caption=\"a .gif of us\" data-n=gif data-x=a.gifts>", D::New},
      {"<img src=a.bmp title=big.jpg>", D::New},
  };
  options.MinWidth = 10;
  for (const Case& c : cases) EXPECT_EQ(Judge(c.tag), c.decision) << c.tag;
  options.ProtectBMP = 0;
  EXPECT_EQ(Judge("<img src=a.bmp>"), D::Refused);
}

TEST_F(JudgeTest, WidthAndHeightAreReadAsBrowsersReadThemOrThePageIsTold) {
  // The picture is 40 x 30; -1 stands for a tag left alone.
  const struct {
    const char* attributes;
    int32_t width, height;
  } cases[] = {
      {"width=' 24' height=12", 24, 12}, {"width=24px", 24, 18},      {"width=\"24.5\"", 25, 19},
      {"width=\"24.4 px\"", 24, 18},     {"height=\"15e2\"", 20, 15}, {"width=50%", -1, -1},
      {"height=\" 10%\"", -1, -1},       {"width=100%", -1, -1},      {"width=0x40", -1, -1},
      {"width=99999999999", -1, -1},
  };
  for (const auto& c : cases) {
    const TTagDecision d = Judge(std::string("<img src=a.bmp ") + c.attributes + ">");
    EXPECT_EQ(d, c.width < 0 ? TTagDecision::Refused : TTagDecision::New) << c.attributes;
    if (c.width < 0) continue;
    EXPECT_EQ(candidate.Width, c.width) << c.attributes;
    EXPECT_EQ(candidate.Height, c.height) << c.attributes;
  }
  // Browsers ignore these; the run says so rather than guess.
  for (const char* value : {"$20", "abc", "+12", "-5", "\"\""}) {
    try {
      Judge(std::string("<img src=a.bmp width=") + value + ">");
      ADD_FAILURE() << value;
    } catch (const EConvertError& e) {
      EXPECT_NE(std::string(e.what()).find("is not a valid integer value"), std::string::npos);
    }
  }
}

TEST_F(JudgeTest, SrcDirEndsAtTheLastSlashOrBackslash) {
  ASSERT_EQ(Judge("<img src=img\\b.bmp>"), TTagDecision::New);
  EXPECT_EQ(candidate.Target.SrcDir, "img\\");
  ASSERT_EQ(Judge("<img src=./img/b.bmp>"), TTagDecision::New);
  EXPECT_EQ(candidate.Target.SrcDir, "./img/");
  EXPECT_EQ(candidate.Target.ImagePath, dir / "img/b.bmp");
}

TEST_F(JudgeTest, OnlyRegularFilesAreReadAsPictures) {
  ASSERT_EQ(::mkfifo((dir / "pipe.gif").c_str(), 0600), 0);
  ASSERT_EQ(::mkdir((dir / "folder.gif").c_str(), 0700), 0);
  EXPECT_EQ(Judge("<img src=pipe.gif>"), TTagDecision::Refused);
  EXPECT_EQ(Judge("<img src=folder.gif>"), TTagDecision::Refused);
}

TEST_F(JudgeTest, AnImageIsReusedOnlyAtTheSizeAndBleedItWasCutAt) {
  // Pieces cut for a layered picture hold nothing of their neighbours: a
  // table, whose pieces do, cuts its own.
  cut.Add(dir / "a.bmp", 40, 30, 40, 30, PieceBleed(TMarkup::Layered));
  EXPECT_EQ(Judge("<img src=a.bmp>"), TTagDecision::New);
  cut.Add(dir / "a.bmp", 40, 30, 40, 30, PieceBleed(TMarkup::Table));
  EXPECT_EQ(Judge("<img src=a.bmp>"), TTagDecision::Reused);
  EXPECT_EQ(Judge("<img src=a.bmp width=40 height=30>"), TTagDecision::Reused);
  EXPECT_EQ(Judge("<img src=a.bmp width=20 height=15>"), TTagDecision::New);
  EXPECT_EQ(candidate.Width, 20);
  EXPECT_EQ(Judge("<img src=a.bmp height=100%>"), TTagDecision::Refused);
}

// The pictures a page names, as the look-ahead lists them: each file once,
// of a kind the options protect, on this machine, whatever the tag says
// besides; the judging decides the rest.
TEST_F(JudgeTest, PagesNameThePicturesTheirTagsShow) {
  options.SiteRoot = "/site";
  const std::string page =
      "<img src=a.bmp><IMG SRC='img/b.bmp' noprotect><img src=a.bmp width=3>"
      "<img src=http://x/c.gif><img src=//x/d.gif><img src=e.png><img src=f.svg><img alt=x>"
      "<img src=\"/g.jpg?v=2\"><img src=h.jpeg#x><img src=noext><img src=%00.gif><img src=i.GIF";
  std::string listed;
  for (const TPictureGuess& p :
       PicturesNamedBy(page, PageBaseAddress(page, dir.path() + "/", ""), options)) {
    listed += p.Path.substr(p.Path.rfind('/') + 1) + ":" + KindName(p.Kind) + " ";
  }
  EXPECT_EQ(listed, "a.bmp:BMP b.bmp:BMP g.jpg:JPEG h.jpeg:JPEG ");
  options.ProtectJPG = 0;
  EXPECT_EQ(PicturesNamedBy(page, PageBaseAddress(page, dir.path() + "/", ""), options).size(), 2u);
}

// A picture decoded ahead is what decoding the run's own bytes gives; the run
// takes it once, and only when it read the very same bytes as the same kind.
TEST_F(JudgeTest, PicturesDecodedAheadAreTakenOnlyFromTheSameBytes) {
  dir.Write("c.gif", EncodeGif(testimages::Noisy(30, 20, 3)));
  dir.Write("d.gif", EncodeGif(testimages::Noisy(30, 20, 4)));
  dir.Write("broken.bmp", EncodeBmp(testimages::Gradient(40, 30)).substr(0, 60));
  ASSERT_EQ(::mkfifo((dir / "pipe.gif").c_str(), 0600), 0);
  dir.Write("p0.htm", "<img src=pipe.gif><img src=a.bmp><img src=broken.bmp><img src=missing.gif>");
  dir.Write("p1.htm", "<img src=img/b.bmp><img src=a.bmp><img src=c.gif><img src=d.gif>");
  const std::vector<std::string> pages = {dir / "p0.htm", dir / "p1.htm"};
  TWorkerPool pool(2);
  TPictureLookAhead ahead(pool, options);
  ahead.Foresee(pages, 0);
  ahead.Settle();
  dir.Write("img/b.bmp", EncodeBmp(testimages::Gradient(20, 21)));

  struct Case {
    const char* file;
    ImageKind kind;
    bool taken, decoded;
  };
  const Case cases[] = {
      {"a.bmp", ImageKind::BMP, true, true},       {"a.bmp", ImageKind::BMP, false, false},
      {"img/b.bmp", ImageKind::BMP, false, false},  // changed since
      {"c.gif", ImageKind::JPEG, false, false},     // read as another kind
      {"broken.bmp", ImageKind::BMP, true, false}, {"missing.gif", ImageKind::GIF, false, false},
      {"pipe.gif", ImageKind::GIF, false, false},
  };
  for (const Case& c : cases) {
    const std::string path = dir / c.file;
    const std::string bytes = c.taken ? dir.Read(c.file) : std::string();
    bool decoded = !c.decoded;
    TSourceImage image;
    EXPECT_EQ(ahead.Take(path, c.kind, bytes, decoded, image), c.taken) << c.file;
    if (!c.taken) continue;
    EXPECT_EQ(decoded, c.decoded) << c.file;
    TSourceImage own;
    EXPECT_EQ(DecodeImage(c.kind, bytes, own), c.decoded) << c.file;
    EXPECT_TRUE(own.Bitmap.Pixels == image.Bitmap.Pixels) << c.file;
  }
  // The judging takes a picture decoded ahead.
  ahead.Foresee(pages, 1);
  ahead.Settle();
  ASSERT_EQ(JudgeImageTag("<img src=d.gif>", PageBaseAddress("", dir.path() + "/", ""), "", options,
                          cut, candidate, false, &ahead),
            TTagDecision::New);
  EXPECT_EQ(candidate.Image.Bitmap.Width, 30);
  TSourceImage again;
  bool decoded = false;
  EXPECT_FALSE(ahead.Take(dir / "d.gif", ImageKind::GIF, dir.Read("d.gif"), decoded, again));
}

}  // namespace

TEST_F(JudgeTest, PicturesThatThePagesScriptsSwapByNameAreLeftAlone) {
  const std::string page =
      "<html><head><script type=\"text/javascript\">\n"
      "var pics = [\"a.gif\", \"b.gif\"];\n"
      "function next() { document.images.show.src = pics[1]; }\n"
      "var logo = 3; $('#hero')\n  .attr('src', pics[0]);\n"
      "</script><script src=\"x.js\">var ignored=plain.src</script></head>\n"
      "<body onload=\"MM_preloadImages('on.gif')\"><a href=\"javascript:swap('menu')\">m</a>\n"
      "<button onClick='document.getElementById(\"btn\").src=\"on.gif\"'>b</button>\n"
      "<a href=\"about.html\">about</a>";
  const struct {
    const char* attributes;
    bool swapped;
  } cases[] = {
      {"name=show", true}, {"id=hero", true},   {"ID=menu", true},   {"name=btn", true},
      {"id=logo", false},  {"id=about", false}, {"id=plain", false}, {"name=Show", false},
      {"id=pics", false},  {"id=on", false},    {"name=''", false},  {"class=show", false},
  };
  for (const auto& c : cases) {
    TScriptNames scripts(page);
    EXPECT_EQ(Judge(std::string("<img src=a.bmp ") + c.attributes + ">", &scripts),
              c.swapped ? TTagDecision::Refused : TTagDecision::New)
        << c.attributes;
  }
}
