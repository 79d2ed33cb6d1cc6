#include "testsupport/SampleImages.h"

namespace samples {

namespace {

void Put16(std::string& s, int v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}

// Bits needed for a colour table of `count` entries (the table is padded to
// that power of two).
int TableBits(size_t count) {
  int bits = 1;
  while ((size_t{1} << bits) < count && bits < 8) ++bits;
  return bits;
}

void PutTable(std::string& s, const std::vector<Rgb>& table) {
  const size_t entries = size_t{1} << TableBits(table.size());
  for (size_t i = 0; i < entries; ++i) {
    Rgb c = i < table.size() ? table[i] : Rgb{0, 0, 0};
    s.append({static_cast<char>(c[0]), static_cast<char>(c[1]), static_cast<char>(c[2])});
  }
}

// LZW data with a clear code before the code width would grow, so every code
// is a literal of minCodeSize + 1 bits. Returned as data sub-blocks with their
// terminator.
std::string LzwBlocks(const std::vector<uint8_t>& indices, int minCodeSize) {
  const int clear = 1 << minCodeSize, width = minCodeSize + 1;
  const size_t literalsPerClear = static_cast<size_t>(clear) - 2;
  std::string bytes;
  uint32_t buffer = 0;
  int filled = 0;
  auto emit = [&](int code) {
    buffer |= static_cast<uint32_t>(code) << filled;
    filled += width;
    while (filled >= 8) {
      bytes.push_back(static_cast<char>(buffer & 0xFF));
      buffer >>= 8;
      filled -= 8;
    }
  };
  for (size_t i = 0; i < indices.size(); ++i) {
    if (i % literalsPerClear == 0) emit(clear);
    emit(indices[i] & ((1 << width) - 1));
  }
  emit(clear + 1);
  if (filled > 0) bytes.push_back(static_cast<char>(buffer & 0xFF));
  std::string blocks;
  for (size_t at = 0; at < bytes.size(); at += 255) {
    std::string chunk = bytes.substr(at, 255);
    blocks.push_back(static_cast<char>(chunk.size()));
    blocks += chunk;
  }
  blocks.push_back(0);
  return blocks;
}

// The rows of a frame in the order an interlaced frame stores them.
std::vector<uint8_t> InterlaceRows(const GifFrame& f) {
  std::vector<uint8_t> out;
  static constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    for (int y = kStart[pass]; y < f.Height; y += kStep[pass]) {
      out.insert(out.end(), f.Indices.begin() + static_cast<size_t>(y) * f.Width,
                 f.Indices.begin() + static_cast<size_t>(y + 1) * f.Width);
    }
  }
  return out;
}

GifFrame Frame(int w, int h, int colors) {
  GifFrame f;
  f.Width = w;
  f.Height = h;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) f.Indices.push_back(static_cast<uint8_t>((x + 2 * y) % colors));
  }
  return f;
}

GifSpec Simple(int w, int h, int colors) {
  GifSpec s;
  s.ScreenWidth = w;
  s.ScreenHeight = h;
  s.GlobalPalette = TestPalette(colors);
  s.Frames.push_back(Frame(w, h, colors));
  return s;
}

SampleFile File(std::string name, const GifSpec& spec, bool decodes) {
  return {std::move(name), BuildGif(spec), decodes};
}

}  // namespace

std::string BuildGif(const GifSpec& spec) {
  std::string s = "GIF89a";
  Put16(s, spec.ScreenWidth);
  Put16(s, spec.ScreenHeight);
  const bool global = !spec.GlobalPalette.empty();
  const int globalBits = TableBits(spec.GlobalPalette.size());
  s.push_back(static_cast<char>(global ? 0xF0 | (globalBits - 1) : 0x70));
  s.push_back(0);  // background colour
  s.push_back(0);  // aspect ratio
  if (global) PutTable(s, spec.GlobalPalette);
  for (const std::string& extension : spec.Extensions) s += extension;
  for (const GifFrame& f : spec.Frames) {
    if (f.Transparent >= 0) {
      s += std::string{0x21, static_cast<char>(0xF9),          4, 1, 0,
                       0,    static_cast<char>(f.Transparent), 0};
    }
    s.push_back(0x2C);
    Put16(s, f.Left);
    Put16(s, f.Top);
    Put16(s, f.Width);
    Put16(s, f.Height);
    const bool local = !f.LocalPalette.empty();
    const int localBits = TableBits(f.LocalPalette.size());
    s.push_back(
        static_cast<char>((local ? 0x80 | (localBits - 1) : 0) | (f.Interlaced ? 0x40 : 0)));
    if (local) PutTable(s, f.LocalPalette);
    int codeSize = spec.MinCodeSize;
    if (codeSize == 0) codeSize = std::max(2, local ? localBits : global ? globalBits : 2);
    s.push_back(static_cast<char>(codeSize));
    s += LzwBlocks(f.Interlaced ? InterlaceRows(f) : f.Indices, codeSize);
  }
  if (spec.Trailer) s.push_back(0x3B);
  return s;
}

