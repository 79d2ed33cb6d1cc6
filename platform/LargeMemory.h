#pragma once

#include <cstddef>

namespace platform {

// Asks the system to back the whole huge pages inside `bytes` bytes from
// `block` with huge pages, so that filling a buffer of tens of megabytes
// costs a few dozen page faults instead of thousands. Only advice: call it
// before the memory is first touched; where huge pages are off nothing
// changes. Small blocks are left alone.
void AdviseLargeBlock(void* block, size_t bytes) noexcept;

}  // namespace platform
