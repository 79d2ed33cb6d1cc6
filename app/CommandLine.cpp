#include "app/CommandLine.h"

#include <cerrno>

#include "platform/Exception.h"
#include "platform/File.h"
#include "storage/ProgramFolders.h"
#include "storage/vlmOption.h"

std::string HandOffFilePath() { return GetHandOffFile(); }

std::vector<std::string> CommandLinePaths(const std::vector<std::string>& arguments) {
  if (arguments.size() != 1 || arguments[0] != "/menu") return arguments;
  const std::string path = HandOffFilePath();
  std::string data;
  if (!platform::ReadWholeFile(path, data)) {
    throw Exception("Cannot open file \"" + path + "\". " + platform::ErrorText(errno));
  }
  platform::DeleteFile(path);
  return SplitTextLines(data);
}
