#include "engine/OctreeQuantizer.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

TOctreeQuantizer::TOctreeQuantizer() {
  Reducible_.fill(kNone);
  Pool_.reserve(4096);
}

void TOctreeQuantizer::Clear() {
  Pool_.clear();
  Free_.clear();
  Reducible_.fill(kNone);
  Root_ = kNone;
  LeafCount_ = 0;
  NextEpoch();
}

void TOctreeQuantizer::NextEpoch() {
  if (++Epoch_ == 0) {
    // After four billion reductions old entries could look current again.
    Recent_.fill(Recent());
    Epoch_ = 1;
  }
}

int32_t TOctreeQuantizer::NewNode(int depth) {
  int32_t index;
  if (!Free_.empty()) {
    index = Free_.back();
    Free_.pop_back();
    Pool_[index] = Node();
  } else {
    index = static_cast<int32_t>(Pool_.size());
    Pool_.emplace_back();
  }
  Node& node = Pool_[index];
  node.Children.fill(kNone);
  if (depth == 8) {
    node.Leaf = true;
    ++LeafCount_;
  } else {
    node.NextReducible = Reducible_[depth];
    Reducible_[depth] = index;
  }
  return index;
}

void TOctreeQuantizer::FreeNode(int32_t index) { Free_.push_back(index); }

void TOctreeQuantizer::AddColor(uint8_t r, uint8_t g, uint8_t b) {
  const uint32_t color = uint32_t{r} << 16 | uint32_t{g} << 8 | b;
  Recent& recent = Recent_[(color * 2654435761u) >> (32 - kRecentBits)];
  if (recent.Epoch == Epoch_ && recent.Color == color) {
    // The same leaf as the last time, and no new leaf: nothing to reduce.
    Node& leaf = Pool_[recent.Leaf];
    ++leaf.Count;
    leaf.SumR += r;
    leaf.SumG += g;
    leaf.SumB += b;
    return;
  }
  if (Root_ == kNone) Root_ = NewNode(0);
  int32_t index = Root_;
  for (int depth = 0; !Pool_[index].Leaf; ++depth) {
    const int shift = 7 - depth;
    const int child = 4 * ((r >> shift) & 1) + 2 * ((g >> shift) & 1) + ((b >> shift) & 1);
    int32_t next = Pool_[index].Children[child];
    if (next == kNone) {
      next = NewNode(depth + 1);  // may move the pool: index again below
      Pool_[index].Children[child] = next;
    }
    index = next;
  }
  Node& leaf = Pool_[index];
  ++leaf.Count;
  leaf.SumR += r;
  leaf.SumG += g;
  leaf.SumB += b;
  recent = {color, index, Epoch_};
  while (LeafCount_ > kMaxColors) ReduceOne();
}

void TOctreeQuantizer::AddBitmap(const TBitmap& bitmap) { AddPixels(ViewOf(bitmap)); }

void TOctreeQuantizer::AddPixels(const TPixelView& pixels) {
  for (int32_t y = 0; y < pixels.Height; ++y) {
    const uint8_t* p = pixels.Row(y);
    const uint8_t* end = p + static_cast<size_t>(pixels.Width) * 3;
    for (; p != end; p += 3) AddColor(p[0], p[1], p[2]);
  }
}

void TOctreeQuantizer::ReduceOne() {
  int depth = 7;
  while (depth > 0 && Reducible_[depth] == kNone) --depth;
  const int32_t index = Reducible_[depth];
  Node& node = Pool_[index];
  Reducible_[depth] = node.NextReducible;
  NextEpoch();
  node.NextReducible = kNone;
  int children = 0;
  for (int32_t& child : node.Children) {
    if (child == kNone) continue;
    const Node& c = Pool_[child];
    node.Count += c.Count;
    node.SumR += c.SumR;
    node.SumG += c.SumG;
    node.SumB += c.SumB;
    FreeNode(child);
    child = kNone;
    ++children;
  }
  node.Leaf = true;
  LeafCount_ += 1 - children;
}

