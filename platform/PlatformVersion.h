#pragma once

#include <cstdint>

namespace platform {

// Platform families, as the system reports them. Some registrations are made
// only on the NT family, which is what this system answers.
inline constexpr uint32_t VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr uint32_t VER_PLATFORM_WIN32_NT = 2;

// The family of the running system: VER_PLATFORM_WIN32_NT, unless the
// environment variable VLM_PLATFORM_ID holds another family's number (tests
// use it to take the other branch, also inside a loaded extension).
uint32_t PlatformId();

}  // namespace platform
