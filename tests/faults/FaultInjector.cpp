// A library loaded with LD_PRELOAD into a program under test. It counts the
// program's calls that change files - write, pwrite, pwritev, fsync, fdatasync,
// syncfs, ftruncate, rename, link, unlink, remove, mkdir, fchmod, fchown,
// close, opening a file for writing, and the stdio calls that do the same (fopen for writing,
// fwrite, fclose) - and at the k-th such call does what VLM_FAULT asks:
//
//   VLM_FAULT=kill@K    the process is killed with SIGKILL before call K runs
//   VLM_FAULT=enospc@K  call K fails with ENOSPC ("No space left on device")
//   VLM_FAULT=eio@K     call K fails with EIO ("Input/output error")
//
// A failing close or fclose still releases the descriptor, as the kernel
// does. Calls on standard input, output and error are not counted: they
// change no file of the user.
//
// VLM_FAULT_TRACE=PATH writes, when the program ends normally, one line per
// counted call: its number, the call's name and the file it concerned.
// Without VLM_FAULT the library only counts.

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace {

enum class Action { None, Kill, Fail };

struct Plan {
  Action action = Action::None;
  long target = 0;
  int error = 0;
  long count = 0;
  std::string trace;
  bool tracing = false;
};

// Never destroyed: the trace is written after the program's own static
// objects are gone.
Plan& State() {
  static Plan* plan = new Plan;
  return *plan;
}

template <typename F>
F Real(F, const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}
#define REAL(name) Real(&::name, #name)

std::string FdName(int fd) {
  char link[64], target[512];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t n = readlink(link, target, sizeof target - 1);
  return n > 0 ? std::string(target, static_cast<size_t>(n)) : "fd " + std::to_string(fd);
}

// Counts one call; returns true when it must fail (errno is then set). Kills
// the process when that is the plan for this call.
bool Hit(const char* call, const std::string& what) {
  Plan& p = State();
  ++p.count;
  if (p.tracing) {
    p.trace += std::to_string(p.count) + ' ' + call + ' ' + what + '\n';
  }
  if (p.action == Action::None || p.count != p.target) return false;
  if (p.action == Action::Kill) {
    kill(getpid(), SIGKILL);
    for (;;) pause();
  }
  errno = p.error;
  return true;
}

bool Counted(int fd) { return fd > 2; }

bool Counted(FILE* stream) { return stream != stdin && stream != stdout && stream != stderr; }

bool Writes(int flags) { return (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC)) != 0; }

bool Writes(const char* mode) { return mode && strpbrk(mode, "wa+") != nullptr; }

__attribute__((constructor)) void Start() {
  Plan& p = State();
  if (const char* spec = getenv("VLM_FAULT"); spec && *spec) {
    const char* at = strchr(spec, '@');
    if (at) {
      std::string action(spec, static_cast<size_t>(at - spec));
      p.target = strtol(at + 1, nullptr, 10);
      if (action == "kill") p.action = Action::Kill;
      if (action == "enospc") p.action = Action::Fail, p.error = ENOSPC;
      if (action == "eio") p.action = Action::Fail, p.error = EIO;
    }
  }
  p.tracing = getenv("VLM_FAULT_TRACE") != nullptr;
}

