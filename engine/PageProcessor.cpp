#include "engine/PageProcessor.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "engine/PageSnippets.h"
#include "engine/TagScan.h"
#include "storage/GlobalLib.h"

namespace {

struct TLinkElement {
  int Start;  // position of "<A "
  int Close;  // its start tag's ">"
  int End;    // its "</A>"
};

// The A elements of the page in order. An element whose start tag has no
// ">" or that has no "</A>" is no link; since no later one can have them
// either, the scan ends there.
std::vector<TLinkElement> FindLinks(std::string_view page) {
  std::vector<TLinkElement> links;
  int s = PosTextFrom(page, "<A ", 1);
  while (s > 0) {
    int g = PosCharFrom(page, '>', s + 3);
    if (g == 0) break;
    int e = PosTextFrom(page, "</A>", g + 1);
    if (e == 0) break;
    links.push_back({s, g, e});
    s = PosTextFrom(page, "<A ", e + 4);
  }
  return links;
}

// The PICTURE elements of the page as [start, end] positions of "<PICTURE"
// and "</PICTURE>"; an element without its end runs to the end of the page.
std::vector<std::pair<int, int>> FindPictures(std::string_view page) {
  std::vector<std::pair<int, int>> pictures;
  int s = PosTextFrom(page, "<PICTURE", 1);
  while (s > 0) {
    int e = PosTextFrom(page, "</PICTURE", s + 8);
    if (e == 0) e = static_cast<int>(page.size());
    pictures.emplace_back(s, e);
    s = PosTextFrom(page, "<PICTURE", e + 1);
  }
  return pictures;
}

bool HasEventHandler(std::string_view startTag) {
  static const char* const kEvents[] = {"ONCLICK=",     "ONDBLCLICK=", "ONMOUSEUP=",
                                        "ONMOUSEOVER=", "ONMOUSEOUT=", "ONMOUSEMOVE=",
                                        "ONMOUSEDOWN="};
  return std::any_of(std::begin(kEvents), std::end(kEvents),
                     [&](const char* e) { return PosTextFrom(startTag, e, 4) > 0; });
}

// Where the head snippets go in a page without "</HEAD>": after a leading
// document type declaration, which must stay first for the page to keep its
// document mode; otherwise at the very start, after a byte order mark. A
// page that opens with a server-side block ("<?", "<%") gets them at its end
// instead: a script that sends headers must not have any text before it.
// Returns the 1-based position the snippets are inserted before.
int SnippetPositionWithoutHead(std::string_view page) {
  // A byte order mark stays first: it tells the browser the encoding.
  const int start = page.starts_with("\xEF\xBB\xBF") ? 4 : 1;
  size_t i = static_cast<size_t>(start) - 1;
  while (i < page.size() && (page[i] == ' ' || page[i] == '\t' || page[i] == '\r' || page[i] == '\n')) ++i;
  const std::string_view opening = page.substr(i, 2);
  if (opening == "<?" || opening == "<%") return static_cast<int>(page.size()) + 1;
  int doctype = PosTextFrom(page, "<!DOCTYPE", static_cast<int>(i) + 1);
  if (doctype != static_cast<int>(i) + 1) return start;
  int close = PosCharFrom(page, '>', doctype);
  return close == 0 ? start : close + 1;
}

}  // namespace

void TPageText::AddPage(size_t offset, size_t count) {
  if (count == 0) return;
  Size_ += count;
  if (!Spans_.empty() && !Spans_.back().Added &&
      Spans_.back().Offset + Spans_.back().Count == offset) {
    Spans_.back().Count += count;
    return;
  }
  Spans_.push_back({false, offset, count});
}

void TPageText::Add(std::string_view text) {
  if (text.empty()) return;
  Size_ += text.size();
  if (!Spans_.empty() && Spans_.back().Added) {
    Spans_.back().Count += text.size();
  } else {
    Spans_.push_back({true, Added_.size(), text.size()});
  }
  Added_ += text;
}

