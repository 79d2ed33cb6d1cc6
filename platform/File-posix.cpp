#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "File.h"
#include "platform/FileWriteBack.h"

namespace platform {

namespace {

int OpenFlags(Access access) {
  switch (access) {
    case Access::Read:
      return O_RDONLY;
    case Access::Write:
      return O_WRONLY;
    case Access::ReadWrite:
      return O_RDWR;
  }
  return O_RDONLY;
}

// Takes the lock that stands for the sharing mode; closes `fd` when refused.
bool Lock(int fd, Sharing sharing) {
  int op = (sharing == Sharing::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
  while (flock(fd, op) != 0) {
    if (errno == EINTR) continue;
    int saved = errno;
    ::close(fd);
    errno = saved == EWOULDBLOCK ? EACCES : saved;
    return false;
  }
  return true;
}

std::string ParentOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The bytes that one write call reported as `n`: 0 when it was interrupted
// before writing and is made again, -1 on a failure (errno set; a call that
// writes nothing is one, as EIO).
ssize_t Written(ssize_t n) {
  if (n < 0) return errno == EINTR ? 0 : -1;
  if (n == 0) {
    errno = EIO;
    return -1;
  }
  return n;
}

}  // namespace

File::~File() { Close(); }

File::File(File&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

bool File::Open(const std::string& path, Access access, Sharing sharing) {
  Close();
  int fd = ::open(path.c_str(), OpenFlags(access) | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return false;
  }
  if (!Lock(fd, sharing)) return false;
  fd_ = fd;
  return true;
}

bool File::Create(const std::string& path, Sharing sharing, bool truncate) {
  Close();
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  if (!Lock(fd, sharing)) return false;
  if (truncate && ::ftruncate(fd, 0) != 0) {
    int saved = errno;
    ::close(fd);
    errno = saved;
    return false;
  }
  fd_ = fd;
  return true;
}

int64_t File::Size() const {
  struct stat st;
  if (fstat(fd_, &st) != 0) return -1;
  return st.st_size;
}

int64_t File::Read(char* data, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    ssize_t n = ::read(fd_, data + done, static_cast<size_t>(count - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

bool File::WriteAt(const char* data, int64_t count, int64_t offset) {
  int64_t done = 0;
  while (done < count) {
    const ssize_t n =
        Written(::pwrite(fd_, data + done, static_cast<size_t>(count - done), offset + done));
    if (n < 0) return false;
    done += n;
  }
  return true;
}

bool File::WriteAt(const std::vector<std::string_view>& pieces, int64_t offset) {
  std::vector<iovec> vectors;
  vectors.reserve(std::min<size_t>(pieces.size(), IOV_MAX));
  size_t next = 0;  // first piece not handed to the system yet
  while (next < pieces.size() || !vectors.empty()) {
    while (next < pieces.size() && vectors.size() < IOV_MAX) {
      const std::string_view piece = pieces[next++];
      if (!piece.empty()) vectors.push_back({const_cast<char*>(piece.data()), piece.size()});
    }
    if (vectors.empty()) break;
    const ssize_t n =
        Written(::pwritev(fd_, vectors.data(), static_cast<int>(vectors.size()), offset));
    if (n < 0) return false;
    offset += n;
    // Drops what was written, a piece written in part keeping its rest.
    size_t done = 0;
    auto left = static_cast<size_t>(n);
    while (done < vectors.size() && left >= vectors[done].iov_len) left -= vectors[done++].iov_len;
    if (done < vectors.size()) {
      vectors[done].iov_base = static_cast<char*>(vectors[done].iov_base) + left;
      vectors[done].iov_len -= left;
    }
    vectors.erase(vectors.begin(), vectors.begin() + static_cast<std::ptrdiff_t>(done));
  }
  return true;
}

bool File::Write(const char* data, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = Written(::write(fd_, data + done, static_cast<size_t>(count - done)));
    if (n < 0) return false;
    done += n;
  }
  return true;
}

bool File::Truncate(int64_t size) { return ::ftruncate(fd_, size) == 0; }

bool File::Sync() { return ::fsync(fd_) == 0; }

bool File::Close() {
  if (fd_ < 0) return true;
  int fd = std::exchange(fd_, -1);
  return ::close(fd) == 0;
}

std::string ErrorText(int error) { return std::strerror(error); }

std::string CannotOpenFileText(const std::string& path, int error) {
  return "Cannot open file \"" + path + "\". " + ErrorText(error);
}

bool SyncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool ReadWholeFile(const std::string& path, std::string& data) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    int saved = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd);
    errno = saved;
    return false;
  }
  std::string text;
  char chunk[65536];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      int saved = errno;
      ::close(fd);
      errno = saved;
      return false;
    }
    if (n == 0) break;
    text.append(chunk, static_cast<size_t>(n));
  }
  ::close(fd);
  data = std::move(text);
  return true;
}

