#pragma once

#include <string>
#include <string_view>

// What a SRC value names, resolved the way a browser resolves it against the
// file: URL of its page.
struct TImageAddress {
  enum class Kind {
    File,        // `Path` is the file to look at
    Remote,      // http:, https:, data:, any other scheme, or "//host/..."
    NoSiteRoot,  // "/..." while no site root is set
  };
  Kind Where = Kind::File;
  std::string Path;        // the full path of the file, for Kind::File
  std::string SrcDir;      // the SRC's own text up to its last "/" or "\\" (before any "?" or "#")
  bool BadEscape = false;  // an escape that decodes to NUL: no file can be meant
  // A page's base (PageBaseAddress): the character encoding its text is
  // read in (see DeclaredPageEncoding); a SRC's bytes beyond ASCII name the
  // file by their UTF-8 form, as a browser's address does.
  std::string Encoding;
};

// Resolves `srcValue` for a page in `pageFolder` (ending with "/").
// Blanks around the value are dropped; characters beyond ASCII are read in
// UTF-8 when valid, otherwise in windows-1252, as browsers read a page that
// declares no encoding; a query string ("?...") or fragment
// ("#...") is dropped for finding the file; percent-escapes are decoded
// (except %2F and %5C, which a browser never turns into a separator); "\"
// counts as a separator. A value starting with "/" resolves against
// `siteRoot` (without a trailing "/"), and ".." never climbs above it; with an
// empty `siteRoot` it is Kind::NoSiteRoot.
TImageAddress ResolveImageAddress(const std::string& pageFolder, const std::string& srcValue,
                                  const std::string& siteRoot);

// Resolves `srcValue` as above against `base` (from PageBaseAddress): a
// relative value goes to the base's folder, or takes the base's kind when
// the base is remote or has no site root to stand on; characters beyond
// ASCII are read in the base's encoding.
TImageAddress ResolveImageAddress(const TImageAddress& base, const std::string& srcValue,
                                  const std::string& siteRoot);

// What the relative SRC values of `page`, a page in `pageFolder` (ending with
// "/"), resolve against, as a browser takes it: the folder of the first BASE
// tag's HREF, that HREF resolved like a SRC value; `pageFolder` when no BASE
// tag has an HREF. Kind::File with the folder, ending with "/", in `Path`,
// and the page's declared encoding.
TImageAddress PageBaseAddress(std::string_view page, const std::string& pageFolder,
                              const std::string& siteRoot);

// The full path of the file a SRC value names, for a page in `pageFolder`
// (ending with "/"). "\" counts as a separator; a value starting with "/"
// names the root; "." and ".." are resolved by name. No URL decoding.
std::string ExpandImagePath(const std::string& pageFolder, std::string srcValue);
