#include "engine/PageProcessor.h"

#include <gtest/gtest.h>

#include <regex>

#include "engine/PageSnippets.h"

namespace {

// Replaces every tag whose SRC names "x" by [T:<link>] and records the calls.
struct Protector {
  std::vector<std::pair<std::string, std::string>> calls;
  bool operator()(const std::string& tag, const std::string& link, std::string& out) {
    calls.emplace_back(tag, link);
    if (tag.find("src=x") == std::string::npos && tag.find("SRC=x") == std::string::npos) return false;
    out = "[T:" + link + "]";
    return true;
  }
};

std::string Snippets() { return HeadSnippet1() + HeadSnippet2(); }

std::string Rewrite(const std::string& page, bool atag = true, Protector* seen = nullptr) {
  Protector local;
  Protector& p = seen ? *seen : local;
  return BuildProtectedPage(page, atag,
                            [&](const std::string& t, const std::string& l, const TTagPlace&,
                                std::string& r) { return p(t, l, r); });
}

TEST(PageProcessor, HeadSnippetsGoBeforeHeadEndAndTailAfterLastByte) {
  EXPECT_EQ(Rewrite("<html><head><title>t</title></head><body></body></html>\r\n"),
            "<html><head><title>t</title>" + Snippets() + "</head><body></body></html>\r\n" +
                TailSnippet());
  EXPECT_EQ(Rewrite(""), Snippets() + TailSnippet());
  // Well-formed XML as they stand: no "&", and "<" only where a tag starts.
  EXPECT_EQ(Snippets().find('&'), std::string::npos);
  EXPECT_EQ(std::regex_search(Snippets(), std::regex("<[^/a-z]")), false);
  EXPECT_EQ(Rewrite("<p><img src=x></p>"), Snippets() + "<p>[T:]</p>" + TailSnippet());
  // A page protected before: its snippets are not added twice, and those an
  // earlier version wrote give way to this one's where they come first.
  const std::string older =
      "<style>@layer vlm{table[data-vlm]{display:inline-block}}</style>"
      "<script>(function(d){d.x=1})(document)</script>";
  const std::string tail = TailSnippet();
  for (const std::string& before : {Snippets(), older}) {
    EXPECT_EQ(Rewrite("<head>" + before + "</head><img src=x>" + tail),
              "<head>" + Snippets() + "</head>[T:]" + tail);
  }
  EXPECT_EQ(Rewrite("<head><img src=x>" + older + "</head>" + tail),
            "<head>[T:]" + older + "</head>" + tail);
  EXPECT_EQ(Rewrite("<head>" + older.substr(0, 70) + "</head><img src=x>"),
            "<head>" + older.substr(0, 70) + Snippets() + "</head>[T:]" + tail);
  // Where the head really ends: not in a comment or a script.
  EXPECT_EQ(
      Rewrite("<!-- <head></head> --><head><script>w('</head>')</script></head>"),
      "<!-- <head></head> --><head><script>w('</head>')</script>" + Snippets() + "</head>" + tail);
}

TEST(PageProcessor, PageWithoutHeadKeepsItsDoctypeFirst) {
  EXPECT_EQ(Rewrite("<!DOCTYPE html>\n<p>a</p>"),
            "<!DOCTYPE html>" + Snippets() + "\n<p>a</p>" + TailSnippet());
  EXPECT_EQ(Rewrite("\xEF\xBB\xBF <!doctype html><p>"),
            "\xEF\xBB\xBF <!doctype html>" + Snippets() + "<p>" + TailSnippet());
  EXPECT_EQ(Rewrite("<p><!DOCTYPE html>"), Snippets() + "<p><!DOCTYPE html>" + TailSnippet());
  // The byte order mark stays first, or the page loses its encoding.
  EXPECT_EQ(Rewrite("\xEF\xBB\xBF<p>\xC3\xA9"),
            "\xEF\xBB\xBF" + Snippets() + "<p>\xC3\xA9" + TailSnippet());
}

TEST(PageProcessor, PageOpeningWithAServerBlockAndNoHeadGetsTheSnippetsAtItsEnd) {
  for (const std::string page : {"<?php header('X: y'); ?><p><img src=x>", "\n<% x %><img src=x>"}) {
    Protector p;
    std::string expected = page;
    expected.replace(expected.find("<img src=x>"), 11, "[T:]");
    EXPECT_EQ(Rewrite(page, true, &p), expected + Snippets() + TailSnippet());
    EXPECT_EQ(p.calls.size(), 1u);
  }
  EXPECT_EQ(Rewrite("<?php x ?><head></head>"), "<?php x ?><head>" + Snippets() + "</head>" + TailSnippet());
}

TEST(PageProcessor, ReplacedTagsAreReported) {
  std::vector<std::pair<int, int>> replaced;
  BuildProtectedPage(
      "<img src=y><img src=x><a href=h><img src=x></a>", true,
      [](const std::string& t, const std::string&, const TTagPlace&, std::string& r) {
        r = "T";
        return t.find("src=x") != std::string::npos;
      },
      nullptr, &replaced);
  EXPECT_EQ(replaced, (std::vector<std::pair<int, int>>{{12, 22}, {33, 43}}));
}

TEST(PageProcessor, FindsTagsByPlainTextOnly) {
  Protector p;
  std::string out = Rewrite(
      "<head><img src=x></head><!-- <IMG SRC=x> --><Img\nsrc=x><iMg\tsrc=x alt='a>b'>", true, &p);
  EXPECT_EQ(out, "<head><img src=x>" + Snippets() + "</head><!-- [T:] -->[T:][T:]" + TailSnippet());
  EXPECT_EQ(p.calls.size(), 3u) << "the tag in the head is not offered";
  EXPECT_EQ(p.calls.back().first, "<iMg\tsrc=x alt='a>b'>");
}

TEST(PageProcessor, ImageDirectlyInsideLinkDropsTheLinkAroundTheTable) {
  EXPECT_EQ(Rewrite("<p><a href=h><img src=x></a>.</p>"),
            Snippets() + "<p>[T:<a href=h>].</p>" + TailSnippet());
}

// A link the page styles (a button with an icon and a label) would become
// several boxes if it were cut around the table.
TEST(PageProcessor, ALinkHoldingMoreThanThePictureKeepsTheTableInside) {
  EXPECT_EQ(Rewrite("<a href=h>before<img src=x>after</a>!"),
            Snippets() + "<a href=h>before[T:]after</a>!" + TailSnippet());
  EXPECT_EQ(Rewrite("<a class=card href=h><div><img src=x><h3>t</h3></div></a>!"),
            Snippets() + "<a class=card href=h><div>[T:]<h3>t</h3></div></a>!" + TailSnippet());
  EXPECT_EQ(Rewrite("<a href=h><b>x<img src=x></b></a>"),
            Snippets() + "<a href=h><b>x[T:]</b></a>" + TailSnippet());
  // A second picture in such a link stays as it is.
  for (const char* between : {"<p>t</p>", " and "}) {
    Protector p;
    EXPECT_EQ(Rewrite(std::string("<a href=h><img src=x>") + between + "<img src=x></a>", true, &p),
              Snippets() + "<a href=h>[T:]" + between + "<img src=x></a>" + TailSnippet());
    EXPECT_EQ(p.calls.size(), 1u);
  }
}

TEST(PageProcessor, EventLinksAndLinksWithOptionOffStayByteForByte) {
  const std::string page = "<a href=h onClick=\"go()\">c<img src=x>d</a><a href=k>e<img src=x></a>";
  Protector p;
  EXPECT_EQ(Rewrite(page, true, &p), Snippets() + "<a href=h onClick=\"go()\">c<img src=x>d</a>"
                                              "<a href=k>e[T:]</a>" + TailSnippet());
  EXPECT_EQ(p.calls.size(), 1u);
  EXPECT_EQ(Rewrite(page, false), Snippets() + page + TailSnippet());
}

TEST(PageProcessor, RefusedImageInLinkKeepsWholeElement) {
  EXPECT_EQ(Rewrite("<a href=h>c<img src=y>d</a>z"), Snippets() + "<a href=h>c<img src=y>d</a>z" + TailSnippet());
}

TEST(PageProcessor, ImageAfterALinkAndInsideLinkStartTag) {
  EXPECT_EQ(Rewrite("<a href=h>t</a><img src=x>"), Snippets() + "<a href=h>t</a>[T:]" + TailSnippet());
}

TEST(PageProcessor, UnterminatedTagsEndTheScanWithoutRepeatingText) {
  EXPECT_EQ(Rewrite("<a href=h><img src=x>"), Snippets() + "<a href=h>[T:]" + TailSnippet())
      << "a link without </A> is no link";
  EXPECT_EQ(Rewrite("<img src=x><img src=x"), Snippets() + "[T:]<img src=x" + TailSnippet());
  EXPECT_EQ(Rewrite("<a href=h"), Snippets() + "<a href=h" + TailSnippet());
}

// A table written where a P is open would end the paragraph: such a table
// goes inside an APPLET, which the parser does not look past.
TEST(PageProcessor, TagsInScriptsRawTextAttributesServerCodeAndXhtmlCommentsStayAsTheyAre) {
  const struct {
    std::string Page;
    int Offered;  // tags given to the protector
  } cases[] = {
      {"<?php echo \"<img src='x'>\"; ?><img src=x>", 1},
      {"<?php if ($a) { ?><img src=x><?php } ?>", 1},
      {"<% Response.Write(\"<img src=x>\") %><%= a %><img src=x>", 1},
      {"<script>document.write('<img src=\"x\">')</script><img src=x>", 1},
      {"<SCRIPT type=module>'<img src=x>'</SCRIPT ><img src=x>", 1},
      {"<textarea><img src=x></textarea><xmp><img src=x></xmp><title><img src=x></title>", 0},
      {"<!-- <img src=x> --><img src=x>", 2},  // a comment's tag was always text to find
      // Not in XHTML, where a table's "--" would end the comment.
      {"<html xmlns=\"http://www.w3.org/1999/xhtml\"><!-- <img src=x> --><img src=x/>", 1},
      {"<HTML lang=en xmlns='http://www.w3.org/1999/xhtml'><!--<img src=x>", 0},
      {"<html xmlns=\"http://www.w3.org/1999/xhtml\"><!-- a --> <img src=x/>", 1},
      {"<htmlx xmlns=\"http://www.w3.org/1999/xhtml\"><!-- <img src=x> -->", 1},
      {"50 <% of <img src=x> and <? <img src=x>", 2},  // never closed: no code
      // The text of another tag's attribute.
      {"<a data-content=\"<img src='x'>\">p</a><img src=x>", 1},
      {"<iframe srcdoc=\"<p><img src=x></p>\"></iframe>", 0},
      {"<a title='a > b <img src=x>'>t</a>", 0},
      {"<a title=\"<b>x</b>\"><img src=x></a><p title=\"a\"><img src=x>", 2},
  };
  for (const auto& c : cases) {
    Protector p;
    Rewrite(c.Page, true, &p);
    EXPECT_EQ(static_cast<int>(p.calls.size()), c.Offered) << c.Page;
  }
}

TEST(PageProcessor, ATableWhereAParagraphIsOpenGoesInsideAnApplet) {
  const struct {
    std::string Page;
    int Wrapped;  // tables put inside an APPLET
  } cases[] = {
      {"<p>a <img src=x> b</p>", 1},
      {"<P CLASS=n>a <span><b><IMG src=x></b></span></P>", 1},
      {"<p>a <img src=x> <img src=x>", 2},
      {"<p>a <a href=l><img src=x></a> b", 1},
      {"<p>a <a href=l>\n  <img src=x>\n</a> b", 1},  // the table inside the link it carries
      {"<p><script>'</div>'</script><img src=x>", 1},
      {"<p>a</p><img src=x>", 0},
      {"<p>a<div><img src=x></div>", 0},
      {"<p>a <h2>t</h2> <img src=x>", 0},
      {"<p>a <BlockQuote>q <img src=x>", 0},
      {"<p>a <figcaptions>q <img src=x>", 1},  // no element of that name
      {"<p>a <noscript>q</noscript> <img src=x>", 1},
      {"<p>a <applet><table data-vlm></table></applet> <img src=x>", 1},  // an earlier run's
      {"<p>a <object><table data-vlm></table></object> <img src=x>", 1},
      {"<applet><p>a</applet> <img src=x>", 0},
      {"<table><tr><td><p>a</td><td><img src=x>", 0},
      {"<!-- <p> --><img src=x>", 0},
      {"<script>'<p>'</script><img src=x>", 0},
      {"<p>a <img src=y>", 0},  // kept: nothing written
  };
  for (const auto& c : cases) {
    const std::string out =
        BuildProtectedPage(c.Page, true, [](const std::string& tag, auto& link, auto&, auto& r) {
          if (tag.find("src=x") == std::string::npos) return false;
          // A picture's table carries its link when it stands for it.
          r = link.empty() ? "<table></table>" : link + "<table></table></a>";
          return true;
        });
    int wrapped = 0;
    const std::string applet = "<applet data-vlm=\"\">";
    for (size_t at = out.find(applet); at != std::string::npos; at = out.find(applet, at + 1)) {
      const size_t end = out.find("</applet>", at);
      const std::string held = out.substr(at + applet.size(), end - at - applet.size());
      wrapped += held == "<table></table>" || held == "<a href=l><table></table></a>";
    }
    EXPECT_EQ(wrapped, c.Wrapped) << c.Page;
  }
  // The layered markup keeps an IMG, which a P may hold.
  const std::string layered =
      BuildProtectedPage("<p>a <img src=x>", true, [](auto&, auto&, auto&, auto& r) {
        r = "<img src=p.gif>";
        return true;
      });
  EXPECT_EQ(layered.find("<applet"), std::string::npos);
}

TEST(PageProcessor, ManyTagsStayLinear) {
  std::string page;
  for (int i = 0; i < 20000; ++i) page += "<a href=q><img src=y>";
  std::string out = Rewrite(page);
  EXPECT_EQ(out, Snippets() + page + TailSnippet());
}

}  // namespace

TEST(PageProcessor, TagsBetweenATablesRowsAreToldApart) {
  const struct {
    const char* page;
    bool inRows;
  } cases[] = {
      {"<table><tr><td><img src=x></td></tr></table>", false},
      {"<table><img src=x><tr><td>a</td></tr></table>", true},
      {"<TABLE><TR><TD>a</TD>\n<IMG SRC=x></TR></TABLE>", true},
      {"<table><tr><th>h<tr><img src=x>", true},
      {"<table><caption><img src=x></caption></table>", false},
      {"<table><tr><td><table><tr><td><img src=x>", false},
      {"<table><tr><td><table><tr></tr><img src=x>", true},
      {"<table><tr><td><table></table><img src=x>", false},
      {"<table></table><img src=x>", false},
      {"<table><tr><td>a</td></tr></table><p><img src=x>", false},
      {"<table><!-- <td> --><img src=x>", true},
  };
  for (const auto& c : cases) {
    bool inRows = false;
    BuildProtectedPage(c.page, true, [&](auto&, auto&, const TTagPlace& place, auto&) {
      inRows = place.InTableRows;
      return false;
    });
    EXPECT_EQ(inRows, c.inRows) << c.page;
  }
}
