#pragma once

#include <string>
#include <string_view>
#include <vector>

// One attribute of a start tag as written: its name (letter case kept), and
// its value without the quotes, or no value at all ("ismap").
struct TTagAttribute {
  std::string Name;
  std::string Value;
  bool HasValue = false;
};

// The attributes of the start tag `tag` ("<img ...>"), read as a browser reads
// them: names end at a blank, "=", "/" or ">"; blanks may stand around "=";
// a quoted value runs to its closing quote, ">" included; an unquoted value
// ends at a blank or ">". A later attribute of a name already read is
// dropped, as browsers drop it.
std::vector<TTagAttribute> ReadTagAttributes(std::string_view tag);

// True when `a` is named `name`, compared without letter case.
bool HasName(const TTagAttribute& a, std::string_view name);

// The first attribute named `name` (compared without letter case), or null.
const TTagAttribute* FindAttribute(const std::vector<TTagAttribute>& attributes,
                                   std::string_view name);

// Appends ` name="value"` in a form that is well-formed in XML as in HTML:
// a double quote becomes &quot; and "<" becomes &lt;; "&" stays, so the
// references the page wrote keep their meaning.
void AppendAttribute(std::string& out, std::string_view name, std::string_view value);
