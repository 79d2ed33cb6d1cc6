#include <climits>

#include "testsupport/SampleImages.h"

namespace samples {

namespace {

void Put16(std::string& s, uint32_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

// w x h true-colour pixels as stored by a 24-bit bottom-up bitmap.
std::string Pack24(int w, int h) {
  std::string data;
  for (int y = h - 1; y >= 0; --y) {
    size_t start = data.size();
    for (int x = 0; x < w; ++x) {
      data.push_back(static_cast<char>(x * 29 + y * 3));  // blue
      data.push_back(static_cast<char>(y * 41));          // green
      data.push_back(static_cast<char>(x * 17));          // red
    }
    while ((data.size() - start) % 4 != 0) data.push_back(0);
  }
  return data;
}

// w x h pixels of `bytes` bytes each, every pixel value spelled out.
std::string PackWords(int w, int h, int bytes) {
  std::string data;
  for (int y = h - 1; y >= 0; --y) {
    size_t start = data.size();
    for (int x = 0; x < w; ++x) {
      uint32_t v = static_cast<uint32_t>(x * 2654435761u + y * 40503u);
      for (int i = 0; i < bytes; ++i) data.push_back(static_cast<char>(v >> (8 * i)));
    }
    while ((data.size() - start) % 4 != 0) data.push_back(0);
  }
  return data;
}

BmpSpec Paletted(int w, int h, int bits, int colors) {
  BmpSpec s;
  s.Width = w;
  s.Height = h;
  s.BitCount = static_cast<uint16_t>(bits);
  s.Palette = TestPalette(colors);
  s.ColorsUsed = static_cast<uint32_t>(colors) == (1u << bits) ? 0 : static_cast<uint32_t>(colors);
  s.PixelData = PackIndexRows(TestIndexRows(w, h, colors), bits);
  return s;
}

BmpSpec Rle(int w, int h, int bits) {
  BmpSpec s = Paletted(w, h, bits, 1 << bits);
  s.Compression = bits == 8 ? 1 : 2;
  s.PixelData = EncodeRle(TestIndexRows(w, h, 1 << bits), bits);
  return s;
}

BmpSpec TrueColour(int w, int h) {
  BmpSpec s;
  s.Width = w;
  s.Height = h;
  s.PixelData = Pack24(w, h);
  return s;
}

SampleFile File(std::string name, const BmpSpec& spec, bool decodes) {
  return {std::move(name), BuildBmp(spec), decodes};
}

}  // namespace

std::string BuildBmp(const BmpSpec& spec) {
  const bool core = spec.HeaderSize == 12;
  std::string header;
  Put32(header, spec.HeaderSize);
  if (core) {
    Put16(header, static_cast<uint32_t>(spec.Width));
    Put16(header, static_cast<uint32_t>(spec.Height));
    Put16(header, spec.Planes);
    Put16(header, spec.BitCount);
  } else {
    Put32(header, static_cast<uint32_t>(spec.Width));
    Put32(header, static_cast<uint32_t>(spec.Height));
    Put16(header, spec.Planes);
    Put16(header, spec.BitCount);
    Put32(header, spec.Compression);
    Put32(header, static_cast<uint32_t>(spec.PixelData.size()));
    Put32(header, 2835);
    Put32(header, 2835);
    Put32(header, spec.ColorsUsed);
    Put32(header, 0);
    // Later header versions carry the masks inside the header.
    if (spec.HeaderSize >= 52 && spec.HeaderSize <= 1024) {
      for (uint32_t m : spec.Masks) Put32(header, m);
    }
    if (spec.HeaderSize <= 1024 && header.size() < spec.HeaderSize)
      header.resize(spec.HeaderSize, '\0');
  }
  std::string extra;
  if (spec.HeaderSize == 40) {
    for (uint32_t m : spec.Masks) Put32(extra, m);
  }
  for (const Rgb& c : spec.Palette) {
    extra.push_back(static_cast<char>(c[2]));
    extra.push_back(static_cast<char>(c[1]));
    extra.push_back(static_cast<char>(c[0]));
    if (!core) extra.push_back(0);
  }
  const uint32_t offset = spec.DataOffset >= 0
                              ? static_cast<uint32_t>(spec.DataOffset)
                              : static_cast<uint32_t>(14 + header.size() + extra.size());
  std::string file = "BM";
  Put32(file, static_cast<uint32_t>(14 + header.size() + extra.size() + spec.PixelData.size()));
  Put32(file, 0);
  Put32(file, offset);
  return file + header + extra + spec.PixelData;
}

std::string PackIndexRows(const std::vector<std::vector<uint8_t>>& rows, int bits) {
  std::string data;
  for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
    std::string line((row->size() * bits + 31) / 32 * 4, '\0');
    for (size_t x = 0; x < row->size(); ++x) {
      size_t bit = x * bits;
      line[bit / 8] = static_cast<char>(line[bit / 8] | ((*row)[x] << (8 - bits - bit % 8)));
    }
    data += line;
  }
  return data;
}

std::string EncodeRle(const std::vector<std::vector<uint8_t>>& rows, int bits) {
  std::string data;
  for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
    const std::vector<uint8_t>& r = *row;
    size_t x = 0;
    if (bits == 8 && r.size() >= 3) {  // one absolute run of three, padded
      data += std::string{
          0, 3, static_cast<char>(r[0]), static_cast<char>(r[1]), static_cast<char>(r[2]), 0};
      x = 3;
    }
    while (x < r.size()) {
      if (bits == 8) {
        size_t n = 1;
        while (x + n < r.size() && r[x + n] == r[x] && n < 255) ++n;
        data.push_back(static_cast<char>(n));
        data.push_back(static_cast<char>(r[x]));
        x += n;
      } else {  // pairs of pixels
        size_t n = std::min<size_t>(2, r.size() - x);
        uint8_t hi = r[x], lo = n == 2 ? r[x + 1] : 0;
        data.push_back(static_cast<char>(n));
        data.push_back(static_cast<char>((hi << 4) | lo));
        x += n;
      }
    }
    data += std::string{0, 0};
  }
  data += std::string{0, 1};
  return data;
}

