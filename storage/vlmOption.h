#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One entry of the file-type list: an extension that counts as a web page.
struct TFileType {
  std::string Extension;  // without the dot, normally lower case ("htm")
  std::string Description;

  bool operator==(const TFileType&) const = default;
};

// Booleans are one byte as stored in vlm.ini: zero is false, every other
// value is true, and the value is kept as it was read ("2" saves as "2").
using TBool = uint8_t;

// How a protected image is written into its page: a table whose cells show
// the pieces, or one box in which the pieces lie over each other.
enum class TMarkup : uint8_t { Table, Layered };

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
  TBool ProtectPNG = 0;
  TBool ProtectWebP = 0;
  TBool SliceByPixels = 0;  // false: PieHor x PieVer grid; true: PixWidth x PixHeight pieces
  TBool IncludeSubdir = 0;
  int32_t InitialDirMode = 0;  // 0 CustomDir, 1 current directory, 2 LastDir
  int32_t MinWidth = 0;
  int32_t MinHeight = 0;
  int32_t PieHor = 0;
  int32_t PieVer = 0;
  int32_t PixWidth = 0;
  int32_t PixHeight = 0;
  // The folder a root-relative SRC ("/img/a.png") starts from, without a
  // trailing "/"; empty: such images are left alone.
  std::string SiteRoot;
  TMarkup Markup = TMarkup::Table;
  std::vector<TFileType> FileTypes;
  // Lines of vlm.ini this version does not know (written by a newer one):
  // kept and saved back unchanged.
  std::vector<std::string> OtherLines;

  bool operator==(const TOptions&) const = default;
};

// The process's one options record; empty until LoadOptions.
extern TOptions Options;

// Reads the options file (GetOptionsFile(), storage/ProgramFolders.h) into
// Options, in either of its two forms:
//  - the keyed form, first line kOptionsHeader, then "Key=value" lines and
//    one "FileType=ext,description" line per file type;
//  - the older positional form of 16 fixed lines and then one "ext,description"
//    line per file type; it loads with PNG and WebP on, no site root and the
//    table markup.
// Raises EStreamError when the file cannot be read, EListError when a fixed
// value is missing (a line of the older form, a key of the keyed form) and
// EConvertError for a bad number, markup or header; fields converted before
// the failing one keep their new values, the rest (FileTypes included) their
// old ones.
void LoadOptions();

// Writes Options to the options file (GetOptionsFile()) in the keyed form,
// replacing the whole file. Its first line is no number, so a version that knows only
// the positional form refuses the file instead of misreading it. The file
// keeps its owner and mode. Raises EStreamError ("Cannot create file ...",
// naming the file that could not be made) when the file cannot be written,
// and when it is read-only: a file the user made read-only is never
// replaced.
void SaveOptions();

// The first line of the keyed form of vlm.ini.
extern const char* const kOptionsHeader;

// The markup's name in vlm.ini and on the command line ("table", "layered");
// MarkupFromName returns false for any other name.
const char* MarkupName(TMarkup markup);
bool MarkupFromName(const std::string& name, TMarkup& markup);

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
