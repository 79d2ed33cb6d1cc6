#include "engine/PixelMemory.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "engine/Bitmap.h"

namespace {

TEST(PixelMemory, BuffersKeepTheirBytesWhenTheyGrowPastTheLargeBlockSize) {
  // From heap blocks to huge-page blocks and back: the bytes written before
  // stay, every byte of a large block can be written.
  TPixelBytes bytes(1000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
  bytes.resize(9 << 20);
  for (size_t i = 0; i < 1000; ++i) ASSERT_EQ(bytes[i], static_cast<uint8_t>(i * 7)) << i;
  for (size_t i = 0; i < bytes.size(); i += 4093) bytes[i] = 1;
  bytes[bytes.size() - 1] = 2;
  EXPECT_EQ(reinterpret_cast<uintptr_t>(bytes.data()) % alignof(std::max_align_t), 0u);
  TPixelBytes copy = bytes;
  EXPECT_EQ(copy, bytes);
  bytes.resize(10);
  bytes.shrink_to_fit();
  EXPECT_EQ(bytes[3], static_cast<uint8_t>(21));
}

TEST(PixelMemory, ABitmapReusedForSmallerPiecesKeepsItsBlock) {
  TBitmap piece;
  piece.Resize(1500, 1000);
  const uint8_t* block = piece.Pixels.data();
  piece.Resize(700, 300);
  piece.Resize(1500, 999);
  EXPECT_EQ(piece.Pixels.data(), block);
  EXPECT_EQ(piece.Pixels.size(), 1500u * 999 * 3);
  void* empty = AllocatePixelMemory(0);
  EXPECT_NE(empty, nullptr);
  FreePixelMemory(empty, 0);
}

}  // namespace
