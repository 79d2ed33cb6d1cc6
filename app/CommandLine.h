#pragma once

#include <string>
#include <vector>

// The hand-off file that the context-menu command writes before it starts the
// program with "/menu": GetProgramDir() + "/files.tmp".
std::string HandOffFilePath();

// The paths the program was started with. `arguments` are the command line
// without the program itself. When it is exactly the one argument "/menu"
// (compared case-sensitively), the paths are the lines of the hand-off file,
// which is deleted after reading (a failed deletion is ignored); otherwise
// every argument is a path. Raises Exception "Cannot open file "%s". %s" when
// the hand-off file cannot be read; it is then left in place.
std::vector<std::string> CommandLinePaths(const std::vector<std::string>& arguments);
