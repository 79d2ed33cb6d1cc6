#include "engine/PieceFile.h"

#include <cerrno>
#include <cstdio>

#include "platform/Exception.h"
#include "platform/File.h"

namespace {

[[noreturn]] void Fail(const std::string& path, int error) {
  throw Exception("Can not write piece file " + path + ": " + platform::ErrorText(error));
}

}  // namespace

void WriteNewFile(const std::string& path, std::string_view bytes) {
  // "x": create exclusively, so a name taken since it was chosen is never
  // overwritten.
  std::FILE* file = std::fopen(path.c_str(), "wbx");
  if (file == nullptr) Fail(path, errno);
  int error = 0;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
    error = errno;
  }
  if (std::fclose(file) != 0 && error == 0) error = errno;
  if (error != 0) {
    std::remove(path.c_str());
    Fail(path, error);
  }
}
