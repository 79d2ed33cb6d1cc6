#include "engine/LayeredMarkup.h"

#include "engine/TagAttributes.h"

namespace {

// A transparent picture of w x h CSS pixels with nothing to save.
std::string Placeholder(int32_t w, int32_t h) {
  return "data:image/svg+xml,%3Csvg xmlns='http://www.w3.org/2000/svg' width='" +
         std::to_string(w) + "' height='" + std::to_string(h) + "'/%3E";
}

// A piece's address as a CSS string inside a double-quoted attribute.
std::string CssUrl(std::string_view address) {
  std::string out = "url('";
  for (char c : address) {
    if (c == '\'' || c == '\\') out += '\\';
    out += c;
  }
  return out + "')";
}

// Where a piece at `offset` of size `size` lies in a box of `whole`, as a
// background position in percent (which CSS takes of whole - size).
std::string Position(int32_t offset, int32_t size, int32_t whole) {
  return size >= whole ? std::string("0%") : Percent(offset, whole - size) + "%";
}

}  // namespace

std::string BuildLayeredMarkup(const TTableSpec& spec, std::string_view pieceNames) {
  const auto attributes = ReadTagAttributes(spec.TagText);
  std::string out = "<img";
  for (const auto& a : attributes) {
    bool dropped = false;
    for (std::string_view name :
         {std::string_view("src"), std::string_view("srcset"), std::string_view("sizes"),
          std::string_view("style"), kMarkupMarker}) {
      dropped = dropped || HasName(a, name);
    }
    if (!dropped) AppendAttribute(out, a.Name, a.Value);
  }
  // The placeholder has the picture's own size, as the picture had: the
  // page's CSS may size the IMG by it (height: auto takes its shape, width
  // and height auto its size), and the WIDTH and HEIGHT the tag may give
  // need not have that shape.
  const bool own = spec.OwnWidth > 0 && spec.OwnHeight > 0;
  AppendAttribute(
      out, "src",
      Placeholder(own ? spec.OwnWidth : spec.Width, own ? spec.OwnHeight : spec.Height));

  std::string images, positions, sizes, rightPositions, downPositions;
  const TGrid grid = spec.Grid();
  size_t name = 0;
  for (int32_t r = 0; r < spec.Rows; ++r) {
    for (int32_t c = 0; c < spec.Cols; ++c, name += 4) {
      const TPieceRect rect = PieceRect(grid, spec.Width, spec.Height, r, c);
      const int32_t w = rect.Width, h = rect.Height;
      const char* comma = name == 0 ? "" : ",";
      images += comma + CssUrl(std::string(spec.SrcDir) + std::string(pieceNames.substr(name, 4)) +
                               std::string(spec.ImageExt));
      const std::string x = Position(rect.Left, w, spec.Width);
      const std::string y = Position(rect.Top, h, spec.Height);
      positions += comma + x + " " + y;
      rightPositions += ",calc(" + x + " + 1px) " + y;
      downPositions += "," + x + " calc(" + y + " + 1px)";
      sizes += comma + Percent(w, spec.Width) + "% " + Percent(h, spec.Height) + "%";
    }
  }
  // A browser places each layer on whole device pixels by itself, so where
  // the page scales the picture to a fractional size two neighbours may
  // leave a line between them. An opaque picture is laid twice more
  // beneath, one pixel to the right and one pixel down, which fills such a
  // line with the colour beside it and is hidden everywhere else. (Beneath a
  // picture with transparent parts it would show through.)
  if (spec.Opaque) {
    images += "," + images + "," + images;
    positions += rightPositions + downPositions;
    sizes += "," + sizes + "," + sizes;
  }
  // The pieces stay inside the content box. Beneath them a layer without an
  // image, clipped to the border box as an image's background is: a browser
  // paints the background colour by the last layer's clip, so a colour the
  // page gives the picture still shows through its padding.
  const size_t layers = static_cast<size_t>(spec.Rows) * spec.Cols * (spec.Opaque ? 3 : 1);
  std::string clips;
  for (size_t i = 0; i < layers; ++i) clips += "content-box,";
  images += ",none";
  positions += ",0% 0%";
  sizes += ",auto";
  std::string style;
  if (const TTagAttribute* a = FindAttribute(attributes, "style")) {
    style = a->Value;
    const size_t end = style.find_last_not_of(" \t\r\n");
    if (end != std::string::npos && style[end] != ';') style += ';';
  }
  style += "background-image:" + images + ";background-position:" + positions +
           ";background-size:" + sizes +
           ";background-repeat:no-repeat;background-origin:content-box;background-clip:" + clips +
           "border-box";
  AppendAttribute(out, "style", style);
  AppendAttribute(out, kMarkupMarker, "");
  return out + "/>";
}