std::vector<std::string_view> TPageText::Pieces(std::string_view page) const {
  std::vector<std::string_view> pieces;
  pieces.reserve(Spans_.size());
  const std::string_view added = Added_;
  for (const TSpan& s : Spans_)
    pieces.push_back((s.Added ? added : page).substr(s.Offset, s.Count));
  return pieces;
}

std::string TPageText::Joined(std::string_view page) const {
  std::string text;
  text.reserve(Size_);
  for (std::string_view piece : Pieces(page)) text += piece;
  return text;
}

std::string BuildProtectedPage(std::string_view page, bool atag, const TTagProtector& protect,
                               const TTagSkipped& skipped,
                               std::vector<std::pair<int, int>>* replacedTags) {
  return BuildProtectedText(page, atag, protect, skipped, replacedTags).Joined(page);
}

TPageText BuildProtectedText(std::string_view page, bool atag, const TTagProtector& protect,
                               const TTagSkipped& skipped,
                               std::vector<std::pair<int, int>>* replacedTags) {
  const std::vector<TLinkElement> links = FindLinks(page);
  const std::vector<std::pair<int, int>> pictures = FindPictures(page);
  size_t picture = 0;
  auto skip = [&](const std::string& tagText, TLeaveReason reason) {
    if (skipped) skipped(tagText, reason);
  };
  TPageText out;
  int copy = 1;
  // Emits the page text from the copy position to `last` (inclusive) and
  // moves the copy position past it; never moves it back.
  auto emitTo = [&](int last) {
    if (last >= copy) {
      out.AddPage(static_cast<size_t>(copy - 1), static_cast<size_t>(last - copy + 1));
      copy = last + 1;
    }
  };

  // A page that an earlier run protected has its snippets already; they are
  // not added twice. Those of an earlier version give way to this one's,
  // which the tables of this run may need, where they come before every
  // IMG tag (the text is made in order).
  // Runs put them before the "</HEAD>" that ends the head: only a page
  // without one is looked through whole.
  static const std::string snippets = HeadSnippet1() + HeadSnippet2();
  const int head = FindHeadEnd(page);
  const auto [earlier, earlierEnd] =
      FindHeadSnippets(head > 0 ? page.substr(0, static_cast<size_t>(head - 1)) : page);
  bool snippetsAtEnd = false;
  if (earlier != std::string_view::npos) {
    const int firstTag = FindImageTag(page, 1);
    if (firstTag > static_cast<int>(earlierEnd) &&
        std::string_view(page).substr(earlier, earlierEnd - earlier) != snippets) {
      emitTo(static_cast<int>(earlier));
      out.Add(snippets);
      copy = static_cast<int>(earlierEnd) + 1;
    }
  } else {
    const int snippetsAt = head > 0 ? head : SnippetPositionWithoutHead(page);
    snippetsAtEnd = snippetsAt > static_cast<int>(page.size());
    if (!snippetsAtEnd) {
      emitTo(snippetsAt - 1);
      out.Add(snippets);
    }
  }

  // A table where a P is open would end the paragraph there, and the rest
  // of its text would lose the paragraph's style. The parser does not look
  // past an APPLET for a P, and browsers give that element no behaviour of
  // its own any more: it shows what it holds, inline; the head snippet
  // gives ours no box at all, so that in a flex or grid container the table
  // is the item, as the picture was. (An OBJECT without data does the same
  // in the end, but Chromium may first lay it out as an empty 300 x 150
  // box.)
  TPageStructure structure(page);
  const bool xhtml = DeclaresXhtml(page);
  auto placeOf = [&](int at) {
    TTagPlace place;
    place.InTableRows = structure.InTableRowsAt(at);
    return place;
  };
  auto emitReplacement = [&](int at, const std::string& text) {
    // The table may stand inside the link it carries.
    const bool wrap = text.find("<table") != std::string::npos && structure.ParagraphOpenAt(at);
    if (wrap) out.Add("<applet data-vlm=\"\">");
    out.Add(text);
    if (wrap) out.Add("</applet>");
  };

  size_t cursor = 0;
  std::string tag, linkTag, replacement;
  int a = FindImageTag(page, 1);
  while (a > 0) {
    int d = FindTagEnd(page, a);
    if (d == 0) break;  // no tag after this one can end either
    while (picture < pictures.size() && pictures[picture].second < a) ++picture;
    const bool inPicture = picture < pictures.size() && pictures[picture].first < a;
    CopyInto(page, a, d - a + 1, tag);
    // Tags that stay as they are before any link or protector is asked.
    TLeaveReason stays = TLeaveReason::None;
    if (structure.InCodeAt(a)) {
      // Text that a script or the server writes out as it sees fit: a
      // table's markup there would break the code, or show nowhere.
      stays = TLeaveReason::InsideCode;
    } else if (structure.InAttributeAt(a)) {
      // Text of another tag's attribute, shown by a script (a popover) or
      // in a frame of its own: markup there would end the value early.
      stays = TLeaveReason::InsideAttribute;
    } else if (xhtml && structure.InCommentAt(a)) {
      // A commented-out picture, which shows nowhere; XML ends a comment at
      // the first "--", and a table carries its size in CSS properties
      // named so.
      stays = TLeaveReason::InsideXhtmlComment;
    } else if (a < copy) {
      // Inside a link whose first image was already decided.
      stays = TLeaveReason::SecondImageInLink;
    } else if (inPicture) {
      stays = TLeaveReason::ImageSet;
    }
    bool inside = false;
    while (stays == TLeaveReason::None && cursor < links.size() && links[cursor].Start < a) {
      const TLinkElement& l = links[cursor];
      if (l.End < d || a <= l.Close) {
        ++cursor;
        continue;
      }
      inside = true;
      break;
    }
    if (stays != TLeaveReason::None) {
      skip(tag, stays);
    } else if (!inside) {
      if (protect(tag, std::string(), placeOf(a), replacement)) {
        if (replacedTags) replacedTags->emplace_back(a, d);
        emitTo(a - 1);
        emitReplacement(a, replacement);
      } else {
        emitTo(d);
      }
      copy = std::max(copy, d + 1);
    } else {
      const TLinkElement& l = links[cursor];
      CopyInto(page, l.Start, l.Close - l.Start + 1, linkTag);
      if (!atag || HasEventHandler(linkTag)) {
        skip(tag, atag ? TLeaveReason::LinkWithEventHandler : TLeaveReason::LinksOff);
      } else if (a != l.Close + 1 || l.End - d > 1) {
        // A link that holds anything besides the picture (a caption, a
        // card's heading and text, a figure) stays one link: cut in three
        // around the table, a link the page styles (a button with an icon
        // and a label, a logo beside the site's name) would become three
        // boxes, and a card's markup would be torn apart. The picture's
        // replacement stands in its place inside the whole link.
        if (protect(tag, std::string(), placeOf(a), replacement)) {
          if (replacedTags) replacedTags->emplace_back(a, d);
          emitTo(a - 1);
          emitReplacement(a, replacement);
          copy = d + 1;
        }
        emitTo(l.End + 3);
        copy = std::max(copy, l.End + 4);
      } else {
        // The picture is all the link holds: each piece carries the link.
        if (protect(tag, linkTag, placeOf(a), replacement)) {
          if (replacedTags) replacedTags->emplace_back(a, d);
          emitTo(l.Start - 1);
          emitReplacement(a, replacement);
        } else {
          emitTo(l.End + 3);
        }
        copy = std::max(copy, l.End + 4);
      }
    }
    a = FindImageTag(page, d + 1);
  }
  emitTo(static_cast<int>(page.size()));
  if (snippetsAtEnd) out.Add(snippets);
  const std::string tail = TailSnippet();
  if (!page.ends_with(tail)) out.Add(tail);
  return out;
}
