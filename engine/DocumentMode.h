#pragma once

#include <string_view>

// Whether browsers lay the page out in quirks mode, the mode of pages made
// before the standards, where a few of an image's defaults differ (a picture
// floated by ALIGN gets room beside it). An HTML page is in it when it does
// not open with a document type declaration (after a byte order mark,
// blanks and comments), when the declaration names no "html" or is cut
// short, or when its public identifier is one of an old HTML version's (or
// HTML 4.01 Transitional or Frameset without a system identifier). A page
// that browsers read as XML (`xml`: a .xhtml file) never is.
bool InQuirksMode(std::string_view page, bool xml);
