#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One entry of the file-type list: an extension that counts as a web page.
struct TFileType {
  std::string Extension;  // without the dot, normally lower case ("htm")
  std::string Description;
};

// Booleans are one byte as stored in vlm.ini: zero is false, every other
// value is true, and the value is kept as it was read ("2" saves as "2").
using TBool = uint8_t;

// Every setting of the program. Fields in the order of their declaration;
// none is validated when it is loaded.
struct TOptions {
  std::string CustomDir;  // user-defined initial folder
  std::string LastDir;    // folder last added through the add-folder dialog
  TBool ATag = 0;         // protect images inside <A> elements
  TBool WidthHeight = 0;  // WIDTH and HEIGHT on every piece
  TBool ProtectBMP = 0;
  TBool ProtectGIF = 0;
  TBool ProtectJPG = 0;
  TBool SliceByPixels = 0;  // false: PieHor x PieVer grid; true: PixWidth x PixHeight pieces
  TBool IncludeSubdir = 0;
  int32_t InitialDirMode = 0;  // 0 CustomDir, 1 current directory, 2 LastDir
  int32_t MinWidth = 0;
  int32_t MinHeight = 0;
  int32_t PieHor = 0;
  int32_t PieVer = 0;
  int32_t PixWidth = 0;
  int32_t PixHeight = 0;
  std::vector<TFileType> FileTypes;
};

// The process's one options record; empty until LoadOptions.
extern TOptions Options;

// Reads GetProgramDir() + "/vlm.ini" into Options. Raises EStreamError when
// the file cannot be read, EListError when it has fewer than 16 lines and
// EConvertError for a bad number; fields before the failing line keep their
// new values, the rest (FileTypes included) their old ones.
void LoadOptions();

// Writes Options to GetProgramDir() + "/vlm.ini", replacing the whole file.
// Raises EStreamError when the file cannot be written.
void SaveOptions();

// True if the extension of `fileName` (from its last ".", lower-cased, without
// the dot) equals the Extension of some entry of Options.FileTypes.
bool IsKnownFileType(const std::string& fileName);

// The folder of the running module (the program, or the shared library this
// code is linked into), without a trailing "/"; the root stays "/". The
// environment variable VLM_HOME, when set, replaces it.
std::string GetProgramDir();

// The lines of a program text file: CR LF, a lone CR and a lone LF each end a
// line, a NUL ends the data, and a last line without an end still counts.
std::vector<std::string> SplitTextLines(const std::string& data);

// The lines joined with CR LF after every line, the last one included.
std::string JoinTextLines(const std::vector<std::string>& lines);
