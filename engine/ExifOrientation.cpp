#include "engine/ExifOrientation.h"

#include <cstdint>
#include <utility>

namespace {

constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kShortType = 3;

// The TIFF structure inside the segment, in its own byte order.
class Tiff {
 public:
  explicit Tiff(std::string_view data) : data_(data) {}
  bool ReadOrder() {
    if (data_.size() < 8) return false;
    if (data_.substr(0, 4) == std::string_view("II*\0", 4)) {
      little_ = true;
      return true;
    }
    if (data_.substr(0, 4) == std::string_view("MM\0*", 4)) {
      little_ = false;
      return true;
    }
    return false;
  }
  bool Has(uint64_t offset, uint64_t count) const {
    return offset <= data_.size() && count <= data_.size() - offset;
  }
  uint16_t U16(size_t at) const {
    const auto b0 = static_cast<uint8_t>(data_[at]), b1 = static_cast<uint8_t>(data_[at + 1]);
    return little_ ? static_cast<uint16_t>(b0 | b1 << 8) : static_cast<uint16_t>(b1 | b0 << 8);
  }
  uint32_t U32(size_t at) const {
    const uint32_t a = U16(at), b = U16(at + 2);
    return little_ ? (a | b << 16) : (b | a << 16);
  }

 private:
  std::string_view data_;
  bool little_ = true;
};

}  // namespace

int ReadExifOrientation(std::string_view app1) {
  constexpr std::string_view kHeader("Exif\0\0", 6);
  if (app1.substr(0, kHeader.size()) != kHeader) return 1;
  Tiff tiff(app1.substr(kHeader.size()));
  if (!tiff.ReadOrder()) return 1;
  const uint32_t ifd = tiff.U32(4);
  if (!tiff.Has(ifd, 2)) return 1;
  const uint16_t entries = tiff.U16(ifd);
  for (uint32_t i = 0; i < entries; ++i) {
    const uint64_t entry = uint64_t{ifd} + 2 + uint64_t{i} * 12;
    if (!tiff.Has(entry, 12)) return 1;
    if (tiff.U16(entry) != kOrientationTag) continue;
    if (tiff.U16(entry + 2) != kShortType || tiff.U32(entry + 4) != 1) return 1;
    const uint16_t value = tiff.U16(entry + 8);
    return value >= 1 && value <= 8 ? value : 1;
  }
  return 1;
}

void ApplyOrientation(TBitmap& bitmap, int orientation) {
  if (orientation < 2 || orientation > 8) return;
  const int32_t w = bitmap.Width, h = bitmap.Height;
  const bool swap = orientation >= 5;
  TBitmap out;
  out.Resize(swap ? h : w, swap ? w : h);
  for (int32_t y = 0; y < out.Height; ++y) {
    uint8_t* p = out.Row(y);
    for (int32_t x = 0; x < out.Width; ++x, p += 3) {
      // The stored pixel that shows at (x, y).
      int32_t sx = x, sy = y;
      switch (orientation) {
        case 2:
          sx = w - 1 - x;
          break;
        case 3:
          sx = w - 1 - x;
          sy = h - 1 - y;
          break;
        case 4:
          sy = h - 1 - y;
          break;
        case 5:
          sx = y;
          sy = x;
          break;
        case 6:
          sx = y;
          sy = h - 1 - x;
          break;
        case 7:
          sx = w - 1 - y;
          sy = h - 1 - x;
          break;
        case 8:
          sx = w - 1 - y;
          sy = x;
          break;
      }
      const uint8_t* s = bitmap.At(sx, sy);
      p[0] = s[0];
      p[1] = s[1];
      p[2] = s[2];
    }
  }
  bitmap = std::move(out);
}
