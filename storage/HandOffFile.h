#pragma once

#include <string>
#include <vector>

// The hand-off file "files.tmp" (GetHandOffFile()): the context-menu command
// writes the selected paths to it before it starts the program with "/menu",
// and the program reads them back.

// Writes `paths` to the hand-off file, one per line, each line ended by
// CR LF, replacing what the file held. Raises EFileHandlerError; a file left
// half-written is deleted.
void WriteHandOffFile(const std::vector<std::string>& paths);

// The lines of the hand-off file, which is deleted after reading (a failed
// deletion is ignored). Raises Exception "Cannot open file "%s". %s" when it
// cannot be read; it is then left in place.
std::vector<std::string> ReadHandOffFile();
