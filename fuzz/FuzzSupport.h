#pragma once

// What the harnesses share. Every harness defines LLVMFuzzerTestOneInput; it
// is linked either with libFuzzer (the fuzzing build) or with ReplayMain.cpp,
// which runs it over stored inputs (the ordinary build and its tests).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fuzz {

// A property of the code under test does not hold: report it as a crash,
// which the fuzzer saves with its input.
[[noreturn]] inline void Fail(const char* file, int line, const char* what) {
  std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, what);
  std::abort();
}

inline std::string_view Bytes(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// A fresh folder of this process under the temp folder, made on first use
// and removed when the process exits normally.
const std::string& ScratchFolder();

// Removes every entry inside `folder`, keeping the folder itself.
void EmptyFolder(const std::string& folder);

// Writes `data` to `path`, creating or truncating it; aborts on failure.
void WriteFileOrDie(const std::string& path, std::string_view data);

}  // namespace fuzz

#define FUZZ_CHECK(condition) ((condition) ? void(0) : ::fuzz::Fail(__FILE__, __LINE__, #condition))
