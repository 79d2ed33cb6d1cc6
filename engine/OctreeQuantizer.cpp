#include "engine/OctreeQuantizer.h"

#include <cstdlib>
#include <limits>

TOctreeQuantizer::TOctreeQuantizer() {
  Reducible_.fill(kNone);
  Pool_.reserve(4096);
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
  while (LeafCount_ > kMaxColors) ReduceOne();
}

void TOctreeQuantizer::AddBitmap(const TBitmap& bitmap) {
  const uint8_t* p = bitmap.Pixels.data();
  const uint8_t* end = p + bitmap.Pixels.size();
  for (; p != end; p += 3) AddColor(p[0], p[1], p[2]);
}

void TOctreeQuantizer::ReduceOne() {
  int depth = 7;
  while (depth > 0 && Reducible_[depth] == kNone) --depth;
  const int32_t index = Reducible_[depth];
  Node& node = Pool_[index];
  Reducible_[depth] = node.NextReducible;
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
  if (Root_ != kNone) CollectPalette(Root_, palette);
  return palette;
}

TPaletteMapper::TPaletteMapper(std::vector<TPaletteColor> palette)
    : Palette_(std::move(palette)), Cache_(32768, kUnclaimed) {
  for (size_t i = 0; i < Palette_.size(); ++i) {
    const TPaletteColor& c = Palette_[i];
    int16_t& cell = Cache_[Cell(c.R, c.G, c.B)];
    if (cell == kUnclaimed) cell = static_cast<int16_t>(i);
  }
}

uint8_t TPaletteMapper::Map(uint8_t r, uint8_t g, uint8_t b) {
  int16_t& cell = Cache_[Cell(r, g, b)];
  if (cell == kUnclaimed) {
    int best = std::numeric_limits<int>::max();
    for (size_t i = 0; i < Palette_.size(); ++i) {
      const TPaletteColor& c = Palette_[i];
      const int distance = std::abs(r - c.R) + std::abs(g - c.G) + std::abs(b - c.B);
      if (distance < best) {
        best = distance;
        cell = static_cast<int16_t>(i);
      }
    }
  }
  return static_cast<uint8_t>(cell);
}

void TPaletteMapper::MapBitmap(const TBitmap& bitmap, std::vector<uint8_t>& indices) {
  indices.resize(bitmap.Pixels.size() / 3);
  const uint8_t* p = bitmap.Pixels.data();
  for (uint8_t& index : indices) {
    index = Map(p[0], p[1], p[2]);
    p += 3;
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