namespace {

// Writes all of `data` to `fd` and forces it to the disk.
bool WriteAllAndSync(int fd, const std::string& data) {
  int64_t done = 0;
  while (done < static_cast<int64_t>(data.size())) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += n;
  }
  return ::fsync(fd) == 0;
}

// Truncates and rewrites an existing file where it is, which keeps its
// owner, for when a new file could not be given that owner.
bool RewriteInPlace(const std::string& path, const std::string& data) {
  int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = WriteAllAndSync(fd, data);
  int saved = errno;
  if (::close(fd) != 0 && ok) return false;
  errno = saved;
  return ok;
}

}  // namespace

bool ReplaceFile(const std::string& path, const std::string& data, std::string* failedFile) {
  // A link stays a link: the file it leads to is replaced.
  std::string target = path;
  struct stat link;
  if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    if (char* real = ::realpath(path.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }
  struct stat old;
  const bool existed = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  // A fresh name that cannot be taken: a file of the user's called like
  // path + ".new" is never touched. Failures name the file being replaced,
  // since the temporary's random name tells the user nothing.
  const std::string temp = ParentOf(target) + "/.vlm-" + RandomSuffix() + ".tmp";
  auto fail = [&](int error) {
    if (failedFile) *failedFile = target;
    errno = error;
    return false;
  };

  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return fail(errno);
  bool ok = WriteAllAndSync(fd, data);
  bool keepsOwner = true;
  if (ok && existed) {
    // The new file takes the old one's owner and mode; the mode last, as a
    // change of owner clears the set-id bits.
    keepsOwner = (old.st_uid == ::geteuid() && old.st_gid == ::getegid()) ||
                 ::fchown(fd, old.st_uid, old.st_gid) == 0;
    ok = ::fchmod(fd, old.st_mode & 07777) == 0;
  }
  int saved = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok && !keepsOwner) {
    ::unlink(temp.c_str());
    return RewriteInPlace(target, data) || fail(errno);
  }
  if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    return fail(error);
  }
  if (!ok) {
    ::unlink(temp.c_str());
    return fail(saved);
  }
  SyncFolder(ParentOf(target));
  return true;
}

bool FileIdentity(const std::string& path, uint64_t& device, uint64_t& inode) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  device = static_cast<uint64_t>(st.st_dev);
  inode = static_cast<uint64_t>(st.st_ino);
  return true;
}

bool IsReadOnlyFile(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

FileKind KindOfFile(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return FileKind::Missing;
  if (S_ISDIR(st.st_mode)) return FileKind::Folder;
  return S_ISREG(st.st_mode) ? FileKind::Regular : FileKind::Other;
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ForceDirectories(const std::string& path) {
  if (path.empty()) return false;
  if (DirectoryExists(path)) return true;
  std::string parent = ParentOf(path);
  if (parent != path && !ForceDirectories(parent)) return false;
  return ::mkdir(path.c_str(), 0777) == 0 || (errno == EEXIST && DirectoryExists(path));
}

bool DeleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

}  // namespace platform
