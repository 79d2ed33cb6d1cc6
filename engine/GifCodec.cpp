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


// A colour none of the palette's entries has, so it can stand for
// transparent pixels.
void ChooseKey(const ColorMapObject* map, TTransparentKey& key) {
  key.Used = true;
  for (uint32_t candidate = 0xFF00FF;; candidate = (candidate + 0x010305) & 0xFFFFFF) {
    bool taken = false;
    for (int i = 0; map != nullptr && i < map->ColorCount && !taken; ++i) {
      const GifColorType& c = map->Colors[i];
      taken = ((uint32_t{c.Red} << 16) | (uint32_t{c.Green} << 8) | c.Blue) == candidate;
    }
    if (!taken) {
      key.Rgb[0] = static_cast<uint8_t>(candidate >> 16);
      key.Rgb[1] = static_cast<uint8_t>(candidate >> 8);
      key.Rgb[2] = static_cast<uint8_t>(candidate);
      return;
    }
  }
}

}  // namespace

bool DecodeGif(std::string_view data, TBitmap& bitmap, TTransparentKey* key) {
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
          const uint8_t* fill = kGifBackground;
          if (key != nullptr) {
            ChooseKey(gif->Image.ColorMap != nullptr ? gif->Image.ColorMap : gif->SColorMap, *key);
            fill = key->Rgb;
          }
          for (size_t i = 0; i < bitmap.Pixels.size(); i += 3) {
            std::memcpy(&bitmap.Pixels[i], fill, 3);
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

namespace {

// Indexes the picture by its own colours, in the order they first appear,
// when it has at most 256 of them; false when it has more.
bool IndexExactly(const TPixelView& pixels, std::unordered_map<uint32_t, uint8_t>& exact,
                  std::vector<TPaletteColor>& palette, uint8_t* indices) {
  exact.clear();
  palette.clear();
  for (int32_t y = 0; y < pixels.Height; ++y) {
    const uint8_t* p = pixels.Row(y);
    for (int32_t x = 0; x < pixels.Width; ++x, p += 3) {
      const uint32_t rgb = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
      auto [it, added] = exact.try_emplace(rgb, static_cast<uint8_t>(palette.size()));
      if (added) {
        if (palette.size() == 256) return false;
        palette.push_back(TPaletteColor{p[0], p[1], p[2]});
      }
      *indices++ = it->second;
    }
  }
  return true;
}

}  // namespace

std::string_view TGifEncoder::Encode(const TPixelView& pixels, const TTransparentKey& key) {
  Indices_.resize(static_cast<size_t>(pixels.Width) * static_cast<size_t>(pixels.Height));
  int transparentIndex = NO_TRANSPARENT_COLOR;
  if (IndexExactly(pixels, Exact_, Palette_, Indices_.data())) {
    if (key.Used) {
      auto it = Exact_.find((uint32_t{key.Rgb[0]} << 16) | (uint32_t{key.Rgb[1]} << 8) | key.Rgb[2]);
      if (it != Exact_.end()) transparentIndex = it->second;
    }
  } else {
    // Only a picture of more than 256 colours is reduced.
    Octree_.Clear();
    Octree_.AddPixels(pixels);
    Octree_.Palette(Palette_);
    Mapper_.SetPalette(Palette_);
    Mapper_.MapPixels(pixels, Indices_.data());
  }
  if (Palette_.empty()) Palette_.push_back(TPaletteColor());

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
  bool ok = EGifPutScreenDesc(gif, pixels.Width, pixels.Height, bits, 0, map.get()) != GIF_ERROR;
  if (ok && transparentIndex != NO_TRANSPARENT_COLOR) {
    EGifSetGifVersion(gif, true);
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
    gcb.DelayTime = 0;
    gcb.TransparentColor = transparentIndex;
    GifByteType extension[4];
    const size_t length = EGifGCBToExtension(&gcb, extension);
    ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) !=
         GIF_ERROR;
  }
  ok = ok && EGifPutImageDesc(gif, 0, 0, pixels.Width, pixels.Height, false, nullptr) != GIF_ERROR;
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
