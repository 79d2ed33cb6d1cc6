#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "storage/GlobalLib.h"

// The markup that replaces a protected image: a table whose cells show the
// pieces in the grid they were cut in. The three templates are kept
// scrambled; each is one line, and its conversions (%d for an integer, %s
// for a text) are filled in the order documented beside it.
//
// The table must show the pieces as one seamless W x H picture in standards,
// almost-standards and quirks mode: no border, padding or spacing; the images
// are display:block so no row grows a gap for the text baseline under them;
// no whitespace stands between the parts.

// Table opening; W, then H.
inline constexpr ScrambledText kTableOpenText(
    "<table border=0 cellpadding=0 cellspacing=0 width=%d height=%d "
    "style=\"border-collapse:collapse;border-spacing:0\">");
// One cell; link start tag or empty, SrcDir, piece name, ImageExt, the piece's
// attribute text, the closing link text.
inline constexpr ScrambledText kCellText(
    "<td style=\"padding:0\">%s<img src=\"%s%s%s\"%s border=0 alt=\"\" "
    "style=\"display:block;border:0;margin:0;padding:0\">%s</td>");
// A piece's attribute text; its width, then its height.
inline constexpr ScrambledText kWidthHeightText(" width=%d height=%d");

inline constexpr std::string_view kRowOpenText = "<TR>";
inline constexpr std::string_view kRowCloseText = "</TR>";
inline constexpr std::string_view kTableCloseText = "</TR></TABLE>";

// The plain width-and-height template: the run text WidthHeightText when
// pieces carry their size.
std::string WidthHeightTemplate();

// Appends the table opening for a w x h picture.
void AppendTableOpen(std::string& out, int32_t w, int32_t h);

// Appends one cell. `attributes` is the piece's attribute text (already
// formatted, or empty). The cell carries `closeLinkText` only when
// `linkTag` is not empty.
void AppendCell(std::string& out, std::string_view linkTag, std::string_view srcDir,
                std::string_view pieceName, std::string_view imageExt, std::string_view attributes,
                std::string_view closeLinkText);

// The attribute text of a w x h piece: `widthHeightText` formatted with w
// and h, or empty when `widthHeightText` is empty.
std::string PieceAttributes(std::string_view widthHeightText, int32_t w, int32_t h);

// Appends the end of a row: "</TR>", or "</TR></TABLE>" after the last row.
void AppendRowEnd(std::string& out, bool lastRow);

// Fills the conversions of `format` in order with `args`: "%d" and "%s" each
// take the next argument as it stands (integers are given already written as
// decimal), "%%" gives "%". Raises Exception when the conversions and the
// arguments do not match, so a damaged template never yields a broken page.
void AppendFormatted(std::string& out, std::string_view format,
                     std::initializer_list<std::string_view> args);

// Everything that varies between the tables of one image.
struct TTableSpec {
  int32_t Width = 0, Height = 0;
  int32_t Rows = 0, Cols = 0, PieceWidth = 0, PieceHeight = 0;
  std::string_view LinkTag, SrcDir, ImageExt, WidthHeightText, CloseLinkText;
};

// The whole table at once, the piece names taken 4 characters at a time, in
// row-major order, from `pieceNames` (which holds Rows x Cols names).
std::string BuildTableMarkup(const TTableSpec& spec, std::string_view pieceNames);
