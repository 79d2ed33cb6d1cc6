#include "storage/HandOffFile.h"

#include <cerrno>

#include "platform/Exception.h"
#include "platform/File.h"
#include "storage/GlobalLib.h"
#include "storage/ProgramFolders.h"
#include "storage/vlmOption.h"

void WriteHandOffFile(const std::vector<std::string>& paths) {
  const std::string fileName = GetHandOffFile();
  TFileHandler file(fileName, TFileHandler::CreateTag{});
  file.Append(JoinTextLines(paths));
  try {
    file.Flush();
  } catch (const EFileHandlerError&) {
    platform::DeleteFile(fileName);
    throw;
  }
}

std::vector<std::string> ReadHandOffFile() {
  const std::string path = GetHandOffFile();
  std::string data;
  if (!platform::ReadWholeFile(path, data)) {
    throw Exception(platform::CannotOpenFileText(path, errno));
  }
  platform::DeleteFile(path);
  return SplitTextLines(data);
}
