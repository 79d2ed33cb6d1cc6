#include "platform/Com.h"

#include <cstdio>

std::string GuidToString(const GUID& g) {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1,
                g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

std::optional<GUID> StringToGuid(const std::string& text) {
  // Fixed layout: {8-4-4-4-12}.
  static constexpr const char kShape[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
  if (text.size() != sizeof kShape - 1) return std::nullopt;
  uint8_t bytes[16];
  int count = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (kShape[i] != 'X') {
      if (c != kShape[i]) return std::nullopt;
      continue;
    }
    int value;
    if (c >= '0' && c <= '9') {
      value = c - '0';
    } else if (c >= 'A' && c <= 'F') {
      value = c - 'A' + 10;
    } else if (c >= 'a' && c <= 'f') {
      value = c - 'a' + 10;
    } else {
      return std::nullopt;
    }
    if (count % 2 == 0) {
      bytes[count / 2] = static_cast<uint8_t>(value << 4);
    } else {
      bytes[count / 2] |= static_cast<uint8_t>(value);
    }
    ++count;
  }
  GUID g{};
  g.Data1 = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
            bytes[3];
  g.Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
  g.Data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
  for (int i = 0; i < 8; ++i) g.Data4[i] = bytes[8 + i];
  return g;
}
