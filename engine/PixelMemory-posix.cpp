#include "engine/PixelMemory.h"

#include <sys/mman.h>

#include <cstdlib>

namespace {

// Blocks from this size on are aligned to, and rounded up to, whole huge
// pages and marked for them; smaller ones come from the ordinary heap.
constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kHugeFrom = kHugePage;

size_t RoundedUp(size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

}  // namespace

void* AllocatePixelMemory(size_t bytes) {
  if (bytes < kHugeFrom) {
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block == nullptr) throw std::bad_alloc();
    return block;
  }
  if (bytes > static_cast<size_t>(-1) - kHugePage) throw std::bad_alloc();
  const size_t size = RoundedUp(bytes);
  void* block = std::aligned_alloc(kHugePage, size);
  if (block == nullptr) throw std::bad_alloc();
  // Only advice: where huge pages are off or scarce, ordinary pages serve.
  ::madvise(block, size, MADV_HUGEPAGE);
  return block;
}

void FreePixelMemory(void* block, size_t) noexcept { std::free(block); }
