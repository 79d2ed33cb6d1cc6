#pragma once

#include <string>
#include <vector>

// List files (*.lst): the list's paths, one full path per line, as bytes,
// with no header or count.

// The lines of the list file at `path`: CR LF, a lone CR and a lone LF each
// end a line, a NUL ends the data, and a last line without an end counts.
// Nothing is filtered here. Raises EStreamError "Cannot open file "%s". %s"
// when the file cannot be read.
std::vector<std::string> ReadListFile(const std::string& path);

// Replaces the file at `path` by `paths`, each followed by CR LF; an empty
// list gives an empty file. Raises EStreamError "Cannot create file "%s". %s"
// when it cannot be written; the old file is then untouched.
void WriteListFile(const std::string& path, const std::vector<std::string>& paths);
