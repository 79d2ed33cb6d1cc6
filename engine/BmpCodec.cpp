#include "engine/BmpCodec.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/Scaler.h"

namespace {

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;
constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;

// Bounds-checked little-endian reads over the file bytes.
class Reader {
 public:
  explicit Reader(std::string_view data) : data_(data) {}
  bool Has(size_t offset, size_t count) const {
    return offset <= data_.size() && count <= data_.size() - offset;
  }
  uint8_t U8(size_t offset) const { return static_cast<uint8_t>(data_[offset]); }
  uint16_t U16(size_t offset) const { return U8(offset) | (U8(offset + 1) << 8); }
  uint32_t U32(size_t offset) const {
    return U16(offset) | (static_cast<uint32_t>(U16(offset + 2)) << 16);
  }
  int32_t I32(size_t offset) const { return static_cast<int32_t>(U32(offset)); }
  size_t size() const { return data_.size(); }
  const uint8_t* Bytes() const { return reinterpret_cast<const uint8_t*>(data_.data()); }

 private:
  std::string_view data_;
};

// Turns a masked channel into 8 bits: the mask's bits shifted down and
// scaled so that the mask's full value becomes 255.
struct Channel {
  uint32_t Mask = 0;
  int Shift = 0;
  uint32_t Max = 0;

