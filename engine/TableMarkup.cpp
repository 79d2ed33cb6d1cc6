#include "engine/TableMarkup.h"

#include <cmath>
#include <cstdio>

#include "engine/LayeredMarkup.h"
#include "engine/TagAttributes.h"
#include "platform/Exception.h"
#include "platform/Path.h"

namespace {

// The leading digits of a presentational number ("3", "3px" -> "3"), as
// browsers read BORDER, HSPACE and VSPACE; empty when there are none.
std::string LeadingDigits(std::string_view value) {
  size_t i = 0;
  while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) ++i;
  size_t start = i;
  while (i < value.size() && value[i] >= '0' && value[i] <= '9') ++i;
  return std::string(value.substr(start, i - start));
}

// The vertical alignment an IMG's ALIGN value gives, or empty. MIDDLE and
// CENTER put the picture's middle on the text's baseline, which CSS has no
// common keyword for: the head snippet turns "baseline-middle" into each
// browser's own.
std::string_view VerticalAlign(const std::string& align) {
  if (align == "top") return "top";
  if (align == "texttop") return "text-top";
  if (align == "middle" || align == "center") return "baseline-middle";
  if (align == "absmiddle" || align == "abscenter") return "middle";
  if (align == "absbottom") return "bottom";
  if (align == "bottom" || align == "baseline") return "baseline";
  return {};
}

// The attributes of the IMG tag (as ReadTagAttributes gives them) that the
// table takes over, as text, for the picture `spec` describes.
std::string CarriedAttributes(const std::vector<TTagAttribute>& attributes,
                              const TTableSpec& spec) {
  const int32_t width = spec.Width, height = spec.Height;
  std::string out;
  // The head snippet sizes the table from --vlm-w and gives it the
  // picture's shape (--vlm-a): its height follows its width as an image's
  // does, and a grid, which does not stretch a box that has a shape, leaves
  // it its own height as it leaves an image's. A picture that a percentage
  // sizes (its own style has one, or the page is made for narrow screens and
  // its rules may reach the picture by class or id) gives way in a narrow
  // container as a fluid image does, so that a card or column holding it
  // can still shrink (--vlm-f, a zero percentage). A picture no rule of the
  // page can reach keeps its width, also as a flex or grid item (--vlm-m);
  // shown at its own size, that is its content box's width whatever
  // box-sizing the page gives every element (--vlm-s), so a BORDER adds to
  // it. Without a WIDTH of its own, a picture that a rule or its style gives
  // a height takes its width from its shape, as an image does: the table's
  // width is then its content's (--vlm-i), which the shape turns into height
  // times ratio. A picture cut in another shape than its own (a HEIGHT that
  // does not match it) is drawn by a browser in its own shape wherever its
  // height is auto; the page's script then gives the table that shape
  // (--vlm-o).
  std::string style = "--vlm-w:" + std::to_string(width) + "px;--vlm-a:" + std::to_string(width) +
                      "/" + std::to_string(height) + ";";
  if (spec.OwnWidth > 0 && spec.OwnHeight > 0 &&
      int64_t{spec.OwnWidth} * height != int64_t{spec.OwnHeight} * width) {
    style +=
        "--vlm-o:" + std::to_string(spec.OwnWidth) + "/" + std::to_string(spec.OwnHeight) + ";";
  }
  const TTagAttribute* ownStyle = FindAttribute(attributes, "style");
  const bool named = FindAttribute(attributes, "class") || FindAttribute(attributes, "id");
  const bool hasWidth = FindAttribute(attributes, "width") != nullptr;
  const bool hasHeight = FindAttribute(attributes, "height") != nullptr;
  const bool fluid = (ownStyle && ownStyle->Value.find('%') != std::string::npos) ||
                     (named && spec.Page.Responsive);
  if (fluid) {
    style += "--vlm-f:0%;";
  } else if (!named && !ownStyle) {
    style += "--vlm-m:" + std::to_string(width) + "px;";
    if (!hasWidth && !hasHeight) style += "--vlm-s:content-box;";
  }
  if ((named || ownStyle) && !hasWidth) {
    style += fluid ? "--vlm-i:fit-content;" : "--vlm-i:max-content;";
  }
  for (std::string_view name : {"id", "class", "title", "lang", "dir"}) {
    if (const TTagAttribute* a = FindAttribute(attributes, name))
      AppendAttribute(out, name, a->Value);
  }
  if (FindAttribute(attributes, "hidden")) AppendAttribute(out, "hidden", "");
  if (const TTagAttribute* a = FindAttribute(attributes, "align")) {
    const std::string align = platform::AsciiLower(a->Value);
    if (align == "left" || align == "right") {
      AppendAttribute(out, "align", align);
      // In quirks mode browsers give a picture floated by ALIGN 3 pixels of
      // room on the side of the text, unless HSPACE says otherwise.
      if (spec.Page.Quirks && !FindAttribute(attributes, "hspace"))
        style += align == "left" ? "--vlm-r:3px;" : "--vlm-l:3px;";
    } else if (!VerticalAlign(align).empty()) {
      style += "--vlm-va:" + std::string(VerticalAlign(align)) + ";";
    }
  }
  auto length = [&](std::string_view attribute, std::string_view property) {
    const TTagAttribute* a = FindAttribute(attributes, attribute);
    if (!a) return;
    const std::string digits = LeadingDigits(a->Value);
    if (!digits.empty()) style += std::string(property) + ":" + digits + "px;";
  };
  length("border", "--vlm-b");
  length("hspace", "--vlm-h");
  length("vspace", "--vlm-v");
  const TTagAttribute* alt = FindAttribute(attributes, "alt");
  if (alt && !alt->Value.empty()) {
    AppendAttribute(out, "role", "img");
    AppendAttribute(out, "aria-label", alt->Value);
  } else {
    AppendAttribute(out, "role", "presentation");
  }
  if (ownStyle) style += ownStyle->Value;
  AppendAttribute(out, "style", style);
  return out;
}

