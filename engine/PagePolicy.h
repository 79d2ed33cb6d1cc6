#pragma once

#include <string_view>

// What the content security policy that a page declares in a META tag lets
// the markup of a protected picture use. A page that forbids inline styles
// would drop the table's and the layered picture's styles (a table of loose
// pieces, or an empty box in the picture's place); one that allows pictures
// only from its own site would refuse the layered picture's placeholder.
struct TPagePolicy {
  bool InlineStyles = true;  // STYLE elements and STYLE attributes
  bool DataImages = true;    // pictures from "data:" addresses
};

// The policy of every Content-Security-Policy META in the head of `page`
// together (a browser enforces each); everything allowed when there is none.
TPagePolicy PagePolicyOf(std::string_view page);
