#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/Grid.h"
#include "storage/GlobalLib.h"
#include "storage/vlmOption.h"

// The markup that takes a protected image's place. Two kinds share the same
// grid of pieces: a table whose cells show the pieces in the grid they were
// cut in (the default), each clipped out of a file that reaches into its
// neighbours (TGrid::Bleed), and a layered picture that keeps an IMG element
// whose source is a transparent placeholder and paints the pieces over it as
// background layers (LayeredMarkup.h).
//
// The table stands where the IMG stood and behaves like it: an inline box
// on the text's baseline (display, vertical alignment, border and margins
// come from the head snippet's lowest-priority style layer, so the page's own
// rules about the IMG's class, id or style still win), floated by ALIGN,
// with the IMG's id, class, style, title and language, and its ALT as the
// accessible name. The pieces fill their cells and the columns share the
// table's width in proportion, so they scale together when the page's CSS
// scales the picture. Everything written is well-formed XML as well as HTML. The templates are kept
// scrambled; each is one line, and its conversions (%d for an integer, %s
// for a text) are filled in the order documented beside it.

// Table opening; the attributes carried over from the IMG tag, W, then the
// height attribute text (` height="H"`, or empty when the IMG gave no height).
// The rows stand in a body that is itself the table box and fills the
// table's width, also when the page's CSS makes the table a block. Its
// rows run top to bottom and its columns left to right whatever the text's
// direction: in right-to-left text the pieces would otherwise be mirrored,
// and in vertical text the grid turned on its side.
inline constexpr ScrambledText kTableOpenText(
    "<table data-vlm=\"\"%s width=\"%d\"%s cellpadding=\"0\" cellspacing=\"0\">"
    "<tbody style=\"display:table;width:100%%;border-collapse:collapse;border-spacing:0;"
    "direction:ltr;writing-mode:horizontal-tb\">");
// One cell; the cell's own style text (empty, or the width and the numbers
// of a piece whose file holds more than the piece), SrcDir, piece name, ImageExt, the
// piece's attribute text (its file's size, and loading="lazy" where the
// picture loads so), the piece's width and its margins. The cells take no
// width of their own unless their files hold more than their pieces: the
// columns share the table's width in proportion to their pieces' widths,
// exactly, where a percentage rounded to a few places could shift the lines
// below by a pixel.
inline constexpr ScrambledText kCellText(
    "<td style=\"padding:0%s\"><img data-vlm=\"\" src=\"%s%s%s\"%s alt=\"\" "
    "style=\"display:block;width:%s;height:auto;max-width:none;max-height:none;border:0;"
    "margin:%s;padding:0\"/></td>");
// A piece's attribute text; its width, then its height.
inline constexpr ScrambledText kWidthHeightText(" width=\"%d\" height=\"%d\"");

inline constexpr std::string_view kRowOpenText = "<tr>";
inline constexpr std::string_view kRowCloseText = "</tr>";
inline constexpr std::string_view kTableCloseText = "</tr></tbody></table>";

// The attribute that marks the markup of a protected image, so that a later
// run leaves it as it is.
inline constexpr std::string_view kMarkupMarker = "data-vlm";

// The plain width-and-height template: the run text WidthHeightText when
// pieces carry their size.
std::string WidthHeightTemplate();

// The attribute text of a w x h piece: `widthHeightText` formatted with w
// and h, or empty when `widthHeightText` is empty.
std::string PieceAttributes(std::string_view widthHeightText, int32_t w, int32_t h);

// Fills the conversions of `format` in order with `args`: "%d" and "%s" each
// take the next argument as it stands (integers are given already written as
// decimal), "%%" gives "%". Raises Exception when the conversions and the
// arguments do not match, so a damaged template never yields a broken page.
void AppendFormatted(std::string& out, std::string_view format,
                     std::initializer_list<std::string_view> args);

// What of the page a picture stands in shapes its markup.
struct TPageTraits {
  bool Responsive = false;  // it declares a viewport (DeclaresViewport)
  bool Quirks = false;      // browsers lay it out in quirks mode (InQuirksMode)
};

// Everything that varies between the replacements of one image.
struct TTableSpec {
  int32_t Width = 0, Height = 0;
  int32_t Rows = 0, Cols = 0, PieceWidth = 0, PieceHeight = 0;
  std::string_view LinkTag, SrcDir, ImageExt, WidthHeightText, CloseLinkText;
  // The IMG tag replaced, from "<" through its ">": what of it the markup
  // carries over.
  std::string_view TagText;
  TMarkup Markup = TMarkup::Table;
  // The picture's own size (0: W x H): the layered placeholder has it, and
  // the table carries its shape where it is not the shape of W x H.
  int32_t OwnWidth = 0, OwnHeight = 0;
  bool Opaque = true;  // no pixel of the picture is transparent
  int32_t Bleed = 0;   // pixels of their neighbours the piece files hold (TGrid)
  TPageTraits Page;

  TGrid Grid() const { return {Cols, Rows, PieceWidth, PieceHeight, Bleed}; }
};

// The whole replacement at once, the piece names taken 4 characters at a
// time, in row-major order, from `pieceNames` (which holds Rows x Cols
// names). Inside a link (LinkTag not empty) the link's start tag opens the
// replacement and CloseLinkText ends it, so the whole picture is one link.
std::string BuildTableMarkup(const TTableSpec& spec, std::string_view pieceNames);

// The percentage `part` is of `whole`, as CSS takes it ("33.333333").
std::string Percent(int32_t part, int32_t whole);
