#include "engine/TableMarkup.h"

#include <gtest/gtest.h>

#include "platform/Exception.h"

namespace {

size_t Count(const std::string& s, const std::string& what) {
  size_t n = 0;
  for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
  return n;
}

std::string Cell(std::string_view link, std::string_view dir, std::string_view name,
                 std::string_view ext, std::string_view attributes, std::string_view close) {
  std::string out;
  AppendCell(out, link, dir, name, ext, attributes, close);
  return out;
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
  EXPECT_EQ(WidthHeightTemplate(), " width=%d height=%d");
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

TEST(TableMarkup, CellShowsThePieceAddressInsideTheLink) {
  std::string cell =
      Cell("<A HREF=\"x.htm\">", "img/", "qwer", ".JPG", " width=3 height=4", "</A>");
  size_t link = cell.find("<A HREF=\"x.htm\">");
  size_t src = cell.find("src=\"img/qwer.JPG\"");
  size_t attributes = cell.find(" width=3 height=4");
  size_t close = cell.find("</A>");
  ASSERT_NE(link, std::string::npos);
  ASSERT_NE(src, std::string::npos);
  ASSERT_NE(attributes, std::string::npos);
  ASSERT_NE(close, std::string::npos);
  EXPECT_LT(link, src);
  EXPECT_LT(src, attributes);
  EXPECT_LT(attributes, close);
  // The attribute text stands inside the image's tag.
  EXPECT_LT(attributes, cell.find('>', src));
  EXPECT_EQ(cell.find('\n'), std::string::npos);
  EXPECT_NE(cell.find("display:block"), std::string::npos);

  // No link: the closing link text is left out even when the run sets it.
  std::string plain = Cell("", "", "abcd", ".gif", "", "</A>");
  EXPECT_EQ(plain.find("</A>"), std::string::npos);
  EXPECT_NE(plain.find("src=\"abcd.gif\""), std::string::npos);
  EXPECT_EQ(plain.find("width="), std::string::npos);
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

TEST(TableMarkup, OneByOneTableIsOpeningRowCellAndClose) {
  TTableSpec spec = Spec(20, 10, 1, 1);
  std::string table = BuildTableMarkup(spec, "abcd");
  std::string expected;
  AppendTableOpen(expected, 20, 10);
  expected += "<TR>" + Cell("", "", "abcd", ".gif", "", "") + "</TR></TABLE>";
  EXPECT_EQ(table, expected);
}

TEST(TableMarkup, TwoByThreeTableRunsRowMajorOnOneLine) {
  TTableSpec spec = Spec(100, 50, 2, 3);
  spec.SrcDir = "p/";
  std::string names = "aaaabbbbccccddddeeeeffff";
  std::string table = BuildTableMarkup(spec, names);
  std::string expected;
  AppendTableOpen(expected, 100, 50);
  expected += "<TR>";
  for (const char* n : {"aaaa", "bbbb", "cccc"}) expected += Cell("", "p/", n, ".gif", "", "");
  expected += "</TR><TR>";
  for (const char* n : {"dddd", "eeee", "ffff"}) expected += Cell("", "p/", n, ".gif", "", "");
  expected += "</TR></TABLE>";
  EXPECT_EQ(table, expected);
  EXPECT_EQ(table.find('\n'), std::string::npos);
  EXPECT_NE(table.find("width=100 height=50"), std::string::npos);
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
}

TEST(TableMarkup, LinkWrapsEveryCellOnlyWhenThereIsALinkTag) {
  TTableSpec spec = Spec(10, 10, 2, 2);
  spec.CloseLinkText = "</A>";
  std::string table = BuildTableMarkup(spec, std::string(16, 'x'));
  EXPECT_EQ(Count(table, "</A>"), 0u);
  spec.LinkTag = "<A HREF=\"y\">";
  table = BuildTableMarkup(spec, std::string(16, 'x'));
  EXPECT_EQ(Count(table, "<A HREF=\"y\">"), 4u);
  EXPECT_EQ(Count(table, "</A>"), 4u);
  // A run without the close text: the link opens in every cell but is not
  // closed by the cells.
  spec.CloseLinkText = "";
  table = BuildTableMarkup(spec, std::string(16, 'x'));
  EXPECT_EQ(Count(table, "</A>"), 0u);
}

}  // namespace