std::vector<SampleFile> ValidGifFiles() {
  std::vector<SampleFile> files;
  files.push_back(File("global.gif", Simple(7, 5, 4), true));
  files.push_back(File("colours-256.gif", Simple(16, 16, 256), true));
  GifSpec local = Simple(6, 4, 16);
  local.Frames[0].LocalPalette = local.GlobalPalette;
  local.GlobalPalette.clear();
  files.push_back(File("local-palette.gif", local, true));
  GifSpec transparent = Simple(5, 5, 4);
  transparent.Frames[0].Transparent = 1;
  files.push_back(File("transparent.gif", transparent, true));
  GifSpec interlaced = Simple(6, 11, 8);
  interlaced.Frames[0].Interlaced = true;
  files.push_back(File("interlaced.gif", interlaced, true));
  GifSpec offset = Simple(10, 8, 4);
  offset.Frames[0] = Frame(4, 3, 4);
  offset.Frames[0].Left = 3;
  offset.Frames[0].Top = 2;
  files.push_back(File("frame-at-offset.gif", offset, true));
  GifSpec noTrailer = Simple(4, 3, 2);
  noTrailer.Trailer = false;
  files.push_back(File("no-trailer.gif", noTrailer, true));
  GifSpec extensions = Simple(5, 4, 4);
  extensions.Extensions = {
      std::string{0x21, static_cast<char>(0xFE), 5} + "hello" + std::string(1, '\0'),
      std::string{0x21, static_cast<char>(0xFF), 11} + "NETSCAPE2.0" + std::string{3, 1, 0, 0, 0}};
  files.push_back(File("comment-and-loop-extension.gif", extensions, true));
  return files;
}

std::vector<SampleFile> HostileGifFiles() {
  std::vector<SampleFile> files;
  GifSpec outside = Simple(4, 4, 4);
  outside.Frames[0] = Frame(4, 4, 4);
  outside.Frames[0].Left = outside.Frames[0].Top = 2;
  files.push_back(File("frame-outside-screen.gif", outside, false));
  GifSpec larger = Simple(4, 4, 4);
  larger.Frames[0] = Frame(9, 2, 4);
  files.push_back(File("frame-wider-than-screen.gif", larger, false));
  GifSpec farAway = Simple(4, 4, 4);
  farAway.Frames[0].Left = 65000;
  files.push_back(File("frame-far-outside-screen.gif", farAway, false));

  GifSpec badIndex = Simple(4, 4, 4);
  badIndex.MinCodeSize = 3;
  badIndex.Frames[0].Indices[5] = 7;
  files.push_back(File("colour-index-past-palette.gif", badIndex, false));
  GifSpec badLocalIndex = Simple(4, 4, 4);
  badLocalIndex.Frames[0].LocalPalette = TestPalette(2);
  files.push_back(File("colour-index-past-local-palette.gif", badLocalIndex, false));

  GifSpec thousands = Simple(3, 3, 2);
  for (int i = 0; i < 3000; ++i) thousands.Frames.push_back(Frame(3, 3, 2));
  files.push_back(File("frames-3001.gif", thousands, false));
  GifSpec two = Simple(3, 3, 2);
  two.Frames.push_back(Frame(1, 1, 2));
  files.push_back(File("frames-2.gif", two, false));
  GifSpec none = Simple(3, 3, 2);
  none.Frames.clear();
  files.push_back(File("no-frame.gif", none, false));

  GifSpec zeroScreen = Simple(3, 3, 2);
  zeroScreen.ScreenWidth = zeroScreen.ScreenHeight = 0;
  files.push_back(File("zero-size-screen.gif", zeroScreen, false));
  GifSpec zeroFrame = Simple(3, 3, 2);
  zeroFrame.Frames[0] = Frame(0, 0, 2);
  files.push_back(File("zero-size-frame.gif", zeroFrame, false));
  GifSpec huge = Simple(3, 3, 2);
  huge.ScreenWidth = huge.ScreenHeight = 65535;
  files.push_back(File("screen-65535-square.gif", huge, false));
  GifSpec noPalette = Simple(3, 3, 2);
  noPalette.GlobalPalette.clear();
  files.push_back(File("no-palette.gif", noPalette, false));
  GifSpec codeSize = Simple(3, 3, 2);
  codeSize.MinCodeSize = 12;
  files.push_back(File("code-size-12.gif", codeSize, false));

  std::string valid = BuildGif(Simple(8, 8, 4));
  files.push_back({"truncated-in-image-data.gif", valid.substr(0, valid.size() - 6), false});
  files.push_back({"truncated-in-header.gif", valid.substr(0, 9), false});
  files.push_back({"signature-only.gif", "GIF89a", false});
  std::string garbage = valid.substr(0, valid.size() - 12);
  for (int i = 0; i < 8; ++i) garbage += static_cast<char>(0xA5 ^ (i * 29));
  garbage += std::string{0, 0x3B};
  files.push_back({"garbage-image-data.gif", garbage, false});
  GifSpec openExtension = Simple(3, 3, 2);
  openExtension.Extensions = {std::string{0x21, static_cast<char>(0xFE), 100} + "short"};
  openExtension.Frames.clear();
  openExtension.Trailer = false;
  files.push_back(File("unterminated-extension.gif", openExtension, false));
  return files;
}

}  // namespace samples
