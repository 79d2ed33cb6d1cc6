#pragma once

// Image files built byte by byte, valid and hostile, for the tests that span
// programs and for the fuzzers' seed corpora. Everything here is
// deterministic: the same call gives the same bytes.

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace samples {

using Rgb = std::array<uint8_t, 3>;

// A named file: a short name that says what it holds, and its bytes.
struct SampleFile {
  std::string Name;
  std::string Bytes;
  bool Decodes = false;  // what the engine's reader must answer for it
};

// ---------------------------------------------------------------------------
// Windows bitmaps. Every header field is written as given, so any of them can
// lie about the data that follows.

struct BmpSpec {
  int32_t Width = 0;
  int32_t Height = 0;  // negative: rows stored top-down
  uint16_t Planes = 1;
  uint16_t BitCount = 24;
  uint32_t Compression = 0;  // 0 none, 1 RLE8, 2 RLE4, 3 bit fields
  uint32_t HeaderSize = 40;  // 12 core, 40 info, 108 and 124 later versions
  uint32_t ColorsUsed = 0;
  std::vector<Rgb> Palette;
  std::vector<uint32_t> Masks;  // written right after a 40-byte header
  std::string PixelData;        // exactly as stored
  int64_t DataOffset = -1;      // -1: right after the palette
};

std::string BuildBmp(const BmpSpec& spec);

// Rows of palette indices (one byte each, top row first) packed as an
// uncompressed bottom-up bitmap of `bits` (1, 4 or 8) per pixel.
std::string PackIndexRows(const std::vector<std::vector<uint8_t>>& rows, int bits);
// The same rows run-length encoded (RLE8 for 8 bits, RLE4 for 4), bottom-up,
// with end-of-line and end-of-bitmap markers.
std::string EncodeRle(const std::vector<std::vector<uint8_t>>& rows, int bits);

// A small palette of `count` distinct colours.
std::vector<Rgb> TestPalette(int count);
// w x h indices that use every entry of a `colors`-entry palette.
std::vector<std::vector<uint8_t>> TestIndexRows(int w, int h, int colors);

// Well-formed bitmaps of every layout the reader supports.
std::vector<SampleFile> ValidBmpFiles();
// Bitmaps built to hurt: impossible sizes, bit counts and runs.
std::vector<SampleFile> HostileBmpFiles();

// ---------------------------------------------------------------------------
// GIF, written without giflib so that any field may be wrong. Image data is
// LZW-coded with a clear code often enough that the code width never grows.

struct GifFrame {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  std::vector<uint8_t> Indices;   // Width x Height, row-major
  std::vector<Rgb> LocalPalette;  // empty: none
  int Transparent = -1;           // >= 0: a graphic control block names it
  bool Interlaced = false;        // rows are stored in the four interlace passes
};

struct GifSpec {
  int ScreenWidth = 0, ScreenHeight = 0;
  std::vector<Rgb> GlobalPalette;  // empty: none
  std::vector<GifFrame> Frames;
  std::vector<std::string> Extensions;  // raw extension blocks before the first frame
  bool Trailer = true;
  int MinCodeSize = 0;  // 0: from the palette size
};

std::string BuildGif(const GifSpec& spec);

std::vector<SampleFile> ValidGifFiles();
std::vector<SampleFile> HostileGifFiles();

// ---------------------------------------------------------------------------
// JPEG through libjpeg.

struct JpegSpec {
  int Width = 0, Height = 0;
  int Components = 3;  // 1 grey, 3 colour, 4 CMYK (stored Adobe-inverted)
  bool Progressive = false;
  int Quality = 85;
  int RestartRows = 0;
  bool Arithmetic = false;
  // > 0: a progressive scan script of one scan per component, coefficient and
  // bit, starting at this many low bits left out (1 gives 128 scans per
  // component, 2 gives 192).
  int ManyScansBits = 0;
};

std::string BuildJpeg(const JpegSpec& spec);

std::vector<SampleFile> ValidJpegFiles();
std::vector<SampleFile> HostileJpegFiles();

// Number of start-of-scan markers in a JPEG file.
int CountJpegScans(const std::string& jpeg);

}  // namespace samples
