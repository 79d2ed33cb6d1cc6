#include "engine/DocumentMode.h"

#include <algorithm>
#include <string>

#include "engine/TagScan.h"
#include "platform/Path.h"

namespace {

// Public identifiers that start so put a page in quirks mode.
constexpr std::string_view kQuirksPublicPrefixes[] = {
    "+//silmaril//dtd html pro v0r11 19970101//",
    "-//as//dtd html 3.0 aswedit + extensions//",
    "-//advasoft ltd//dtd html 3.0 aswedit + extensions//",
    "-//ietf//dtd html 2.0 level 1//",
    "-//ietf//dtd html 2.0 level 2//",
    "-//ietf//dtd html 2.0 strict level 1//",
    "-//ietf//dtd html 2.0 strict level 2//",
    "-//ietf//dtd html 2.0 strict//",
    "-//ietf//dtd html 2.0//",
    "-//ietf//dtd html 2.1e//",
    "-//ietf//dtd html 3.0//",
    "-//ietf//dtd html 3.2 final//",
    "-//ietf//dtd html 3.2//",
    "-//ietf//dtd html 3//",
    "-//ietf//dtd html level 0//",
    "-//ietf//dtd html level 1//",
    "-//ietf//dtd html level 2//",
    "-//ietf//dtd html level 3//",
    "-//ietf//dtd html strict level 0//",
    "-//ietf//dtd html strict level 1//",
    "-//ietf//dtd html strict level 2//",
    "-//ietf//dtd html strict level 3//",
    "-//ietf//dtd html strict//",
    "-//ietf//dtd html//",
    "-//metrius//dtd metrius presentational//",
    "-//microsoft//dtd internet explorer 2.0 html strict//",
    "-//microsoft//dtd internet explorer 2.0 html//",
    "-//microsoft//dtd internet explorer 2.0 tables//",
    "-//microsoft//dtd internet explorer 3.0 html strict//",
    "-//microsoft//dtd internet explorer 3.0 html//",
    "-//microsoft//dtd internet explorer 3.0 tables//",
    "-//netscape comm. corp.//dtd html//",
    "-//netscape comm. corp.//dtd strict html//",
    "-//o'reilly and associates//dtd html 2.0//",
    "-//o'reilly and associates//dtd html extended 1.0//",
    "-//o'reilly and associates//dtd html extended relaxed 1.0//",
    "-//sq//dtd html 2.0 hotmetal + extensions//",
    "-//softquad software//dtd hotmetal pro 6.0::19990601::extensions to html 4.0//",
    "-//softquad//dtd hotmetal pro 4.0::19971010::extensions to html 4.0//",
    "-//spyglass//dtd html 2.0 extended//",
    "-//sun microsystems corp.//dtd hotjava html//",
    "-//sun microsystems corp.//dtd hotjava strict html//",
    "-//w3c//dtd html 3 1995-03-24//",
    "-//w3c//dtd html 3.2 draft//",
    "-//w3c//dtd html 3.2 final//",
    "-//w3c//dtd html 3.2//",
    "-//w3c//dtd html 3.2s draft//",
    "-//w3c//dtd html 4.0 frameset//",
    "-//w3c//dtd html 4.0 transitional//",
    "-//w3c//dtd html experimental 19960712//",
    "-//w3c//dtd html experimental 970421//",
    "-//w3c//dtd w3 html//",
    "-//w3o//dtd w3 html 3.0//",
    "-//webtechs//dtd mozilla html 2.0//",
    "-//webtechs//dtd mozilla html//"};

// And these only where no system identifier follows.
constexpr std::string_view kQuirksWithoutSystemPrefixes[] = {
    "-//w3c//dtd html 4.01 frameset//", "-//w3c//dtd html 4.01 transitional//"};

bool StartsWithFolded(std::string_view text, std::string_view lowerPrefix) {
  return text.size() >= lowerPrefix.size() &&
         platform::AsciiLower(text.substr(0, lowerPrefix.size())) == lowerPrefix;
}

struct TDoctype {
  std::string Name, Public, System;  // lower case
  bool HasPublic = false, HasSystem = false;
};

// Reads a document type declaration as a browser's tokenizer does, from just
// after "<!DOCTYPE" in `text`; false when the tokenizer would mark it as
// forcing quirks mode (no name, a quote missing, the page ending first).
bool ReadDoctype(std::string_view text, TDoctype& doctype) {
  size_t i = 0;
  auto skipBlanks = [&] {
    while (i < text.size() && IsTagBlank(text[i])) ++i;
  };
  // A quoted identifier; false when it is not there, or ends at a ">".
  auto quoted = [&](std::string& value) {
    skipBlanks();
    if (i >= text.size() || (text[i] != '"' && text[i] != '\'')) return false;
    const char quote = text[i++];
    const size_t end = text.find_first_of(std::string{quote, '>'}, i);
    if (end == std::string_view::npos || text[end] == '>') return false;
    value = platform::AsciiLower(text.substr(i, end - i));
    i = end + 1;
    return true;
  };
  skipBlanks();
  const size_t nameStart = i;
  while (i < text.size() && !IsTagBlank(text[i]) && text[i] != '>') ++i;
  if (i == nameStart || i >= text.size()) return false;
  doctype.Name = platform::AsciiLower(text.substr(nameStart, i - nameStart));
  skipBlanks();
  if (i < text.size() && text[i] == '>') return true;
  const std::string_view rest = text.substr(i);
  if (StartsWithFolded(rest, "public")) {
    i += 6;
    if (!quoted(doctype.Public)) return false;
    doctype.HasPublic = true;
    skipBlanks();
    if (i < text.size() && text[i] == '>') return true;
    if (!quoted(doctype.System)) return false;
    doctype.HasSystem = true;
  } else if (StartsWithFolded(rest, "system")) {
    i += 6;
    if (!quoted(doctype.System)) return false;
    doctype.HasSystem = true;
  } else {
    return false;
  }
  // Anything after the identifiers up to the ">" is let go.
  return text.find('>', i) != std::string_view::npos;
}

}  // namespace

