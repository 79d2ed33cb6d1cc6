#include "platform/LargeMemory.h"

#include <sys/mman.h>

#include <cstdint>

namespace platform {

void AdviseLargeBlock(void* block, size_t bytes) noexcept {
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  const auto begin = reinterpret_cast<uintptr_t>(block);
  const uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t end = (begin + bytes) & ~(kHugePage - 1);
  if (end <= first) return;
  ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

}  // namespace platform
