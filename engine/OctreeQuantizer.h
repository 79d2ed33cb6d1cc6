#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/Bitmap.h"

struct TPaletteColor {
  uint8_t R = 0, G = 0, B = 0;
  friend bool operator==(const TPaletteColor&, const TPaletteColor&) = default;
};

// Adaptive palette of at most 256 colours by octree colour quantisation with
// 8 bits per channel. Deterministic: the same pixels in the same order give
// the same palette.
//
// Colours go down the tree from the root, one bit of R, G and B per level
// (highest bit first); a node is made where none exists, leaves sit at depth
// 8. Every inner node is put at the front of the reducible list of its
// depth. After each pixel, while there are more than 256 leaves, the newest
// node of the deepest non-empty list (depths 7 to 1, else 0) absorbs its
// children and becomes a leaf. Nodes come from a pool that Clear keeps: a
// quantizer used for one picture after another stops allocating once its
// pool has grown.
class TOctreeQuantizer {
 public:
  static constexpr int kMaxColors = 256;

  TOctreeQuantizer();

  // Empties the tree for the next picture, keeping the memory.
  void Clear();
  void AddColor(uint8_t r, uint8_t g, uint8_t b);
  // Adds every pixel, rows from the top, each row from left to right.
  void AddBitmap(const TBitmap& bitmap);
  void AddPixels(const TPixelView& pixels);

  int LeafCount() const { return LeafCount_; }
  // One entry per leaf, depth first with children 0 to 7: the leaf's mean
  // colour (sums divided by the count, rounded down), black for an empty leaf.
  std::vector<TPaletteColor> Palette() const;
  // The same into `palette`, reusing its memory.
  void Palette(std::vector<TPaletteColor>& palette) const;

 private:
  static constexpr int32_t kNone = -1;
  struct Node {
    std::array<int32_t, 8> Children;
    int32_t NextReducible = kNone;
    bool Leaf = false;
    uint64_t Count = 0;
    uint64_t SumR = 0, SumG = 0, SumB = 0;
  };

  // A colour met before and the leaf it reached. The entry holds while no
  // node has been reduced since (Epoch): a reduction is the only change to
  // the tree that can end a colour's way down at another node.
  struct Recent {
    uint32_t Color = 0;
    int32_t Leaf = kNone;
    uint32_t Epoch = 0;
  };
  static constexpr int kRecentBits = 10;

  int32_t NewNode(int depth);
  void FreeNode(int32_t index);
  void ReduceOne();
  void NextEpoch();
  void CollectPalette(int32_t index, std::vector<TPaletteColor>& palette) const;

  std::vector<Node> Pool_;
  std::vector<int32_t> Free_;
  std::array<int32_t, 8> Reducible_;
  int32_t Root_ = kNone;
  int LeafCount_ = 0;
  std::array<Recent, size_t{1} << kRecentBits> Recent_{};
  uint32_t Epoch_ = 1;
};

// Maps colours to the nearest entry of a palette (sum of absolute channel
// differences, lowest index among equals) through a cache of 32,768 cells,
// one per colour cut to 5 bits a channel. Each entry first claims the cell of
// its own colour (earlier entries win), and every colour that finds its cell
// unclaimed claims it for its nearest entry; so all colours of one cell map
// to the same entry.
class TPaletteMapper {
 public:
  static constexpr int kCells = 32768;

  // A mapper without a palette; SetPalette must come before Map.
  TPaletteMapper();
  // `palette` must hold 1 to 256 entries.
  explicit TPaletteMapper(const std::vector<TPaletteColor>& palette);

  // Starts over with `palette` (1 to 256 entries) and an unclaimed cache;
  // allocates nothing.
  void SetPalette(const std::vector<TPaletteColor>& palette);

  uint8_t Map(uint8_t r, uint8_t g, uint8_t b) {
    const int16_t cell = Cache_[Cell(r, g, b)];
    return cell != kUnclaimed ? static_cast<uint8_t>(cell) : MapNew(r, g, b);
  }
  // One index per pixel of `bitmap`, row-major.
  void MapBitmap(const TBitmap& bitmap, std::vector<uint8_t>& indices);
  // One index per pixel of `pixels`, row-major, into `indices`, which must
  // have room for Width x Height entries.
  void MapPixels(const TPixelView& pixels, uint8_t* indices);

  static int Cell(uint8_t r, uint8_t g, uint8_t b) { return r / 8 + 32 * (g / 8) + 1024 * (b / 8); }

 private:
  static constexpr int16_t kUnclaimed = -1;
  // Finds the nearest entry of a colour whose cell is unclaimed, and claims
  // the cell for it.
  uint8_t MapNew(uint8_t r, uint8_t g, uint8_t b);

  int Count_ = 0;
  // The palette by channel, padded to a whole number of blocks of 16
  // entries with colours no pixel is nearest to, so the distance loop runs
  // over whole blocks.
  static constexpr int kPadded = 256;
  alignas(64) int16_t R_[kPadded], G_[kPadded], B_[kPadded];
  std::vector<int16_t> Cache_;
};

// The adaptive palette of `bitmap` and the palette index of every pixel.
void QuantizeBitmap(const TBitmap& bitmap, std::vector<TPaletteColor>& palette,
                    std::vector<uint8_t>& indices);
