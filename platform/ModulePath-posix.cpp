#include "ModulePath.h"

#include <dlfcn.h>
#include <limits.h>
#include <link.h>
#include <unistd.h>

namespace platform {

namespace {

int FindMainBase(struct dl_phdr_info* info, size_t, void* data) {
  // The first object the loader reports is the program itself.
  *static_cast<ElfW(Addr)*>(data) = info->dlpi_addr;
  return 1;
}

std::string ProgramPath() {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  return std::string(buffer, static_cast<size_t>(n));
}

}  // namespace

std::string ModulePath() {
  Dl_info self{};
  if (dladdr(reinterpret_cast<void*>(&ModulePath), &self) == 0 || self.dli_fname == nullptr) {
    return ProgramPath();
  }
  ElfW(Addr) mainBase = 0;
  dl_iterate_phdr(FindMainBase, &mainBase);
  if (reinterpret_cast<ElfW(Addr)>(self.dli_fbase) == mainBase || self.dli_fname[0] == '\0') {
    return ProgramPath();
  }
  char resolved[PATH_MAX];
  if (::realpath(self.dli_fname, resolved) != nullptr) return resolved;
  return self.dli_fname;
}

}  // namespace platform