std::vector<Rgb> TestPalette(int count) {
  std::vector<Rgb> palette;
  for (int i = 0; i < count; ++i) {
    palette.push_back({static_cast<uint8_t>(i * 37), static_cast<uint8_t>(i * 91 + 7),
                       static_cast<uint8_t>(255 - i * 53)});
  }
  return palette;
}

std::vector<std::vector<uint8_t>> TestIndexRows(int w, int h, int colors) {
  std::vector<std::vector<uint8_t>> rows(h, std::vector<uint8_t>(w));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) rows[y][x] = static_cast<uint8_t>((x / 2 + y * 3) % colors);
  }
  return rows;
}

std::vector<SampleFile> ValidBmpFiles() {
  std::vector<SampleFile> files;
  files.push_back(File("rgb24.bmp", TrueColour(7, 5), true));
  BmpSpec topDown = TrueColour(5, 4);
  topDown.Height = -4;
  files.push_back(File("rgb24-top-down.bmp", topDown, true));
  files.push_back(File("pal1.bmp", Paletted(13, 4, 1, 2), true));
  files.push_back(File("pal4.bmp", Paletted(9, 5, 4, 16), true));
  files.push_back(File("pal4-few-colours.bmp", Paletted(9, 5, 4, 5), true));
  files.push_back(File("pal8.bmp", Paletted(6, 5, 8, 256), true));
  files.push_back(File("rle8.bmp", Rle(11, 4, 8), true));
  files.push_back(File("rle4.bmp", Rle(9, 3, 4), true));

  BmpSpec rgb16;
  rgb16.Width = 5;
  rgb16.Height = 3;
  rgb16.BitCount = 16;
  rgb16.PixelData = PackWords(5, 3, 2);
  files.push_back(File("rgb16.bmp", rgb16, true));
  BmpSpec fields565 = rgb16;
  fields565.Compression = 3;
  fields565.Masks = {0xF800, 0x07E0, 0x001F};
  files.push_back(File("bitfields565.bmp", fields565, true));
  BmpSpec rgb32;
  rgb32.Width = 4;
  rgb32.Height = 3;
  rgb32.BitCount = 32;
  rgb32.PixelData = PackWords(4, 3, 4);
  files.push_back(File("rgb32.bmp", rgb32, true));
  BmpSpec v4 = rgb32;
  v4.Compression = 3;
  v4.HeaderSize = 108;
  v4.Masks = {0x0000FF00, 0x00FF0000, 0xFF000000};
  files.push_back(File("bitfields32-v4.bmp", v4, true));
  BmpSpec v5 = TrueColour(3, 3);
  v5.HeaderSize = 124;
  files.push_back(File("rgb24-v5.bmp", v5, true));
  BmpSpec core = TrueColour(6, 2);
  core.HeaderSize = 12;
  files.push_back(File("core24.bmp", core, true));
  BmpSpec core8 = Paletted(5, 3, 8, 256);
  core8.HeaderSize = 12;
  files.push_back(File("core8.bmp", core8, true));
  return files;
}

