#include "engine/OctreeQuantizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <set>
#include <tuple>

#include "testsupport/TestImages.h"

namespace {

TBitmap FromColors(const std::vector<TPaletteColor>& colors) {
  TBitmap b;
  b.Resize(static_cast<int32_t>(colors.size()), 1);
  for (size_t i = 0; i < colors.size(); ++i) {
    b.Pixels[i * 3] = colors[i].R;
    b.Pixels[i * 3 + 1] = colors[i].G;
    b.Pixels[i * 3 + 2] = colors[i].B;
  }
  return b;
}

// The colour reduction written the plain way, step by step as its contract
// reads: heap nodes, lists of reducible nodes, a fresh tree per picture and
// a fresh mapping cache. The quantizer and the mapper must agree with it
// exactly.
class PlainOctree {
 public:
  void Add(uint8_t r, uint8_t g, uint8_t b) {
    if (root_ == nullptr) root_ = Make(0);
    Node* n = root_;
    for (int depth = 0; !n->leaf; ++depth) {
      const int shift = 7 - depth;
      const int c = 4 * ((r >> shift) & 1) + 2 * ((g >> shift) & 1) + ((b >> shift) & 1);
      if (n->child[c] == nullptr) n->child[c] = Make(depth + 1);
      n = n->child[c];
    }
    ++n->count;
    n->r += r;
    n->g += g;
    n->b += b;
    while (leaves_ > 256) Reduce();
  }
  std::vector<TPaletteColor> Palette() const {
    std::vector<TPaletteColor> out;
    if (root_ != nullptr) Collect(root_, out);
    return out;
  }

