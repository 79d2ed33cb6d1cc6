#pragma once

#include <string>
#include <string_view>

// Creates the file `path`, which must not exist yet, and writes `bytes` into
// it. Never overwrites: when anything already stands at `path` the call
// fails. Raises Exception naming the file and the reason on any failure; a
// file it created but could not complete is removed again.
void WriteNewFile(const std::string& path, std::string_view bytes);
