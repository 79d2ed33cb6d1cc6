#include "app/ListFile.h"

#include <cerrno>

#include "platform/Exception.h"
#include "platform/File.h"
#include "storage/vlmOption.h"

std::vector<std::string> ReadListFile(const std::string& path) {
  std::string data;
  if (!platform::ReadWholeFile(path, data)) {
    throw EStreamError(platform::CannotOpenFileText(path, errno));
  }
  return SplitTextLines(data);
}

void WriteListFile(const std::string& path, const std::vector<std::string>& paths) {
  if (!platform::ReplaceFile(path, JoinTextLines(paths))) {
    throw EStreamError("Cannot create file \"" + path + "\". " + platform::ErrorText(errno));
  }
}
