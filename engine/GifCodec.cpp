#include "engine/GifCodec.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/OctreeQuantizer.h"
#include "engine/Scaler.h"
#include "platform/Exception.h"

namespace {

struct MemoryReader {
  std::string_view Data;
  size_t Position = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int count) {
  auto* reader = static_cast<MemoryReader*>(gif->UserData);
  size_t n =
      std::min(static_cast<size_t>(std::max(count, 0)), reader->Data.size() - reader->Position);
  std::memcpy(out, reader->Data.data() + reader->Position, n);
  reader->Position += n;
  return static_cast<int>(n);
}

int WriteToString(GifFileType* gif, const GifByteType* data, int count) {
  static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), count);
  return count;
}

struct DecoderCloser {
  void operator()(GifFileType* gif) const {
    int error;
    DGifCloseFile(gif, &error);
  }
};
using Decoder = std::unique_ptr<GifFileType, DecoderCloser>;

// Skips an extension's data blocks, keeping the transparent index of a
// graphic control block.
bool ReadExtension(GifFileType* gif, int& transparent) {
  int code;
  GifByteType* block;
  if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
  if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr) {
    GraphicsControlBlock gcb;
    if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_ERROR) return false;
    transparent = gcb.TransparentColor;
  }
  while (block != nullptr) {
    if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
  }
  return true;
}

// Reads the one frame's pixels into `bitmap` at its offset.
bool ReadFrame(GifFileType* gif, int transparent, TBitmap& bitmap) {
  const GifImageDesc& desc = gif->Image;
  if (desc.Width < 1 || desc.Height < 1 || desc.Left < 0 || desc.Top < 0 ||
      desc.Left + desc.Width > gif->SWidth || desc.Top + desc.Height > gif->SHeight) {
    return false;
  }
  const ColorMapObject* map = desc.ColorMap != nullptr ? desc.ColorMap : gif->SColorMap;
  if (map == nullptr) return false;
  std::vector<GifPixelType> line(desc.Width);
  // Interlaced frames arrive in four passes: every 8th row from 0, every 8th
  // from 4, every 4th from 2, every 2nd from 1.
  static constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
  const int passes = desc.Interlace ? 4 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    const int start = desc.Interlace ? kStart[pass] : 0, step = desc.Interlace ? kStep[pass] : 1;
    for (int y = start; y < desc.Height; y += step) {
      if (DGifGetLine(gif, line.data(), desc.Width) == GIF_ERROR) return false;
      uint8_t* out = bitmap.At(desc.Left, desc.Top + y);
      for (int x = 0; x < desc.Width; ++x, out += 3) {
        const int index = line[x];
        if (index == transparent) continue;
        if (index >= map->ColorCount) return false;
        out[0] = map->Colors[index].Red;
        out[1] = map->Colors[index].Green;
        out[2] = map->Colors[index].Blue;
      }
    }
  }
  return true;
}

}  // namespace

bool DecodeGif(std::string_view data, TBitmap& bitmap) {
  MemoryReader reader{data};
  int error = 0;
  Decoder gif(DGifOpen(&reader, ReadFromMemory, &error));
  if (!gif) return false;
  if (!IsAcceptableImageSize(gif->SWidth, gif->SHeight)) return false;
  int transparent = NO_TRANSPARENT_COLOR;
  int frames = 0;
  for (;;) {
    GifRecordType record;
    if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR) {
      // The trailer byte is often missing; the data ending cleanly after the
      // one frame is no damage.
      return frames == 1 && reader.Position == data.size();
    }
    switch (record) {
      case IMAGE_DESC_RECORD_TYPE:
        if (++frames > 1) return false;  // animated
        if (DGifGetImageDesc(gif.get()) == GIF_ERROR) return false;
        bitmap.Resize(gif->SWidth, gif->SHeight);
        // Only a frame smaller than the screen, or one with transparent
        // pixels, leaves background showing.
        if (transparent != NO_TRANSPARENT_COLOR || gif->Image.Left != 0 || gif->Image.Top != 0 ||
            gif->Image.Width != gif->SWidth || gif->Image.Height != gif->SHeight) {
          for (size_t i = 0; i < bitmap.Pixels.size(); i += 3) {
            std::memcpy(&bitmap.Pixels[i], kGifBackground, 3);
          }
        }
        if (!ReadFrame(gif.get(), transparent, bitmap)) return false;
        break;
      case EXTENSION_RECORD_TYPE:
        if (!ReadExtension(gif.get(), transparent)) return false;
        break;
      case TERMINATE_RECORD_TYPE:
        return frames == 1;
      default:
        return false;
    }
  }
}

std::string_view TGifEncoder::Encode(const TPixelView& pixels) {
  Octree_.Clear();
  Octree_.AddPixels(pixels);
  Octree_.Palette(Palette_);
  if (Palette_.empty()) Palette_.push_back(TPaletteColor());
  Mapper_.SetPalette(Palette_);
  Indices_.resize(static_cast<size_t>(pixels.Width) * static_cast<size_t>(pixels.Height));
  Mapper_.MapPixels(pixels, Indices_.data());

  int bits = 1;
  while ((1 << bits) < static_cast<int>(Palette_.size())) ++bits;
  GifColorType colors[256];
  for (int i = 0; i < (1 << bits); ++i) {
    const TPaletteColor c = i < static_cast<int>(Palette_.size()) ? Palette_[i] : TPaletteColor();
    colors[i] = {c.R, c.G, c.B};
  }
  std::unique_ptr<ColorMapObject, void (*)(ColorMapObject*)> map(
      GifMakeMapObject(1 << bits, colors), GifFreeMapObject);
  if (!map) throw std::bad_alloc();

  Out_.clear();
  int error = 0;
  GifFileType* gif = EGifOpen(&Out_, WriteToString, &error);
  if (gif == nullptr) throw Exception(std::string("GIF encoder: ") + GifErrorString(error));
  bool ok = EGifPutScreenDesc(gif, pixels.Width, pixels.Height, bits, 0, map.get()) != GIF_ERROR &&
            EGifPutImageDesc(gif, 0, 0, pixels.Width, pixels.Height, false, nullptr) != GIF_ERROR;
  for (int32_t y = 0; ok && y < pixels.Height; ++y) {
    ok = EGifPutLine(gif, Indices_.data() + static_cast<size_t>(y) * pixels.Width,
                     pixels.Width) != GIF_ERROR;
  }
  if (!ok) error = gif->Error;
  int closeError = 0;
  if (EGifCloseFile(gif, &closeError) == GIF_ERROR && ok) {
    ok = false;
    error = closeError;
  }
  if (!ok) throw Exception(std::string("GIF encoder: ") + GifErrorString(error));
  return Out_;
}

std::string EncodeGif(const TBitmap& bitmap) {
  TGifEncoder encoder;
  return std::string(encoder.Encode(ViewOf(bitmap)));
}
