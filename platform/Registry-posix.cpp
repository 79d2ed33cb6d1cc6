#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/Exception.h"
#include "platform/File.h"
#include "platform/Registry.h"
#include "platform/UserFolders.h"

namespace platform {

namespace {

std::string FullPath(RegistryRoot root, const std::string& key) {
  return key.empty() ? RootName(root) : std::string(RootName(root)) + "\\" + key;
}

std::string ParentFolder(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Holds an exclusive lock on the lock file beside the registry, waiting for
// other writers.
class WriterLock {
 public:
  explicit WriterLock(const std::string& registryPath) {
    fd_ = ::open((registryPath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    while (flock(fd_, LOCK_EX) != 0) {
      if (errno == EINTR) continue;
      int saved = errno;
      ::close(fd_);
      fd_ = -1;
      errno = saved;
      return;
    }
  }
  ~WriterLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  WriterLock(const WriterLock&) = delete;
  WriterLock& operator=(const WriterLock&) = delete;
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Reads the file into `tree`; a missing file is an empty tree. False with
// errno set (EINVAL for a file that is not a registry) and `error` filled.
bool Load(const std::string& path, RegistryKey& tree, std::string& error) {
  std::string text;
  if (!ReadWholeFile(path, text)) {
    if (errno == ENOENT) {
      tree = RegistryKey();
      return true;
    }
    error = ErrorText(errno);
    return false;
  }
  if (!tree.Parse(text, error)) {
    errno = EINVAL;
    return false;
  }
  return true;
}

}  // namespace

std::string Registry::DefaultPath() {
  if (const char* path = std::getenv("VLM_REGISTRY"); path && *path) return path;
  return ConfigHome() + "/velmora/registry.reg";
}

RegistryKey Registry::Read() const {
  RegistryKey tree;
  std::string error;
  if (!Load(path_, tree, error)) {
    throw EStreamError("Cannot read the registry \"" + path_ + "\". " + error);
  }
  return tree;
}

bool Registry::Update(const std::function<bool(RegistryKey&)>& change) {
  if (!ForceDirectories(ParentFolder(path_))) return false;
  WriterLock lock(path_);
  if (!lock.Held()) return false;
  RegistryKey tree;
  std::string error;
  if (!Load(path_, tree, error)) return false;
  if (!change(tree)) return false;
  return ReplaceFile(path_, tree.Format());
}

bool Registry::CreateKey(RegistryRoot root, const std::string& key) {
  return Update([&](RegistryKey& tree) {
    if (tree.Create(FullPath(root, key)) != nullptr) return true;
    errno = EINVAL;
    return false;
  });
}

bool Registry::SetString(RegistryRoot root, const std::string& key, const std::string& name,
                         const std::string& data) {
  return Update([&](RegistryKey& tree) {
    RegistryKey* found = tree.Create(FullPath(root, key));
    if (found == nullptr) {
      errno = EINVAL;
      return false;
    }
    found->SetString(name, data);
    return true;
  });
}

bool Registry::DeleteKey(RegistryRoot root, const std::string& key) {
  return Update([&](RegistryKey& tree) {
    const RegistryKey* found = key.empty() ? nullptr : tree.Find(FullPath(root, key));
    if (found == nullptr) {
      errno = ENOENT;
      return false;
    }
    if (!found->SubKeys().empty()) {
      errno = ENOTEMPTY;
      return false;
    }
    return tree.DeleteTree(FullPath(root, key));
  });
}

}  // namespace platform