void TOctreeQuantizer::CollectPalette(int32_t index, std::vector<TPaletteColor>& palette) const {
  const Node& node = Pool_[index];
  if (node.Leaf) {
    TPaletteColor c;
    if (node.Count > 0) {
      c.R = static_cast<uint8_t>(node.SumR / node.Count);
      c.G = static_cast<uint8_t>(node.SumG / node.Count);
      c.B = static_cast<uint8_t>(node.SumB / node.Count);
    }
    palette.push_back(c);
    return;
  }
  for (int32_t child : node.Children) {
    if (child != kNone) CollectPalette(child, palette);
  }
}

std::vector<TPaletteColor> TOctreeQuantizer::Palette() const {
  std::vector<TPaletteColor> palette;
  Palette(palette);
  return palette;
}

void TOctreeQuantizer::Palette(std::vector<TPaletteColor>& palette) const {
  palette.clear();
  if (Root_ != kNone) CollectPalette(Root_, palette);
}

TPaletteMapper::TPaletteMapper() : Cache_(kCells, kUnclaimed) {}

TPaletteMapper::TPaletteMapper(const std::vector<TPaletteColor>& palette) : TPaletteMapper() {
  SetPalette(palette);
}

void TPaletteMapper::SetPalette(const std::vector<TPaletteColor>& palette) {
  Count_ = static_cast<int>(std::min<size_t>(palette.size(), kPadded));
  // Far outside 0..255: a padding entry is never the nearest, and distances
  // still fit 16 bits.
  constexpr int16_t kFar = 4000;
  for (int i = 0; i < kPadded; ++i) {
    const bool real = i < Count_;
    R_[i] = real ? palette[i].R : kFar;
    G_[i] = real ? palette[i].G : kFar;
    B_[i] = real ? palette[i].B : kFar;
  }
  std::fill(Cache_.begin(), Cache_.end(), kUnclaimed);
  for (int i = 0; i < Count_; ++i) {
    const TPaletteColor& c = palette[i];
    int16_t& cell = Cache_[Cell(c.R, c.G, c.B)];
    if (cell == kUnclaimed) cell = static_cast<int16_t>(i);
  }
}

uint8_t TPaletteMapper::MapNew(uint8_t r, uint8_t g, uint8_t b) {
  // The smallest distance first, then the lowest index that has it: two
  // plain loops over whole blocks that the compiler turns into vector code.
  if (Count_ == 0) return 0;
  const int blocks = (Count_ + 15) / 16 * 16;
  int16_t distance[kPadded];
  int16_t best = INT16_MAX;
  for (int i = 0; i < blocks; ++i) {
    const int16_t d = static_cast<int16_t>(std::abs(r - R_[i]) + std::abs(g - G_[i]) +
                                           std::abs(b - B_[i]));
    distance[i] = d;
    best = std::min(best, d);
  }
  int index = 0;
  while (distance[index] != best) ++index;
  Cache_[Cell(r, g, b)] = static_cast<int16_t>(index);
  return static_cast<uint8_t>(index);
}

void TPaletteMapper::MapBitmap(const TBitmap& bitmap, std::vector<uint8_t>& indices) {
  indices.resize(bitmap.Pixels.size() / 3);
  MapPixels(ViewOf(bitmap), indices.data());
}

void TPaletteMapper::MapPixels(const TPixelView& pixels, uint8_t* indices) {
  for (int32_t y = 0; y < pixels.Height; ++y) {
    const uint8_t* p = pixels.Row(y);
    for (int32_t x = 0; x < pixels.Width; ++x, p += 3) *indices++ = Map(p[0], p[1], p[2]);
  }
}

void QuantizeBitmap(const TBitmap& bitmap, std::vector<TPaletteColor>& palette,
                    std::vector<uint8_t>& indices) {
  TOctreeQuantizer octree;
  octree.AddBitmap(bitmap);
  palette = octree.Palette();
  if (palette.empty()) palette.push_back(TPaletteColor());
  TPaletteMapper mapper(palette);
  mapper.MapBitmap(bitmap, indices);
}
