#pragma once

#include <string>
#include <string_view>

namespace platform {

// `text` in the character encoding named `label` (an IANA name such as
// "shift_jis" or "windows-1251"), converted to UTF-8 by the system's
// converter. False, with `utf8` unspecified, when the system knows no such
// encoding or `text` is not valid in it.
bool ConvertToUtf8(const std::string& label, std::string_view text, std::string& utf8);

}  // namespace platform
