#include "fuzz/FuzzSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

namespace fuzz {

const std::string& ScratchFolder() {
  // Never destroyed: the exit handler below still needs it.
  static const std::string* folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "vlm-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) Fail(__FILE__, __LINE__, "mkdtemp");
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(ScratchFolder(), ignored);
    });
    return new std::string(pattern);
  }();
  return *folder;
}

void EmptyFolder(const std::string& folder) {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
    std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(entry.path(), ignored);
  }
}

void WriteFileOrDie(const std::string& path, std::string_view data) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) Fail(__FILE__, __LINE__, ("cannot create " + path).c_str());
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n <= 0) Fail(__FILE__, __LINE__, ("cannot write " + path).c_str());
    done += static_cast<size_t>(n);
  }
  ::close(fd);
}

}  // namespace fuzz
