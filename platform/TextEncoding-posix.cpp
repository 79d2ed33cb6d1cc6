#include <iconv.h>

#include <cerrno>

#include "platform/TextEncoding.h"

namespace platform {

bool ConvertToUtf8(const std::string& label, std::string_view text, std::string& utf8) {
  iconv_t converter = ::iconv_open("UTF-8", label.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  utf8.assign(text.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char* out = utf8.data();
  size_t outLeft = utf8.size();
  // Four bytes of UTF-8 per input byte are always enough, so only a byte
  // that is not valid in the encoding stops the conversion.
  const size_t done = ::iconv(converter, &in, &inLeft, &out, &outLeft);
  ::iconv_close(converter);
  if (done == static_cast<size_t>(-1) || inLeft != 0) return false;
  utf8.resize(utf8.size() - outLeft);
  return true;
}

}  // namespace platform
