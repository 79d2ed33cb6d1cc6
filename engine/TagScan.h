#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/TagAttributes.h"

// Finding IMG tags as browsers find them: the tag name followed by any
// blank, and the tag's end outside quoted values (ReadTagAttributes reads
// the attributes the same way). Letters a to z are folded; nothing else of
// the page is parsed.

// True for the blanks that separate a tag's name and attributes: space,
// tab, CR, LF and FF.
inline bool IsTagBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// The 1-based position of the first "<IMG" followed by a blank (or a "/"
// that does not end the tag) at or after `from`, or 0.
int FindImageTag(std::string_view page, int from);

// The 1-based position of the ">" that ends the tag starting at `start`:
// the first ">" outside a quoted attribute value. When a quote stays open
// to the end of the page, the first ">" after the tag's name instead, so a
// stray quote never swallows the page. 0 when there is no ">".
int FindTagEnd(std::string_view page, int start);

// The HREF of the page's first BASE tag that has one, as written, with
// `found` set; empty with `found` false when no BASE tag has an HREF.
std::string FirstBaseHref(std::string_view page, bool& found);

// Calls `visit` with the attributes of each tag that `pattern` (upper case,
// "<META") starts, and whose name ends there, where a browser's parser meets
// it: not in a comment, in the text of SCRIPT, STYLE, TITLE and the like, in
// a server's code or in another tag's attribute value (a BASE or META kept
// in a comment is none); until `visit` returns false or a tag has no end.
void ForEachTag(std::string_view page, const char* pattern,
                const std::function<bool(const std::vector<TTagAttribute>&)>& visit);

// True when the page declares a viewport (a META tag named "viewport"):
// a page made for narrow screens, whose pictures its CSS may scale.
bool DeclaresViewport(std::string_view page);

// True when the page's HTML element is in the XHTML namespace: a page that
// browsers read as XML where its name or its server says so (.xhtml), and
// that stops showing at the first "--" written into one of its comments.
bool DeclaresXhtml(std::string_view page);

// Follows the page from its start, in order, in one pass, far enough to say
// what a browser's parser would make of a position: in which paragraph,
// table, comment, code or tag it lies. A P start tag opens a paragraph; its
// end tag, the start of a block that a P cannot hold (DIV, TABLE, UL, H1 and
// the like) and the end tag of any element that is not text-level close it;
// an APPLET or OBJECT keeps what it holds apart. Comments, the text of
// SCRIPT, STYLE, TEXTAREA, TITLE and XMP, and a server's code (from "<?" to
// "?>", from "<%" to "%>") are stepped over, and so is each start tag's text.
class TPageStructure {
 public:
  explicit TPageStructure(std::string_view page) : page_(page) {}
  // True when a P is open just before the 1-based `position`: a TABLE
  // written there would end the paragraph early, so the table of a picture
  // there needs a wrapper. Positions must not decrease from call to call (of
  // any of these methods).
  bool ParagraphOpenAt(int position);
  // True when the 1-based `position` lies in the text of SCRIPT, STYLE,
  // TEXTAREA, TITLE or XMP, or in a server's code: what looks like a tag
  // there is text that is shown as such, or that a script or the server
  // writes out as it sees fit; not an element.
  bool InCodeAt(int position);
  // True when the 1-based `position` lies inside a TABLE but outside its
  // cells and caption (between rows, say): a browser's parser moves an
  // image written there out before the table, and a TABLE written there
  // would end the table around it.
  bool InTableRowsAt(int position);
  // True when the 1-based `position` lies in the quoted value of another
  // tag's attribute (a popover's HTML, an IFRAME's SRCDOC): what looks like
  // a tag there is text of that attribute, and markup written into it would
  // end the value early.
  bool InAttributeAt(int position);
  // True when the 1-based `position` lies in a comment.
  bool InCommentAt(int position);

 private:
  // Follows the page up to the 1-based `position`; its 0-based offset.
  size_t Reach(int position);
  void AdvanceTo(size_t until);
  // Follows the tables that open and close: `key` names a start tag, or an
  // end tag when `endTag`.
  void FollowTables(uint64_t key, bool endTag);

  std::string_view page_;
  size_t at_ = 0;
  bool open_ = false;
  std::vector<bool> outer_;  // whether a P was open outside each APPLET or OBJECT
  size_t codeStart_ = 0, codeEnd_ = 0;  // the last stretch stepped over
  size_t commentStart_ = 0, commentEnd_ = 0;     // the last comment
  bool serverCodeUnclosed_[2] = {false, false};  // no "?>", no "%>" further on
  std::vector<bool> inCell_;  // per open TABLE, innermost last: a cell of it is open
  size_t tagStart_ = 0, tagEnd_ = 0;  // the last start tag holding a "<" in a value
};

// The 1-based position of the "</HEAD>" that ends the page's head: the first
// one outside comments, the text of SCRIPT, STYLE, TITLE and the like, a
// server's code and other tags' attribute values (a template kept in a
// comment at the top of the page has one); 0 when there is none.
int FindHeadEnd(std::string_view page);
