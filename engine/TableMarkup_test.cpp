#include "engine/TableMarkup.h"

#include <gtest/gtest.h>

#include "platform/Exception.h"

namespace {

size_t Count(const std::string& s, const std::string& what) {
  size_t n = 0;
  for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
  return n;
}

TEST(TableMarkup, TemplatesAreOneLineAndStoredScrambled) {
  for (std::string_view stored :
       {kTableOpenText.stored(), kCellText.stored(), kWidthHeightText.stored()}) {
    std::string plain;
    DescrambleText(stored, plain);
    EXPECT_EQ(plain.find_first_of("\r\n"), std::string::npos) << plain;
    EXPECT_EQ(std::string(stored).find("img"), std::string::npos);
    EXPECT_EQ(std::string(stored).find("width"), std::string::npos);
  }
  EXPECT_EQ(WidthHeightTemplate(), " width=\"%d\" height=\"%d\"");
}

TEST(TableMarkup, FormattingFillsConversionsInOrderAndRejectsMismatches) {
  std::string out;
  AppendFormatted(out, "a%sb%dc%%", {"X", "12"});
  EXPECT_EQ(out, "aXb12c%");
  out.clear();
  AppendFormatted(out, "%s", {"%d"});  // an argument is never a format
  EXPECT_EQ(out, "%d");
  EXPECT_THROW(AppendFormatted(out, "%s%s", {"x"}), Exception);
  EXPECT_THROW(AppendFormatted(out, "%s", {"x", "y"}), Exception);
  EXPECT_THROW(AppendFormatted(out, "%x", {"x"}), Exception);
  EXPECT_THROW(AppendFormatted(out, "tail%", {}), Exception);
}

TTableSpec Spec(int32_t w, int32_t h, int32_t rows, int32_t cols) {
  TTableSpec spec;
  spec.Width = w;
  spec.Height = h;
  spec.Rows = rows;
  spec.Cols = cols;
  spec.PieceWidth = w / cols;
  spec.PieceHeight = h / rows;
  spec.ImageExt = ".gif";
  return spec;
}

TEST(TableMarkup, TableRunsRowMajorOnOneLineWithEveryPieceAddress) {
  TTableSpec spec = Spec(100, 50, 2, 3);
  spec.SrcDir = "p/";
  const std::string table = BuildTableMarkup(spec, "aaaabbbbccccddddeeeeffff");
  EXPECT_EQ(table.rfind("<table data-vlm=\"\"", 0), 0u) << table;
  EXPECT_EQ(Count(table, "<tr>"), 2u);
  EXPECT_EQ(Count(table, "</tr>"), 2u);
  EXPECT_TRUE(table.ends_with("</tr></tbody></table>"));
  size_t at = 0;
  for (const char* n : {"aaaa", "bbbb", "cccc", "dddd", "eeee", "ffff"}) {
    at = table.find(std::string("src=\"p/") + n + ".gif\"", at);
    ASSERT_NE(at, std::string::npos) << n;
  }
  EXPECT_EQ(table.find('\n'), std::string::npos);
  EXPECT_NE(table.find(" width=\"100\""), std::string::npos);
  // Without HEIGHT on the tag the rows take the pieces' height, so the
  // picture keeps its shape when the page scales it.
  EXPECT_EQ(table.find(" height=\"50\""), std::string::npos);
  EXPECT_EQ(Count(table, "<td style=\"padding:0\"><img"), 6u);
  // Every piece tag is closed and marked, for XHTML and for the next run.
  EXPECT_EQ(Count(table, "\"/></td>"), 6u);
  EXPECT_EQ(Count(table, "<img data-vlm=\"\""), 6u);
}

TEST(TableMarkup, LastColumnAndRowCarryTheirOwnSize) {
  TTableSpec spec = Spec(100, 50, 2, 3);  // 33, 33, 34 by 25, 25
  spec.WidthHeightText = " width=%d height=%d";
  std::string table = BuildTableMarkup(spec, std::string(24, 'x'));
  EXPECT_EQ(Count(table, " width=33 height=25"), 4u);
  EXPECT_EQ(Count(table, " width=34 height=25"), 2u);

  spec = Spec(100, 51, 2, 3);  // last row 26 high
  spec.WidthHeightText = " width=%d height=%d";
  table = BuildTableMarkup(spec, std::string(24, 'x'));
  EXPECT_EQ(Count(table, " width=34 height=26"), 1u);
  EXPECT_EQ(Count(table, " width=33 height=26"), 2u);

  // Files that reach 8 pixels into their neighbours: each piece's tag gives
  // its file's size, its cell the piece's width and what the file holds
  // beyond it, and the piece is laid over its cell by margins in percent of
  // the cell's width (8 of 33 pixels, 24.242425 percent, rounded up).
  spec = Spec(100, 50, 2, 3);
  spec.WidthHeightText = " width=%d height=%d";
  spec.Bleed = 8;
  table = BuildTableMarkup(spec, std::string(24, 'x'));
  EXPECT_EQ(Count(table,
                  "<td style=\"padding:0;width:33px;overflow:hidden;--vlm-c:33;--vlm-cr:8;"
                  "--vlm-cb:8\"><img data-vlm=\"\" src=\"xxxx.gif\" width=41 height=33 "),
            1u)
      << table;
  EXPECT_EQ(Count(table,
                  "--vlm-c:33;--vlm-ct:8;--vlm-cr:8;--vlm-cl:8\"><img data-vlm=\"\" "
                  "src=\"xxxx.gif\" width=49 height=33 "),
            1u);
  EXPECT_EQ(Count(table,
                  "width:148.484849%;height:auto;max-width:none;max-height:none;border:0;"
                  "margin:-24.242425% -24.242425% 0 -24.242425%"),
            1u);
  EXPECT_EQ(Count(table, " width=42 height=33"), 2u);
  spec.Markup = TMarkup::Layered;
  EXPECT_THROW(BuildTableMarkup(spec, std::string(24, 'x')), Exception);
}

TEST(TableMarkup, TheLinkHoldsTheWholePicture) {
  for (TMarkup markup : {TMarkup::Table, TMarkup::Layered}) {
    TTableSpec spec = Spec(10, 10, 2, 2);
    spec.Markup = markup;
    spec.TagText = "<img src=a.gif>";
    spec.CloseLinkText = "</a>";
    std::string out = BuildTableMarkup(spec, std::string(16, 'x'));
    EXPECT_EQ(Count(out, "</a>"), 0u);
    spec.LinkTag = "<a href=\"y\">";
    out = BuildTableMarkup(spec, std::string(16, 'x'));
    EXPECT_EQ(out.rfind("<a href=\"y\">", 0), 0u);
    EXPECT_EQ(Count(out, "<a href"), 1u);
    EXPECT_TRUE(out.ends_with("</a>"));
  }
}

// What of the IMG tag each markup carries over, and in which form.
TEST(TableMarkup, CarriesTheImagesAttributes) {
  struct Case {
    const char* tag;
    TMarkup markup;
    std::vector<std::string> present, absent;
    TPageTraits page = {};
  } cases[] = {
      {"<IMG SRC='a.gif' ID=pic CLASS=\"img-fluid x\" TITLE='Say \"hi\"' ALT='Tom & Jerry'>",
       TMarkup::Table,
       {" id=\"pic\"", " class=\"img-fluid x\"", " title=\"Say &quot;hi&quot;\"", " role=\"img\"",
        " aria-label=\"Tom & Jerry\"", "style=\"--vlm-w:10px;--vlm-a:10/10;--vlm-i:max-content;\""},
       {"a.gif", "--vlm-m", "--vlm-f"}},
      // On a page made for narrow screens its rules may make it fluid.
      {"<img src=a.gif class=photo>",
       TMarkup::Table,
       {"style=\"--vlm-w:10px;--vlm-a:10/10;--vlm-f:0%;--vlm-i:fit-content;\""},
       {},
       {.Responsive = true}},
      // No rule can reach it: it keeps its width as a flex or grid item too,
      // its own size in its content box, whatever box-sizing the page gives,
      // and its shape, so that a grid does not stretch it. WIDTH and HEIGHT
      // make the box's size.
      {"<img src=a.gif>",
       TMarkup::Table,
       {"style=\"--vlm-w:10px;--vlm-a:10/10;--vlm-m:10px;--vlm-s:content-box;\""},
       {}},
      {"<img src=a.gif width=10 height=10>",
       TMarkup::Table,
       {"style=\"--vlm-w:10px;--vlm-a:10/10;--vlm-m:10px;\""},
       {}},
      // A percentage in its own style lets the picture give way too.
      {"<img src=a.gif style=\"max-width:50%\">",
       TMarkup::Table,
       {"style=\"--vlm-w:10px;--vlm-a:10/10;--vlm-f:0%;--vlm-i:fit-content;max-width:50%\""},
       {"--vlm-m"}},
      // A height of its own style or of a rule, and no WIDTH: the width
      // follows the shape. A WIDTH keeps the table's width.
      {"<img src=a.gif style=\"HEIGHT: 3em !important\">",
       TMarkup::Table,
       {"style=\"--vlm-w:10px;--vlm-a:10/10;--vlm-i:max-content;HEIGHT: 3em !important\""},
       {}},
      {"<img src=a.gif width=10 class=x style=\"height:5px\">", TMarkup::Table, {}, {"--vlm-i"}},
      {"<img src=a.gif align=LEFT hspace=10 vspace=\"4\" border=2 style=\"opacity:.5\">",
       TMarkup::Table,
       {" align=\"left\"",
        "style=\"--vlm-w:10px;--vlm-a:10/"
        "10;--vlm-i:max-content;--vlm-b:2px;--vlm-h:10px;--vlm-v:4px;opacity:.5\"",
        " role=\"presentation\""},
       {"hspace", "vspace", "border="}},
      {"<img src=a.gif align=absmiddle height=10>",
       TMarkup::Table,
       {"--vlm-va:middle;", " height=\"10\""},
       {"align="}},
      {"<img src=a.gif align=Center>", TMarkup::Table, {"--vlm-va:baseline-middle;"}, {"align="}},
      // A picture floated by ALIGN gets 3 pixels of room beside it in quirks
      // mode only.
      {"<img src=a.gif align=right>",
       TMarkup::Table,
       {" align=\"right\"", "--vlm-l:3px;"},
       {},
       {.Quirks = true}},
      {"<img src=a.gif align=right>", TMarkup::Table, {" align=\"right\""}, {"--vlm-l"}},
      // Pieces load as lazily as the picture did.
      {"<img src=a.gif loading=LAZY>", TMarkup::Table, {"\" loading=\"lazy\" alt=\"\""}, {}},
      {"<img src=a.gif loading=eager>", TMarkup::Table, {}, {"loading"}},
      {"<img src=a.gif id=pic width=10 alt=\"x<y\" style=\"margin:0\" srcset=\"b.gif 2x\" ismap>",
       TMarkup::Layered,
       {" id=\"pic\"", " width=\"10\"", " alt=\"x&lt;y\"", " ismap=\"\"", " data-vlm=\"\"",
        "style=\"margin:0;background-image:url('xxxx.gif')",
        " src=\"data:image/svg+xml,%3Csvg xmlns='http://www.w3.org/2000/svg' width='10' "
        "height='10'/%3E\"",
        "\"/>"},
       {"a.gif", "srcset", "<table"}},
  };
  for (const Case& c : cases) {
    TTableSpec spec = Spec(10, 10, c.markup == TMarkup::Layered ? 1 : 2, 2);
    spec.TagText = c.tag;
    spec.Markup = c.markup;
    spec.Page = c.page;
    const std::string out = BuildTableMarkup(spec, std::string(16, 'x'));
    for (const auto& p : c.present) EXPECT_NE(out.find(p), std::string::npos) << p << "\n" << out;
    for (const auto& a : c.absent) EXPECT_EQ(out.find(a), std::string::npos) << a << "\n" << out;
  }
}

TEST(TableMarkup, LayersArePlacedInPercentOfTheBox) {
  TTableSpec spec = Spec(100, 50, 2, 3);  // columns 33, 33, 34; rows 25, 25
  spec.Markup = TMarkup::Layered;
  spec.TagText = "<img src=a.gif width=100 height=50>";
  // Cut at the tag's size from a picture of another shape: the placeholder
  // has the picture's, which a rule setting the height to auto gives the IMG.
  spec.OwnWidth = 80;
  spec.OwnHeight = 60;
  const std::string out = BuildTableMarkup(spec, "aaaabbbbccccddddeeeeffff");
  EXPECT_NE(out.find("width='80' height='60'/%3E"), std::string::npos) << out;
  // The table carries that shape for the page's script.
  spec.Markup = TMarkup::Table;
  EXPECT_NE(BuildTableMarkup(spec, "aaaabbbbccccddddeeeeffff").find("--vlm-o:80/60;"),
            std::string::npos);
  spec.Markup = TMarkup::Layered;
  EXPECT_NE(out.find("background-position:0.000000% 0.000000%,49.253732% 0.000000%,"
                     "100.000000% 0.000000%,0.000000% 100.000000%"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("background-size:33.000000% 50.000000%,33.000000% 50.000000%,"
                     "34.000000% 50.000000%"),
            std::string::npos);
  // Laid twice more beneath, a pixel to the right and a pixel down, where it
  // fills what the browser's rounding leaves between neighbours; never
  // beneath a picture with transparent parts.
  EXPECT_EQ(Count(out, "url('"), 18u);
  EXPECT_NE(out.find(",calc(0.000000% + 1px) 0.000000%,calc(49.253732% + 1px) 0.000000%,"),
            std::string::npos);
  EXPECT_NE(out.find(",0.000000% calc(0.000000% + 1px),49.253732% calc(0.000000% + 1px),"),
            std::string::npos);
  spec.Opaque = false;
  EXPECT_EQ(Count(BuildTableMarkup(spec, "aaaabbbbccccddddeeeeffff"), "url('"), 6u);
}

}  // namespace
