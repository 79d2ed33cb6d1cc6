#pragma once

#include <cstddef>
#include <new>
#include <utility>

// Memory for pictures. Large blocks are laid out so that the system can back
// them with huge pages: a 12-megapixel picture then costs a few dozen page
// faults instead of ten thousand. Freshly allocated memory is not cleared.

// A block of at least `bytes` bytes, suitably aligned for any pixel type.
// Raises std::bad_alloc.
void* AllocatePixelMemory(size_t bytes);
// Frees a block from AllocatePixelMemory of the same `bytes`.
void FreePixelMemory(void* block, size_t bytes) noexcept;

// Allocator for pixel containers: memory from AllocatePixelMemory, and
// elements default-initialised, so that making a buffer larger does not
// first fill it with zeros that the decoder overwrites at once.
template <class T>
struct TPixelAllocator {
  using value_type = T;

  TPixelAllocator() = default;
  template <class U>
  TPixelAllocator(const TPixelAllocator<U>&) noexcept {}

  T* allocate(size_t n) {
    if (n > static_cast<size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(AllocatePixelMemory(n * sizeof(T)));
  }
  void deallocate(T* p, size_t n) noexcept { FreePixelMemory(p, n * sizeof(T)); }

  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }

  template <class U>
  friend bool operator==(const TPixelAllocator&, const TPixelAllocator<U>&) noexcept {
    return true;
  }
};
