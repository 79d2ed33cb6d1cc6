#include "app/CommandLine.h"

#include "storage/HandOffFile.h"
#include "storage/ProgramFolders.h"

std::string HandOffFilePath() { return GetHandOffFile(); }

std::vector<std::string> CommandLinePaths(const std::vector<std::string>& arguments) {
  if (arguments.size() != 1 || arguments[0] != "/menu") return arguments;
  return ReadHandOffFile();
}