  explicit Channel(uint32_t mask) : Mask(mask) {
    if (mask != 0) {
      Shift = std::countr_zero(mask);
      Max = mask >> Shift;
    }
  }
  // A mask must be one run of bits.
  bool Valid() const { return Mask == 0 || ((Max + 1) & Max) == 0; }
  uint8_t Get(uint32_t pixel) const {
    if (Max == 0) return 0;
    uint32_t v = (pixel & Mask) >> Shift;
    return static_cast<uint8_t>((uint64_t{v} * 255 + Max / 2) / Max);
  }
};

struct Header {
  int32_t Width = 0;
  int32_t Height = 0;  // positive
  bool TopDown = false;
  uint16_t BitCount = 0;
  uint32_t Compression = kRgb;
  size_t PaletteOffset = 0;
  size_t PaletteEntrySize = 4;
  uint32_t PaletteCount = 0;
  std::array<uint32_t, 3> Masks{};
  // Named by a bit-field file that has room for it: pixels then carry an
  // alpha, as browsers show it (a plain 32-bit file's fourth byte is not one).
  uint32_t AlphaMask = 0;
};

using Palette = std::vector<std::array<uint8_t, 3>>;

bool ReadHeader(const Reader& in, Header& h) {
  if (!in.Has(0, kFileHeaderSize + 4) || in.U8(0) != 'B' || in.U8(1) != 'M') return false;
  const uint32_t headerSize = in.U32(kFileHeaderSize);
  const size_t hdr = kFileHeaderSize;
  if (!in.Has(hdr, headerSize)) return false;
  int64_t height = 0;
  uint32_t colorsUsed = 0;
  if (headerSize == 12) {  // core header: 16-bit sizes, 3-byte palette entries
    h.Width = in.U16(hdr + 4);
    height = in.U16(hdr + 6);
    if (in.U16(hdr + 8) != 1) return false;
    h.BitCount = in.U16(hdr + 10);
    h.PaletteEntrySize = 3;
  } else if (headerSize >= kInfoHeaderSize && headerSize <= 124 && headerSize != 64) {
    h.Width = in.I32(hdr + 4);
    height = in.I32(hdr + 8);
    if (in.U16(hdr + 12) != 1) return false;
    h.BitCount = in.U16(hdr + 14);
    h.Compression = in.U32(hdr + 16);
    colorsUsed = in.U32(hdr + 32);
  } else {
    return false;
  }
  h.TopDown = height < 0;
  height = height < 0 ? -height : height;
  if (!IsAcceptableImageSize(h.Width, height)) return false;
  h.Height = static_cast<int32_t>(height);

  size_t afterHeader = hdr + headerSize;
  switch (h.Compression) {
    case kRgb:
      if (h.BitCount == 16) h.Masks = {0x7C00, 0x03E0, 0x001F};
      if (h.BitCount == 24 || h.BitCount == 32) h.Masks = {0xFF0000, 0x00FF00, 0x0000FF};
      if (h.BitCount != 1 && h.BitCount != 4 && h.BitCount != 8 && h.BitCount != 16 &&
          h.BitCount != 24 && h.BitCount != 32) {
        return false;
      }
      break;
    case kRle8:
    case kRle4:
      if (h.BitCount != (h.Compression == kRle8 ? 8 : 4) || h.TopDown) return false;
      break;
    case kBitFields:
    case kAlphaBitFields:
      if (h.BitCount != 16 && h.BitCount != 32) return false;
      if (headerSize == kInfoHeaderSize) {
        // The masks follow a plain info header (the alpha mask too, when named).
        size_t count = h.Compression == kAlphaBitFields ? 4 : 3;
        if (!in.Has(afterHeader, count * 4)) return false;
        for (size_t i = 0; i < 3; ++i) h.Masks[i] = in.U32(afterHeader + i * 4);
        if (count == 4) h.AlphaMask = in.U32(afterHeader + 12);
        afterHeader += count * 4;
      } else {
        if (headerSize < 52) return false;
        for (size_t i = 0; i < 3; ++i) h.Masks[i] = in.U32(hdr + 40 + i * 4);
        if (headerSize >= 56) h.AlphaMask = in.U32(hdr + 52);
      }
      break;
    default:
      return false;  // embedded JPEG or PNG, or unknown
  }
  if (h.BitCount <= 8) {
    const uint32_t maxColors = 1u << h.BitCount;
    h.PaletteCount = colorsUsed == 0 || colorsUsed > maxColors ? maxColors : colorsUsed;
    h.PaletteOffset = afterHeader;
  }
  return true;
}

bool ReadPalette(const Reader& in, const Header& h, Palette& palette) {
  if (h.BitCount > 8) return true;
  // Files that list fewer entries than they announce are common; read what
  // is there and leave the rest black.
  palette.assign(size_t{1} << h.BitCount, {0, 0, 0});
  for (uint32_t i = 0; i < h.PaletteCount; ++i) {
    size_t at = h.PaletteOffset + i * h.PaletteEntrySize;
    if (!in.Has(at, 3)) {
      if (i == 0) return false;
      break;
    }
    palette[i] = {in.U8(at + 2), in.U8(at + 1), in.U8(at)};
  }
  return true;
}

void PutIndex(TBitmap& bitmap, int32_t x, int32_t y, const Palette& palette, uint32_t index) {
  uint8_t* p = bitmap.At(x, y);
  const auto& c = palette[index];
  p[0] = c[0];
  p[1] = c[1];
  p[2] = c[2];
}

// Writes `count` pixels of 3 bytes from `in` to `out` with the first and
// the third byte of each swapped: B G R to R G B and back. Four pixels at a
// time through two words, as the compiler cannot vectorise the byte loop.
void SwapTriples(const uint8_t* in, uint8_t* out, size_t count) {
  for (; count >= 4; count -= 4, in += 12, out += 12) {
    uint64_t a;
    uint32_t c;
    std::memcpy(&a, in, 8);
    std::memcpy(&c, in + 8, 4);
    // Bytes of the first word, little-endian: 0 1 2 3 4 5 6 7 become
    // 2 1 0 5 4 3 8 7; of the second, 8 9 10 11 become 6 11 10 9.
    const uint64_t lo = (a & 0xFF0000FF0000FF00ull) | ((a >> 16) & 0x00000000FF0000FFull) |
                        ((a << 16) & 0x0000FF0000FF0000ull) | (uint64_t{c & 0xFF} << 48);
    const uint32_t hi = static_cast<uint32_t>((a >> 48) & 0xFF) | ((c >> 16) & 0xFF00) |
                        (c & 0xFF0000) | ((c << 16) & 0xFF000000);
    std::memcpy(out, &lo, 8);
    std::memcpy(out + 8, &hi, 4);
  }
  for (; count > 0; --count, in += 3, out += 3) {
    const uint8_t first = in[0];
    out[1] = in[1];
    out[0] = in[2];
    out[2] = first;
  }
}

bool DecodeUncompressed(const Reader& in, size_t offset, const Header& h, const Palette& palette,
                        TBitmap& bitmap, TBitmap* alpha) {
  const size_t stride = (static_cast<size_t>(h.Width) * h.BitCount + 31) / 32 * 4;
  if (!in.Has(offset, stride * static_cast<size_t>(h.Height))) return false;
  const Channel red(h.Masks[0]), green(h.Masks[1]), blue(h.Masks[2]), opacity(h.AlphaMask);
  if (!red.Valid() || !green.Valid() || !blue.Valid()) return false;
  bitmap.Resize(h.Width, h.Height);
  // An alpha mask that is no single run of bits names no alpha.
  if (alpha && h.AlphaMask != 0 && opacity.Valid()) {
    // The alpha of each pixel, in all three bytes of the pixel; dropped
    // again when every pixel is opaque.
    alpha->Resize(h.Width, h.Height);
    bool opaque = true;
    for (int32_t row = 0; row < h.Height; ++row) {
      const int32_t y = h.TopDown ? row : h.Height - 1 - row;
      const size_t line = offset + static_cast<size_t>(row) * stride;
      uint8_t* out = alpha->Row(y);
      for (int32_t x = 0; x < h.Width; ++x, out += 3) {
        const uint32_t pixel = h.BitCount == 16 ? in.U16(line + static_cast<size_t>(x) * 2)
                                                : in.U32(line + static_cast<size_t>(x) * 4);
        out[0] = out[1] = out[2] = opacity.Get(pixel);
        opaque = opaque && out[0] == 255;
      }
    }
    if (opaque) *alpha = TBitmap();
  }
  // The common layouts, B G R (and a fourth byte) per pixel, are only
  // reordered; every other one goes through the channel masks.
  const bool plain = (h.BitCount == 24 || h.BitCount == 32) && h.Masks[0] == 0xFF0000 &&
                     h.Masks[1] == 0x00FF00 && h.Masks[2] == 0x0000FF;
  const size_t step = h.BitCount / 8;
  for (int32_t row = 0; row < h.Height; ++row) {
    const int32_t y = h.TopDown ? row : h.Height - 1 - row;
    const size_t line = offset + static_cast<size_t>(row) * stride;
    uint8_t* out = bitmap.Row(y);
    if (plain) {
      const uint8_t* p = in.Bytes() + line;
      if (step == 3) {
        SwapTriples(p, out, static_cast<size_t>(h.Width));
        continue;
      }
      for (int32_t x = 0; x < h.Width; ++x, p += step, out += 3) {
        out[0] = p[2];
        out[1] = p[1];
        out[2] = p[0];
      }
      continue;
    }
    for (int32_t x = 0; x < h.Width; ++x, out += 3) {
      uint32_t pixel;
      switch (h.BitCount) {
        case 1:
        case 4:
        case 8: {
          size_t bit = static_cast<size_t>(x) * h.BitCount;
          uint32_t byte = in.U8(line + bit / 8);
          uint32_t index = (byte >> (8 - h.BitCount - bit % 8)) & ((1u << h.BitCount) - 1);
          PutIndex(bitmap, x, y, palette, index);
          continue;
        }
        case 16:
          pixel = in.U16(line + static_cast<size_t>(x) * 2);
          break;
        case 24:
          pixel = in.U8(line + x * size_t{3}) | (in.U8(line + x * size_t{3} + 1) << 8) |
                  (static_cast<uint32_t>(in.U8(line + x * size_t{3} + 2)) << 16);
          break;
        default:
          pixel = in.U32(line + static_cast<size_t>(x) * 4);
          break;
      }
      out[0] = red.Get(pixel);
      out[1] = green.Get(pixel);
      out[2] = blue.Get(pixel);
    }
  }
  return true;
}

// Run-length encoded 4- or 8-bit data. Pixels past the width of their row are
// dropped, as other readers drop them: some writers encode a row's padding as
// pixels. Runs below the last row are refused; pixels the data never reaches
// keep palette colour 0.
bool DecodeRle(const Reader& in, size_t offset, const Header& h, const Palette& palette,
               TBitmap& bitmap) {
  bitmap.Resize(h.Width, h.Height);
  for (int32_t y = 0; y < h.Height; ++y) {
    for (int32_t x = 0; x < h.Width; ++x) PutIndex(bitmap, x, y, palette, 0);
  }
  const bool four = h.Compression == kRle4;
  int32_t x = 0, row = 0;  // row counts from the bottom
  size_t at = offset;
  auto put = [&](uint32_t index) {
    if (row >= h.Height) return false;
    if (x < h.Width) PutIndex(bitmap, x, h.Height - 1 - row, palette, index);
    ++x;
    return true;
  };
  for (;;) {
    // A missing end-of-bitmap marker is tolerated once every row is complete.
    if (!in.Has(at, 2)) return row >= h.Height;
    const uint8_t count = in.U8(at), value = in.U8(at + 1);
    at += 2;
    if (count > 0) {  // encoded run
      for (uint32_t i = 0; i < count; ++i) {
        uint32_t index = four ? (i % 2 == 0 ? value >> 4 : value & 15) : value;
        if (!put(index)) return false;
      }
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++row;
    } else if (value == 1) {  // end of bitmap
      return true;
    } else if (value == 2) {  // delta
      if (!in.Has(at, 2)) return false;
      x += in.U8(at);
      row += in.U8(at + 1);
      at += 2;
      if (x > h.Width || row > h.Height) return false;
    } else {  // absolute run of `value` pixels, padded to 16 bits
      const size_t bytes = four ? (value + 1u) / 2 : value;
      if (!in.Has(at, bytes)) return false;
      for (uint32_t i = 0; i < value; ++i) {
        uint8_t b = in.U8(at + (four ? i / 2 : i));
        uint32_t index = four ? (i % 2 == 0 ? b >> 4 : b & 15) : b;
        if (!put(index)) return false;
      }
      at += (bytes + 1) & ~size_t{1};
    }
    // Data past the last row is tolerated only as far as an end marker.
    if (row > h.Height) return false;
  }
}

void PutU16(std::string& out, uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}
void PutU32(std::string& out, uint32_t v) {
  PutU16(out, static_cast<uint16_t>(v & 0xFFFF));
  PutU16(out, static_cast<uint16_t>(v >> 16));
}

// Starts `out` with the file header and the fields every info header has,
// for `pixels` stored bottom-up at 72 dots per inch; the rest of a header of
// `headerSize` bytes is the caller's.
void PutHeaders(const TPixelView& pixels, uint32_t headerSize, uint16_t bits, uint32_t compression,
                size_t imageSize, std::string& out) {
  const size_t offset = kFileHeaderSize + headerSize;
  out.clear();
  out.reserve(offset + imageSize);
  out += "BM";
  PutU32(out, static_cast<uint32_t>(offset + imageSize));
  PutU32(out, 0);
  PutU32(out, static_cast<uint32_t>(offset));
  PutU32(out, headerSize);
  PutU32(out, static_cast<uint32_t>(pixels.Width));
  PutU32(out, static_cast<uint32_t>(pixels.Height));  // positive: bottom-up
  PutU16(out, 1);
  PutU16(out, bits);
  PutU32(out, compression);
  PutU32(out, static_cast<uint32_t>(imageSize));
  PutU32(out, 2835);  // 72 dots per inch
  PutU32(out, 2835);
  PutU32(out, 0);
  PutU32(out, 0);
}

}  // namespace