 private:
  struct Node {
    Node* child[8] = {};
    bool leaf = false;
    uint64_t count = 0, r = 0, g = 0, b = 0;
  };
  Node* Make(int depth) {
    Node* n = &nodes_.emplace_back();
    if (depth == 8) {
      n->leaf = true;
      ++leaves_;
    } else {
      reducible_[depth].push_back(n);  // the back is the front of the list
    }
    return n;
  }
  void Reduce() {
    int depth = 7;
    while (depth > 0 && reducible_[depth].empty()) --depth;
    Node* n = reducible_[depth].back();
    reducible_[depth].pop_back();
    int children = 0;
    for (Node*& c : n->child) {
      if (c == nullptr) continue;
      n->count += c->count;
      n->r += c->r;
      n->g += c->g;
      n->b += c->b;
      c = nullptr;
      ++children;
    }
    n->leaf = true;
    leaves_ += 1 - children;
  }
  static void Collect(const Node* n, std::vector<TPaletteColor>& out) {
    if (n->leaf) {
      TPaletteColor c;
      if (n->count > 0) {
        c = {static_cast<uint8_t>(n->r / n->count), static_cast<uint8_t>(n->g / n->count),
             static_cast<uint8_t>(n->b / n->count)};
      }
      out.push_back(c);
      return;
    }
    for (const Node* c : n->child) {
      if (c != nullptr) Collect(c, out);
    }
  }
  std::deque<Node> nodes_;
  std::vector<Node*> reducible_[8];
  Node* root_ = nullptr;
  int leaves_ = 0;
};

std::vector<uint8_t> PlainMap(const std::vector<TPaletteColor>& palette, const TBitmap& bitmap) {
  std::vector<int> cell(32768, -1);
  auto cellOf = [](int r, int g, int b) { return r / 8 + 32 * (g / 8) + 1024 * (b / 8); };
  for (size_t i = 0; i < palette.size(); ++i) {
    int& c = cell[cellOf(palette[i].R, palette[i].G, palette[i].B)];
    if (c < 0) c = static_cast<int>(i);
  }
  std::vector<uint8_t> out;
  for (size_t p = 0; p < bitmap.Pixels.size(); p += 3) {
    const int r = bitmap.Pixels[p], g = bitmap.Pixels[p + 1], b = bitmap.Pixels[p + 2];
    int& c = cell[cellOf(r, g, b)];
    if (c < 0) {
      int best = 1 << 30;
      for (size_t i = 0; i < palette.size(); ++i) {
        const int d = std::abs(r - palette[i].R) + std::abs(g - palette[i].G) +
                      std::abs(b - palette[i].B);
        if (d < best) {
          best = d;
          c = static_cast<int>(i);
        }
      }
    }
    out.push_back(static_cast<uint8_t>(c));
  }
  return out;
}

TEST(OctreeQuantizer, AgreesWithThePlainTreeWhenUsedForPictureAfterPicture) {
  // Many colours (a reduction after nearly every pixel), few colours in runs
  // (the same leaves again and again) and a palette just over the limit,
  // all through one quantizer and one mapper, as the pieces of a run go.
  const std::vector<TBitmap> pictures = {
      testimages::Noisy(120, 90, 1),      testimages::FewColours(120, 90, 256),
      testimages::FewColours(97, 41, 300), testimages::Gradient(256, 64),
      testimages::Noisy(33, 200, 7),      testimages::FewColours(8, 8, 3)};
  TOctreeQuantizer octree;
  TPaletteMapper mapper;
  std::vector<TPaletteColor> palette;
  std::vector<uint8_t> indices;
  for (size_t i = 0; i < pictures.size(); ++i) {
    PlainOctree plain;
    for (size_t p = 0; p < pictures[i].Pixels.size(); p += 3) {
      plain.Add(pictures[i].Pixels[p], pictures[i].Pixels[p + 1], pictures[i].Pixels[p + 2]);
    }
    const std::vector<TPaletteColor> expected = plain.Palette();

    octree.Clear();
    octree.AddBitmap(pictures[i]);
    octree.Palette(palette);
    ASSERT_EQ(palette, expected) << "picture " << i;
    mapper.SetPalette(palette);
    mapper.MapBitmap(pictures[i], indices);
    ASSERT_EQ(indices, PlainMap(expected, pictures[i])) << "picture " << i;
  }
}

TEST(OctreeQuantizer, FewColoursComeBackExactlyInTreeOrder) {
  // Tree order: the child number is 4 x R bit + 2 x G bit + B bit, from the
  // highest bit down. (1,2,3) and (0,0,9) first part at bit 3, where only
  // the 9 has a one.
  std::vector<TPaletteColor> colors = {{200, 0, 0}, {0, 0, 9}, {0, 130, 0}, {0, 0, 9}, {1, 2, 3}};
  TBitmap bitmap = FromColors(colors);
  std::vector<TPaletteColor> palette;
  std::vector<uint8_t> indices;
  QuantizeBitmap(bitmap, palette, indices);
  EXPECT_EQ(palette, (std::vector<TPaletteColor>{{1, 2, 3}, {0, 0, 9}, {0, 130, 0}, {200, 0, 0}}));
  EXPECT_EQ(indices, (std::vector<uint8_t>{3, 1, 2, 1, 0}));
}

TEST(OctreeQuantizer, TwoHundredFiftySixColoursAreKeptExactly) {
  std::vector<TPaletteColor> colors;
  for (int i = 255; i >= 0; --i) {
    colors.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 7});
  }
  TOctreeQuantizer octree;
  octree.AddBitmap(FromColors(colors));
  EXPECT_EQ(octree.LeafCount(), 256);
  std::vector<TPaletteColor> palette = octree.Palette();
  ASSERT_EQ(palette.size(), 256u);
  std::set<std::tuple<int, int, int>> expected, got;
  for (auto& c : colors) expected.insert({c.R, c.G, c.B});
  for (auto& c : palette) got.insert({c.R, c.G, c.B});
  EXPECT_EQ(got, expected);
}

TEST(OctreeQuantizer, TheTwoHundredFiftySeventhColourReducesTheNewestDeepestNode) {
  // Reds 0..255 fill 128 depth-7 nodes with two leaves each; the node of
  // 254/255 was made last. Adding (0,0,1) joins an existing node (that of
  // 0/1), so the reduction takes the 254/255 node: their mean, 254.
  TOctreeQuantizer octree;
  for (int r = 0; r < 256; ++r) octree.AddColor(static_cast<uint8_t>(r), 0, 0);
  octree.AddColor(0, 0, 1);
  EXPECT_EQ(octree.LeafCount(), 256);
  std::vector<TPaletteColor> palette = octree.Palette();
  ASSERT_EQ(palette.size(), 256u);
  EXPECT_EQ(palette[0], (TPaletteColor{0, 0, 0}));
  EXPECT_EQ(palette[1], (TPaletteColor{0, 0, 1}));
  EXPECT_EQ(palette[2], (TPaletteColor{1, 0, 0}));
  EXPECT_EQ(palette[254], (TPaletteColor{253, 0, 0}));
  EXPECT_EQ(palette[255], (TPaletteColor{254, 0, 0}));
}

