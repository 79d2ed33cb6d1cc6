#include "NamedMutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

namespace platform {

namespace {

std::string LockFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) return runtime;
  if (const char* temp = std::getenv("TMPDIR"); temp && *temp) return temp;
  return "/tmp";
}

}  // namespace

NamedMutex::NamedMutex(const std::string& name) {
  std::string path = LockFolder() + "/" + name + "-" + std::to_string(::getuid()) + ".lock";
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return;
  }
  fd_ = fd;
}

NamedMutex::~NamedMutex() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace platform