bool DecodeBmp(std::string_view data, TBitmap& bitmap, TBitmap* alpha) {
  if (alpha) *alpha = TBitmap();
  const Reader in(data);
  Header h;
  if (!ReadHeader(in, h)) return false;
  Palette palette;
  if (!ReadPalette(in, h, palette)) return false;
  const size_t offset = in.U32(10);
  if (offset >= in.size()) return false;
  bool ok = h.Compression == kRle8 || h.Compression == kRle4
                ? DecodeRle(in, offset, h, palette, bitmap)
                : DecodeUncompressed(in, offset, h, palette, bitmap, alpha);
  if (!ok) {
    bitmap = TBitmap();
    if (alpha) *alpha = TBitmap();
  }
  return ok;
}

std::string EncodeBmp(const TBitmap& bitmap) {
  std::string out;
  EncodeBmp(ViewOf(bitmap), out);
  return out;
}

void EncodeBmp(const TPixelView& pixels, const TPixelView& alpha, std::string& out) {
  if (alpha.Width == 0) {
    EncodeBmp(pixels, out);
    return;
  }
  // 32 bits per pixel, B G R A, named by the bit fields of a version 4 header:
  // the layout that both browsers read with its alpha.
  constexpr size_t kV4HeaderSize = 108;
  const size_t imageSize =
      static_cast<size_t>(pixels.Width) * 4 * static_cast<size_t>(pixels.Height);
  PutHeaders(pixels, kV4HeaderSize, 32, kBitFields, imageSize, out);
  for (const uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u})
    PutU32(out, mask);
  out += "BGRs";                         // sRGB
  out.append(kV4HeaderSize - 60, '\0');  // end points and gamma, unused for sRGB
  for (int32_t y = pixels.Height - 1; y >= 0; --y) {
    const uint8_t* p = pixels.Row(y);
    const uint8_t* a = alpha.Row(y);
    for (int32_t x = 0; x < pixels.Width; ++x, p += 3, a += 3) {
      out += static_cast<char>(p[2]);
      out += static_cast<char>(p[1]);
      out += static_cast<char>(p[0]);
      out += static_cast<char>(a[0]);
    }
  }
}

void EncodeBmp(const TPixelView& pixels, std::string& out) {
  const size_t stride = (static_cast<size_t>(pixels.Width) * 3 + 3) / 4 * 4;
  const size_t imageSize = stride * static_cast<size_t>(pixels.Height);
  const size_t offset = kFileHeaderSize + kInfoHeaderSize;
  PutHeaders(pixels, kInfoHeaderSize, 24, kRgb, imageSize, out);
  // Rows bottom-up, each B, G, R per pixel and zero-padded to 4 bytes,
  // written in place.
  out.resize(offset + imageSize);
  char* line = out.data() + offset;
  for (int32_t y = pixels.Height - 1; y >= 0; --y, line += stride) {
    SwapTriples(pixels.Row(y), reinterpret_cast<uint8_t*>(line), static_cast<size_t>(pixels.Width));
    for (size_t pad = static_cast<size_t>(pixels.Width) * 3; pad < stride; ++pad) line[pad] = 0;
  }
}
