#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "platform/File.h"
#include "platform/FileWriteBack.h"

namespace platform {

namespace {

std::string FolderOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::pwrite(fd, data.data() + done, data.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Closes `fd`, keeping the first error of `ok`.
bool CloseKeeping(int fd, bool ok) {
  int saved = errno;
  if (::close(fd) != 0 && ok) return false;
  errno = saved;
  return ok;
}

}  // namespace

FileFacts InspectFile(const std::string& path) {
  FileFacts facts;
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return facts;
  facts.Exists = true;
  facts.IsSymlink = S_ISLNK(st.st_mode);
  if (facts.IsSymlink && ::stat(path.c_str(), &st) != 0) return facts;
  facts.Regular = S_ISREG(st.st_mode);
  facts.Links = st.st_nlink;
  facts.Owner = st.st_uid;
  facts.Group = st.st_gid;
  facts.Mode = st.st_mode & 07777;
  facts.ModifiedAt = st.st_mtim.tv_sec;
  return facts;
}

bool OverwriteInPlace(const std::string& path, const std::string& data) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data) && ::ftruncate(fd, static_cast<off_t>(data.size())) == 0 &&
            ::fsync(fd) == 0;
  return CloseKeeping(fd, ok);
}

bool CreateNewFile(const std::string& path, const std::string& data, uint32_t mode, bool setOwner,
                   uint32_t owner, uint32_t group) {
  // Made private first: nobody may open the file before it is complete and
  // has its final owner and mode.
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data);
  if (ok && setOwner) {
    struct stat st;
    ok = ::fstat(fd, &st) == 0;
    if (ok && (st.st_uid != owner || st.st_gid != group)) ok = ::fchown(fd, owner, group) == 0;
  }
  if (ok) ok = ::fchmod(fd, static_cast<mode_t>(mode & 07777)) == 0 && ::fsync(fd) == 0;
  ok = CloseKeeping(fd, ok);
  if (!ok) {
    int saved = errno;
    ::unlink(path.c_str());
    errno = saved;
  }
  return ok;
}

uint32_t DefaultFileMode() {
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return 0666 & ~mask;
}

bool RenameOver(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return false;
  SyncFolder(FolderOf(to));
  return true;
}

bool LinkNewName(const std::string& existing, const std::string& name) {
  if (::link(existing.c_str(), name.c_str()) != 0) return false;
  SyncFolder(FolderOf(name));
  return true;
}

std::string RandomSuffix() {
  uint64_t value = 0;
  if (::getrandom(&value, sizeof value, 0) != static_cast<ssize_t>(sizeof value)) {
    static std::random_device device;
    value = (static_cast<uint64_t>(device()) << 32) ^ device() ^ static_cast<uint64_t>(::getpid());
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, value >>= 4) text[static_cast<size_t>(i)] = kHex[value & 15];
  return text;
}

}  // namespace platform
