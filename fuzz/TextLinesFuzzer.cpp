// The line reader of the program's text files (vlm.ini, list files and the
// hand-off file) on arbitrary bytes: CR LF, CR and LF end a line, a NUL ends
// the data. The lines hold exactly the bytes before the NUL that are no line
// end, and writing them and reading them again gives the same lines.

#include "fuzz/FuzzSupport.h"
#include "storage/vlmOption.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(fuzz::Bytes(data, size));
  const std::vector<std::string> lines = SplitTextLines(text);
  std::string joined, expected;
  for (const auto& line : lines) {
    FUZZ_CHECK(line.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
    joined += line;
  }
  for (char c : text.substr(0, text.find('\0'))) {
    if (c != '\r' && c != '\n') expected += c;
  }
  FUZZ_CHECK(joined == expected);
  FUZZ_CHECK(SplitTextLines(JoinTextLines(lines)) == lines);
  return 0;
}