bool InQuirksMode(std::string_view page, bool xml) {
  if (xml) return false;
  size_t i = page.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  // Blanks and comments may come first; an XML declaration is read as a
  // comment too.
  while (true) {
    while (i < page.size() && IsTagBlank(page[i])) ++i;
    const std::string_view rest = page.substr(i);
    size_t end = std::string_view::npos;
    if (rest.starts_with("<!--")) {
      end = page.find("-->", i + 2);  // "<!-->" is a whole comment
      if (end != std::string_view::npos) end += 3;
    } else if (rest.starts_with("<?")) {
      end = page.find('>', i + 2);
      if (end != std::string_view::npos) end += 1;
    } else {
      break;
    }
    if (end == std::string_view::npos) return true;
    i = end;
  }
  if (!StartsWithFolded(page.substr(i), "<!doctype")) return true;
  TDoctype doctype;
  if (!ReadDoctype(page.substr(i + 9), doctype) || doctype.Name != "html") return true;
  const std::string& id = doctype.Public;
  auto startsWith = [&](std::string_view prefix) { return id.starts_with(prefix); };
  if (doctype.HasPublic && (id == "-//w3o//dtd w3 html strict 3.0//en//" ||
                            id == "-/w3c/dtd html 4.0 transitional/en" || id == "html" ||
                            std::any_of(std::begin(kQuirksPublicPrefixes),
                                        std::end(kQuirksPublicPrefixes), startsWith))) {
    return true;
  }
  if (doctype.HasSystem &&
      doctype.System == "http://www.ibm.com/data/dtd/v11/ibmxhtml1-transitional.dtd") {
    return true;
  }
  return doctype.HasPublic && !doctype.HasSystem &&
         std::any_of(std::begin(kQuirksWithoutSystemPrefixes),
                     std::end(kQuirksWithoutSystemPrefixes), startsWith);
}