TEST(OctreeQuantizer, ReductionsWeighTheMeanByPixelCount) {
  // Three pixels of 252 and one of 253 share a depth-7 node with 254/255-
  // style neighbours; force the reduction of exactly that node.
  TOctreeQuantizer octree;
  for (int r = 0; r < 252; ++r) octree.AddColor(static_cast<uint8_t>(r), 0, 0);
  for (int i = 0; i < 3; ++i) octree.AddColor(252, 0, 0);
  octree.AddColor(253, 0, 0);
  octree.AddColor(254, 0, 0);
  octree.AddColor(255, 0, 0);  // 256 leaves, the newest depth-7 node is 254/255
  octree.AddColor(0, 0, 1);    // reduces 254/255 -> (254)
  octree.AddColor(2, 0, 1);    // reduces 252/253 (now the newest on the list)
  std::vector<TPaletteColor> palette = octree.Palette();
  ASSERT_EQ(palette.size(), 256u);
  EXPECT_EQ(palette[254], (TPaletteColor{252, 0, 0}));  // (3*252 + 253) / 4
  EXPECT_EQ(palette[255], (TPaletteColor{254, 0, 0}));
}

TEST(OctreeQuantizer, ManyColoursStayWithinTheLimit) {
  TOctreeQuantizer octree;
  for (int i = 0; i < 70000; ++i) {
    octree.AddColor(static_cast<uint8_t>(i * 37), static_cast<uint8_t>(i * 101 >> 3),
                    static_cast<uint8_t>(i * 7919 >> 5));
    ASSERT_LE(octree.LeafCount(), 256);
  }
  EXPECT_EQ(octree.Palette().size(), static_cast<size_t>(octree.LeafCount()));
}

TEST(PaletteMapper, EntriesClaimTheirOwnCellFirstEarlierEntriesWinning) {
  // Both entries lie in one 5-bit cell: the first claims it, so even the
  // exact colour of the second maps to the first.
  TPaletteMapper mapper({{8, 8, 8}, {9, 9, 9}, {200, 200, 200}});
  EXPECT_EQ(mapper.Map(9, 9, 9), 0);
  EXPECT_EQ(mapper.Map(15, 15, 15), 0);
  EXPECT_EQ(mapper.Map(200, 200, 200), 2);
}

TEST(PaletteMapper, FirstColourOfACellClaimsItForTheLaterOnes) {
  TPaletteMapper mapper({{0, 0, 16}, {16, 0, 0}});
  // (8,0,8) is 16 away from both: the lower index wins and claims the cell.
  EXPECT_EQ(mapper.Map(8, 0, 8), 0);
  // (15,0,8) is nearer to entry 1 but shares the cell: entry 0.
  EXPECT_EQ(mapper.Map(15, 0, 8), 0);
  // A fresh mapper maps it to its own nearest.
  TPaletteMapper fresh({{0, 0, 16}, {16, 0, 0}});
  EXPECT_EQ(fresh.Map(15, 0, 8), 1);
  EXPECT_EQ(TPaletteMapper::Cell(8, 0, 8), TPaletteMapper::Cell(15, 0, 15));
  EXPECT_EQ(TPaletteMapper::Cell(255, 255, 255), 32767);
}

TEST(PaletteMapper, NearestUsesTheSumOfAbsoluteDifferences) {
  // Squared distance would pick entry 1 for (60,60,60); absolute sums say 0.
  TPaletteMapper mapper({{0, 60, 60}, {40, 40, 40}});
  EXPECT_EQ(mapper.Map(60, 60, 60), 0);  // 60 against 60: tie, lower index
  TPaletteMapper other({{0, 60, 60}, {45, 45, 45}});
  EXPECT_EQ(other.Map(60, 60, 60), 1);  // 60 against 45
}

TEST(OctreeQuantizer, ColoursDifferingInTheirTopFiveBitsMapExactly) {
  std::vector<TPaletteColor> colors;
  for (int i = 0; i < 200; ++i) {
    colors.push_back({static_cast<uint8_t>((i % 8) * 32 + 3), static_cast<uint8_t>((i / 8) * 8),
                      static_cast<uint8_t>(255 - i)});
  }
  TBitmap bitmap = FromColors(colors);
  std::vector<TPaletteColor> palette;
  std::vector<uint8_t> indices;
  QuantizeBitmap(bitmap, palette, indices);
  for (size_t i = 0; i < colors.size(); ++i) EXPECT_EQ(palette[indices[i]], colors[i]) << i;
}

}  // namespace
