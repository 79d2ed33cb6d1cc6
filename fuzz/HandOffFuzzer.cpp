// The reading of the hand-off file "files.tmp", which the context-menu
// command writes and the program reads when started with "/menu", on
// arbitrary bytes: the paths are the file's lines, none holds a line end or a
// NUL, and the file is gone afterwards. Any other command line passes through
// unchanged.

#include <cstdlib>

#include "app/CommandLine.h"
#include "fuzz/FuzzSupport.h"
#include "platform/File.h"
#include "storage/vlmOption.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool homeSet = ::setenv("VLM_HOME", fuzz::ScratchFolder().c_str(), 1) == 0;
  FUZZ_CHECK(homeSet);
  const std::string text(fuzz::Bytes(data, size));
  fuzz::WriteFileOrDie(HandOffFilePath(), text);
  const std::vector<std::string> paths = CommandLinePaths({"/menu"});
  FUZZ_CHECK(paths == SplitTextLines(text));
  for (const auto& path : paths) {
    FUZZ_CHECK(path.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
  }
  FUZZ_CHECK(!platform::FileExists(HandOffFilePath()));
  const std::vector<std::string> arguments = {"/menu", text};
  FUZZ_CHECK(CommandLinePaths(arguments) == arguments);
  return 0;
}