// What a cell says of a piece whose file reaches past it (rect's bleeds),
// as the cell's style text, the piece's width and its margins. The cell is
// as wide as the piece, which keeps the columns' shares of the table, and
// clips the file; the head snippet lays the file over the cell from the
// cell's numbers (--vlm-c, the piece's width; --vlm-ct, -cr, -cb, -cl, what
// the file holds beyond it), scaled as the cell is. The width and margins
// in percent of the cell are for a browser that does not take the
// snippet's rules.
struct TCellText {
  std::string Style, Width = "100%", Margin = "0";
};
TCellText CellText(const TPieceRect& rect) {
  TCellText text;
  if (rect.FileWidth() == rect.Width && rect.FileHeight() == rect.Height) return text;
  const int32_t w = rect.Width;
  text.Style = ";width:" + std::to_string(w) + "px;overflow:hidden;--vlm-c:" + std::to_string(w);
  text.Width = Percent(rect.FileWidth(), w) + "%";
  text.Margin.clear();
  const std::pair<const char*, int32_t> sides[] = {
      {"t", rect.BleedTop}, {"r", rect.BleedRight}, {"b", rect.BleedBottom}, {"l", rect.BleedLeft}};
  for (const auto& [side, bleed] : sides) {
    if (!text.Margin.empty()) text.Margin += ' ';
    if (bleed == 0) {
      text.Margin += '0';
      continue;
    }
    text.Style += ";--vlm-c" + std::string(side) + ":" + std::to_string(bleed);
    text.Margin += "-" + Percent(bleed, w) + "%";
  }
  return text;
}

}  // namespace

void AppendFormatted(std::string& out, std::string_view format,
                     std::initializer_list<std::string_view> args) {
  auto invalid = [&] {
    return Exception("Format '" + std::string(format) + "' invalid or incompatible with argument");
  };
  auto next = args.begin();
  size_t i = 0;
  for (size_t pos; (pos = format.find('%', i)) != std::string_view::npos; i = pos + 2) {
    out.append(format.substr(i, pos - i));
    const char conversion = pos + 1 < format.size() ? format[pos + 1] : '\0';
    if (conversion == '%') {
      out.push_back('%');
    } else if ((conversion == 'd' || conversion == 's') && next != args.end()) {
      out.append(*next++);
    } else {
      throw invalid();
    }
  }
  out.append(format.substr(i));
  if (next != args.end()) throw invalid();
}

std::string WidthHeightTemplate() { return Descrambled(kWidthHeightText); }

std::string PieceAttributes(std::string_view widthHeightText, int32_t w, int32_t h) {
  std::string attributes;
  if (!widthHeightText.empty()) {
    AppendFormatted(attributes, widthHeightText, {std::to_string(w), std::to_string(h)});
  }
  return attributes;
}

std::string Percent(int32_t part, int32_t whole) {
  char text[32];
  // Rounded up in the last place: a browser that truncates the length it
  // computes then still reaches the whole pixel, and a 30-pixel piece of a
  // 90-pixel picture does not become 29.99 pixels and move the text below.
  const double percent =
      whole > 0 && part > 0 ? std::ceil(100.0 * part / whole * 1e6 - 1e-3) / 1e6 : 0.0;
  std::snprintf(text, sizeof text, "%.6f", percent);
  return text;
}

std::string BuildTableMarkup(const TTableSpec& spec, std::string_view pieceNames) {
  std::string out(spec.LinkTag);
  if (spec.Markup == TMarkup::Layered) {
    // Its layers cannot clip what a file holds beyond its piece.
    if (spec.Bleed != 0) throw Exception("A layered picture cannot show pieces cut for a table");
    out += BuildLayeredMarkup(spec, pieceNames);
  } else {
    const auto attributes = ReadTagAttributes(spec.TagText);
    std::string height;
    if (FindAttribute(attributes, "height"))
      height = " height=\"" + std::to_string(spec.Height) + "\"";
    static const std::string tableOpen = Descrambled(kTableOpenText);
    AppendFormatted(out, tableOpen,
                    {CarriedAttributes(attributes, spec), std::to_string(spec.Width), height});
    // A picture the page loads only once it nears the view keeps that: a
    // page of many such pictures would otherwise load every piece at once.
    const TTagAttribute* loading = FindAttribute(attributes, "loading");
    const std::string lazy =
        loading && platform::AsciiLower(loading->Value) == "lazy" ? " loading=\"lazy\"" : "";
    static const std::string cell = Descrambled(kCellText);
    const TGrid grid = spec.Grid();
    size_t name = 0;
    for (int32_t r = 0; r < spec.Rows; ++r) {
      out.append(kRowOpenText);
      for (int32_t c = 0; c < spec.Cols; ++c) {
        const TPieceRect rect = PieceRect(grid, spec.Width, spec.Height, r, c);
        const TCellText text = CellText(rect);
        AppendFormatted(
            out, cell,
            {text.Style, spec.SrcDir, pieceNames.substr(name, 4), spec.ImageExt,
             PieceAttributes(spec.WidthHeightText, rect.FileWidth(), rect.FileHeight()) + lazy,
             text.Width, text.Margin});
        name += 4;
      }
      out.append(r == spec.Rows - 1 ? kTableCloseText : kRowCloseText);
    }
  }
  if (!spec.LinkTag.empty()) out += spec.CloseLinkText;
  return out;
}