std::vector<SampleFile> HostileBmpFiles() {
  std::vector<SampleFile> files;
  auto sized = [](int32_t w, int32_t h) {
    BmpSpec s = TrueColour(4, 4);
    s.Width = w;
    s.Height = h;
    return s;
  };
  files.push_back(File("negative-width.bmp", sized(-4, 4), false));
  files.push_back(File("height-int-min.bmp", sized(4, INT32_MIN), false));
  files.push_back(File("width-int-max.bmp", sized(INT32_MAX, 1), false));
  files.push_back(File("huge-dimensions.bmp", sized(100000, 100000), false));
  files.push_back(File("side-over-limit.bmp", sized(16385, 1), false));
  files.push_back(File("area-overflows-32-bits.bmp", sized(65536, 65536), false));
  files.push_back(File("zero-width.bmp", sized(0, 4), false));
  files.push_back(File("zero-height.bmp", sized(4, 0), false));
  BmpSpec rleBomb = Rle(4, 4, 8);
  rleBomb.Width = rleBomb.Height = 8193;  // just past 2^26 pixels
  rleBomb.PixelData = std::string{0, 1};
  files.push_back(File("rle-area-over-limit.bmp", rleBomb, false));

  for (int bits : {0, 2, 3, 7, 33, 64, 0xFFFF}) {
    BmpSpec s = TrueColour(4, 4);
    s.BitCount = static_cast<uint16_t>(bits);
    files.push_back(File("bitcount-" + std::to_string(bits) + ".bmp", s, false));
  }
  BmpSpec planes = TrueColour(4, 4);
  planes.Planes = 2;
  files.push_back(File("planes-2.bmp", planes, false));

  BmpSpec runPastRow = Rle(4, 2, 8);
  runPastRow.PixelData = std::string{10, 1, 0, 0, 4, 1, 0, 1};
  files.push_back(File("rle8-run-past-row.bmp", runPastRow, true));  // pixels past the width are dropped
  BmpSpec absolutePastRow = Rle(4, 2, 8);
  absolutePastRow.PixelData = std::string{0, 6, 1, 2, 3, 4, 5, 6, 0, 1};
  files.push_back(File("rle8-absolute-past-row.bmp", absolutePastRow, true));  // pixels past the width are dropped
  BmpSpec absoluteTruncated = Rle(4, 2, 8);
  absoluteTruncated.PixelData = std::string{0, (char)200, 1, 2, 3};
  files.push_back(File("rle8-absolute-past-end-of-file.bmp", absoluteTruncated, false));
  BmpSpec deltaPastEnd = Rle(4, 2, 8);
  deltaPastEnd.PixelData = std::string{0, 2, 1, 9, 2, 7, 0, 1};
  files.push_back(File("rle8-delta-past-end.bmp", deltaPastEnd, false));
  BmpSpec rowsPastEnd = Rle(4, 2, 8);
  rowsPastEnd.PixelData = std::string{4, 1, 0, 0, 4, 1, 0, 0, 0, 0, 4, 1, 0, 1};
  files.push_back(File("rle8-rows-past-end.bmp", rowsPastEnd, false));
  BmpSpec rle4PastRow = Rle(5, 2, 4);
  rle4PastRow.PixelData = std::string{7, 0x12, 0, 1};
  files.push_back(File("rle4-run-past-row.bmp", rle4PastRow, true));  // pixels past the width are dropped
  BmpSpec rleTopDown = Rle(4, 2, 8);
  rleTopDown.Height = -2;
  files.push_back(File("rle8-top-down.bmp", rleTopDown, false));
  BmpSpec rleWrongBits = Rle(4, 2, 8);
  rleWrongBits.BitCount = 24;
  files.push_back(File("rle8-with-24-bits.bmp", rleWrongBits, false));
  BmpSpec rleNoEnd = Rle(4, 2, 8);
  rleNoEnd.PixelData = std::string{4, 1, 0, 0};
  files.push_back(File("rle8-rows-missing.bmp", rleNoEnd, false));

  BmpSpec truncated = TrueColour(6, 6);
  truncated.PixelData.resize(truncated.PixelData.size() - 5);
  files.push_back(File("truncated-pixels.bmp", truncated, false));
  BmpSpec offsetPastEnd = TrueColour(4, 4);
  offsetPastEnd.DataOffset = 1 << 20;
  files.push_back(File("data-offset-past-end.bmp", offsetPastEnd, false));
  BmpSpec offsetNegative = TrueColour(4, 4);
  offsetNegative.DataOffset = 0xFFFFFFF0;
  files.push_back(File("data-offset-wraps.bmp", offsetNegative, false));
  for (uint32_t size : {0u, 13u, 39u, 64u, 125u, 0xFFFFFFFFu}) {
    BmpSpec s = TrueColour(4, 4);
    s.HeaderSize = size;
    files.push_back(File("header-size-" + std::to_string(size) + ".bmp", s, false));
  }
  BmpSpec indexPastPalette = Paletted(4, 4, 8, 2);
  indexPastPalette.PixelData = PackIndexRows(TestIndexRows(4, 4, 250), 8);
  files.push_back(File("index-past-palette.bmp", indexPastPalette, true));
  BmpSpec paletteMissing = Paletted(4, 4, 8, 256);
  paletteMissing.Palette.clear();
  paletteMissing.PixelData.clear();
  files.push_back(File("palette-and-pixels-missing.bmp", paletteMissing, false));
  BmpSpec colorsHuge = Paletted(4, 4, 8, 256);
  colorsHuge.ColorsUsed = 0xFFFFFFFF;
  files.push_back(File("colours-used-huge.bmp", colorsHuge, true));
  BmpSpec badMask = TrueColour(4, 4);
  badMask.BitCount = 32;
  badMask.Compression = 3;
  badMask.Masks = {0x0F0F0F0F, 0xF0, 0xF000};
  badMask.PixelData = PackWords(4, 4, 4);
  files.push_back(File("bitfields-split-mask.bmp", badMask, false));
  BmpSpec masksMissing = badMask;
  masksMissing.Masks.clear();
  masksMissing.PixelData.clear();
  files.push_back(File("bitfields-masks-missing.bmp", masksMissing, false));
  BmpSpec embeddedJpeg = TrueColour(4, 4);
  embeddedJpeg.Compression = 4;
  files.push_back(File("embedded-jpeg.bmp", embeddedJpeg, false));
  files.push_back({"empty.bmp", "", false});
  files.push_back({"signature-only.bmp", "BM", false});
  std::string wrongSignature = BuildBmp(TrueColour(4, 4));
  wrongSignature[1] = 'A';
  files.push_back({"signature-ba.bmp", wrongSignature, false});
  return files;
}

}  // namespace samples
