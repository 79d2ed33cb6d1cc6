#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/LeaveReason.h"

// Where an IMG tag stands in the page, as far as its replacement cares.
struct TTagPlace {
  // Inside a TABLE but outside its cells: a table written there would end
  // the table around it (see TPageStructure::InTableRowsAt).
  bool InTableRows = false;
};

// Decides one IMG tag: true with `replacement` set when the tag is to be
// replaced, false to keep it. `linkTag` is the start tag of the A element
// that holds it, empty outside a link.
using TTagProtector = std::function<bool(const std::string& tagText, const std::string& linkTag,
                                         const TTagPlace& place, std::string& replacement)>;

// Hears of an IMG tag that the page keeps without asking the protector.
using TTagSkipped = std::function<void(const std::string& tagText, TLeaveReason reason)>;

// The new text of a page as it is made: spans of the page's own bytes and
// texts added between them, in order, so that a large page is never copied
// into a second buffer of its size. The spans are kept as offsets; Pieces
// resolves them against the page, which must be the bytes it was made from
// (wherever they have moved since).
class TPageText {
 public:
  // Adds the `count` bytes of the page from the 0-based `offset`.
  void AddPage(size_t offset, size_t count);
  void Add(std::string_view text);
  size_t Size() const { return Size_; }
  std::vector<std::string_view> Pieces(std::string_view page) const;
  std::string Joined(std::string_view page) const;

 private:
  struct TSpan {
    bool Added;     // from Added_, else from the page
    size_t Offset;
    size_t Count;
  };
  std::vector<TSpan> Spans_;
  std::string Added_;
  size_t Size_ = 0;
};

// The new text of a page: its bytes with the head snippets inserted, every
// IMG tag that `protect` accepts replaced, and the tail snippet appended.
// Plain text search only; the page's own bytes are never changed elsewhere.
// `atag` says whether images inside links are protected at all. Tags inside
// a PICTURE element are image sets and stay; `skipped`, when given, hears of
// every tag that stays without being put to `protect`. When `replacedTags`
// is given, it receives the 1-based first and last positions of every IMG
// tag that was replaced, in page order.
TPageText BuildProtectedText(std::string_view page, bool atag, const TTagProtector& protect,
                             const TTagSkipped& skipped = nullptr,
                             std::vector<std::pair<int, int>>* replacedTags = nullptr);
// The same, joined into one text.
std::string BuildProtectedPage(std::string_view page, bool atag, const TTagProtector& protect,
                               const TTagSkipped& skipped = nullptr,
                               std::vector<std::pair<int, int>>* replacedTags = nullptr);
