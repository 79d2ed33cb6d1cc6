#include "platform/PlatformVersion.h"

#include <cstdlib>
#include <string>

namespace platform {

uint32_t PlatformId() {
  if (const char* id = std::getenv("VLM_PLATFORM_ID"); id && *id) {
    char* end = nullptr;
    unsigned long value = std::strtoul(id, &end, 10);
    if (*end == '\0') return static_cast<uint32_t>(value);
  }
  return VER_PLATFORM_WIN32_NT;
}

}  // namespace platform
