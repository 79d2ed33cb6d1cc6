// Runs a harness over stored inputs instead of fuzzing: every argument is a
// file or a folder whose files (and subfolders' files) are run in name order.
// The ordinary build links the harnesses with this, so the saved inputs of
// every fault ever found run with the unit tests. Exit status 0 when every
// input ran; a harness that finds a fault aborts.

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "platform/File.h"

extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

// The input being run, named when the harness aborts on it.
char current[4096];

void NameInput(int signal) {
  const char prefix[] = "\nfault found by input: ";
  (void)!::write(2, prefix, sizeof prefix - 1);
  (void)!::write(2, current, std::strlen(current));
  (void)!::write(2, "\n", 1);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  for (int s : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) ::signal(s, NameInput);
  std::vector<std::string> inputs;
  for (int i = 1; i < argc; ++i) {
    std::error_code error;
    if (std::filesystem::is_directory(argv[i], error)) {
      for (const auto& item : std::filesystem::recursive_directory_iterator(argv[i])) {
        if (item.is_regular_file()) inputs.push_back(item.path().string());
      }
    } else {
      inputs.push_back(argv[i]);
    }
  }
  std::sort(inputs.begin(), inputs.end());
  // Everything is read first: a harness may leave the file system it
  // started in (the page harness shuts itself into a folder).
  std::vector<std::string> contents(inputs.size());
  for (size_t i = 0; i < inputs.size(); ++i) {
    if (!platform::ReadWholeFile(inputs[i], contents[i])) {
      std::fprintf(stderr, "cannot read %s\n", inputs[i].c_str());
      return 1;
    }
  }
  for (size_t i = 0; i < inputs.size(); ++i) {
    std::snprintf(current, sizeof current, "%s", inputs[i].c_str());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(contents[i].data()),
                           contents[i].size());
  }
  std::printf("%zu inputs ran without a fault\n", inputs.size());
  return 0;
}
