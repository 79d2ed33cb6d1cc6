#pragma once

#include <string>
#include <string_view>

// Path and name text, the same everywhere in the program. Paths use "/".
namespace platform {

// The file name with its extension, without the folder: all of `path` when
// it holds no "/".
std::string FileNameOf(std::string_view path);

// The folder part of `path` with its trailing "/" ("/a/b.htm" gives "/a/");
// empty when `path` holds no "/".
std::string FolderOf(std::string_view path);

// The extension of the file `path` names, with its dot and as written
// (".Gif"); empty when its name has none.
std::string ExtensionOf(std::string_view path);

// The folder part of `path` as shown to a user: without the trailing "/",
// the root staying "/"; empty when `path` holds no "/".
std::string FolderNameOf(std::string_view path);

// `text` with the letters a to z mapped onto A to Z (or back); every other
// byte, UTF-8 included, unchanged. The one case-folding rule of file names
// and extensions.
std::string AsciiUpper(std::string_view text);
std::string AsciiLower(std::string_view text);
inline char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
inline char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace platform
