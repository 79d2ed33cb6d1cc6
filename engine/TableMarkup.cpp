#include "engine/TableMarkup.h"

#include "platform/Exception.h"

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

void AppendTableOpen(std::string& out, int32_t w, int32_t h) {
  AppendFormatted(out, Descrambled(kTableOpenText), {std::to_string(w), std::to_string(h)});
}

void AppendCell(std::string& out, std::string_view linkTag, std::string_view srcDir,
                std::string_view pieceName, std::string_view imageExt, std::string_view attributes,
                std::string_view closeLinkText) {
  std::string_view close = linkTag.empty() ? std::string_view() : closeLinkText;
  AppendFormatted(out, Descrambled(kCellText),
                  {linkTag, srcDir, pieceName, imageExt, attributes, close});
}

std::string PieceAttributes(std::string_view widthHeightText, int32_t w, int32_t h) {
  std::string attributes;
  if (!widthHeightText.empty()) {
    AppendFormatted(attributes, widthHeightText, {std::to_string(w), std::to_string(h)});
  }
  return attributes;
}

void AppendRowEnd(std::string& out, bool lastRow) {
  out.append(lastRow ? kTableCloseText : kRowCloseText);
}

std::string BuildTableMarkup(const TTableSpec& spec, std::string_view pieceNames) {
  // Descramble each template once per table, not once per cell.
  const std::string cell = Descrambled(kCellText);
  std::string out;
  AppendTableOpen(out, spec.Width, spec.Height);
  std::string_view close = spec.LinkTag.empty() ? std::string_view() : spec.CloseLinkText;
  const int32_t lastWidth = spec.Width - (spec.Cols - 1) * spec.PieceWidth;
  const int32_t lastHeight = spec.Height - (spec.Rows - 1) * spec.PieceHeight;
  size_t name = 0;
  for (int32_t r = 0; r < spec.Rows; ++r) {
    out.append(kRowOpenText);
    int32_t h = r == spec.Rows - 1 ? lastHeight : spec.PieceHeight;
    for (int32_t c = 0; c < spec.Cols; ++c) {
      int32_t w = c == spec.Cols - 1 ? lastWidth : spec.PieceWidth;
      AppendFormatted(out, cell,
                      {spec.LinkTag, spec.SrcDir, pieceNames.substr(name, 4), spec.ImageExt,
                       PieceAttributes(spec.WidthHeightText, w, h), close});
      name += 4;
    }
    AppendRowEnd(out, r == spec.Rows - 1);
  }
  return out;
}