__attribute__((destructor)) void Finish() {
  const char* path = getenv("VLM_FAULT_TRACE");
  if (!path) return;
  auto open_ = REAL(open);
  auto write_ = REAL(write);
  auto close_ = REAL(close);
  int fd = open_(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  const std::string& text = State().trace;
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write_(fd, text.data() + done, text.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  close_(fd);
}

}  // namespace

extern "C" {

ssize_t write(int fd, const void* data, size_t count) {
  static auto real = REAL(write);
  if (Counted(fd) && Hit("write", FdName(fd))) return -1;
  return real(fd, data, count);
}

ssize_t pwrite(int fd, const void* data, size_t count, off_t offset) {
  static auto real = REAL(pwrite);
  if (Counted(fd) && Hit("pwrite", FdName(fd))) return -1;
  return real(fd, data, count, offset);
}

ssize_t pwrite64(int fd, const void* data, size_t count, off64_t offset) {
  static auto real = REAL(pwrite64);
  if (Counted(fd) && Hit("pwrite", FdName(fd))) return -1;
  return real(fd, data, count, offset);
}

ssize_t pwritev(int fd, const struct iovec* vectors, int count, off_t offset) {
  static auto real = REAL(pwritev);
  if (Counted(fd) && Hit("pwritev", FdName(fd))) return -1;
  return real(fd, vectors, count, offset);
}

ssize_t pwritev64(int fd, const struct iovec* vectors, int count, off64_t offset) {
  static auto real = REAL(pwritev64);
  if (Counted(fd) && Hit("pwritev", FdName(fd))) return -1;
  return real(fd, vectors, count, offset);
}

int fsync(int fd) {
  static auto real = REAL(fsync);
  if (Hit("fsync", FdName(fd))) return -1;
  return real(fd);
}

int fdatasync(int fd) {
  static auto real = REAL(fdatasync);
  if (Hit("fdatasync", FdName(fd))) return -1;
  return real(fd);
}

int syncfs(int fd) {
  static auto real = REAL(syncfs);
  if (Hit("syncfs", FdName(fd))) return -1;
  return real(fd);
}

int ftruncate(int fd, off_t length) {
  static auto real = REAL(ftruncate);
  if (Hit("ftruncate", FdName(fd))) return -1;
  return real(fd, length);
}

int ftruncate64(int fd, off64_t length) {
  static auto real = REAL(ftruncate64);
  if (Hit("ftruncate", FdName(fd))) return -1;
  return real(fd, length);
}

int rename(const char* from, const char* to) {
  static auto real = REAL(rename);
  if (Hit("rename", std::string(from) + " -> " + to)) return -1;
  return real(from, to);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
  static auto real = REAL(renameat);
  if (Hit("rename", std::string(from) + " -> " + to)) return -1;
  return real(fromDir, from, toDir, to);
}

int link(const char* from, const char* to) {
  static auto real = REAL(link);
  if (Hit("link", std::string(from) + " -> " + to)) return -1;
  return real(from, to);
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
  static auto real = REAL(linkat);
  if (Hit("link", std::string(from) + " -> " + to)) return -1;
  return real(fromDir, from, toDir, to, flags);
}

int fchmod(int fd, mode_t mode) {
  static auto real = REAL(fchmod);
  if (Hit("fchmod", FdName(fd))) return -1;
  return real(fd, mode);
}

int fchown(int fd, uid_t owner, gid_t group) {
  static auto real = REAL(fchown);
  if (Hit("fchown", FdName(fd))) return -1;
  return real(fd, owner, group);
}

int unlink(const char* path) {
  static auto real = REAL(unlink);
  if (Hit("unlink", path)) return -1;
  return real(path);
}

int unlinkat(int dir, const char* path, int flags) {
  static auto real = REAL(unlinkat);
  if (Hit("unlink", path)) return -1;
  return real(dir, path, flags);
}

int remove(const char* path) {
  static auto real = REAL(remove);
  if (Hit("unlink", path)) return -1;
  return real(path);
}

int mkdir(const char* path, mode_t mode) {
  static auto real = REAL(mkdir);
  if (Hit("mkdir", path)) return -1;
  return real(path, mode);
}

int close(int fd) {
  static auto real = REAL(close);
  if (Counted(fd)) {
    std::string name = FdName(fd);
    if (Hit("close", name)) {
      int saved = errno;
      real(fd);
      errno = saved;
      return -1;
    }
  }
  return real(fd);
}

int open(const char* path, int flags, ...) {
  static auto real = REAL(open);
  mode_t mode = 0;
  if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE) {
    va_list args;
    va_start(args, flags);
    mode = static_cast<mode_t>(va_arg(args, int));
    va_end(args);
  }
  if (Writes(flags) && Hit("open", path)) return -1;
  return real(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
  static auto real = REAL(open64);
  mode_t mode = 0;
  if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE) {
    va_list args;
    va_start(args, flags);
    mode = static_cast<mode_t>(va_arg(args, int));
    va_end(args);
  }
  if (Writes(flags) && Hit("open", path)) return -1;
  return real(path, flags, mode);
}

FILE* fopen(const char* path, const char* mode) {
  static auto real = REAL(fopen);
  if (Writes(mode) && Hit("open", path)) return nullptr;
  return real(path, mode);
}

FILE* fopen64(const char* path, const char* mode) {
  static auto real = REAL(fopen64);
  if (Writes(mode) && Hit("open", path)) return nullptr;
  return real(path, mode);
}

size_t fwrite(const void* data, size_t size, size_t count, FILE* stream) {
  static auto real = REAL(fwrite);
  if (Counted(stream) && Hit("write", FdName(fileno(stream)))) return 0;
  return real(data, size, count, stream);
}

int fclose(FILE* stream) {
  static auto real = REAL(fclose);
  if (Counted(stream)) {
    std::string name = FdName(fileno(stream));
    if (Hit("close", name)) {
      int saved = errno;
      real(stream);
      errno = saved;
      return EOF;
    }
  }
  return real(stream);
}

}  // extern "C"
