#include "engine/FileSystemSync.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

void SyncFileSystemsOf(const std::set<std::string>& folders) {
  std::vector<dev_t> done;
  for (const std::string& folder : folders) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
      if (fd >= 0) ::close(fd);
      ::sync();
      return;
    }
    bool seen = false;
    for (dev_t d : done) seen = seen || d == st.st_dev;
    if (!seen) {
      done.push_back(st.st_dev);
      if (::syncfs(fd) != 0) {
        ::close(fd);
        ::sync();
        return;
      }
    }
    ::close(fd);
  }
}
