#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/LeaveReason.h"

// Decides one IMG tag: true with `replacement` set when the tag is to be
// replaced, false to keep it. `linkTag` is the start tag of the A element
// that holds it, empty outside a link.
using TTagProtector = std::function<bool(const std::string& tagText, const std::string& linkTag,
                                         std::string& replacement)>;

// Hears of an IMG tag that the page keeps without asking the protector.
using TTagSkipped = std::function<void(const std::string& tagText, TLeaveReason reason)>;

// The new text of a page: its bytes with the head snippets inserted, every
// IMG tag that `protect` accepts replaced, and the tail snippet appended.
// Plain text search only; the page's own bytes are never changed elsewhere.
// `atag` says whether images inside links are protected at all. Tags inside
// a PICTURE element are image sets and stay; `skipped`, when given, hears of
// every tag that stays without being put to `protect`. When `replacedTags`
// is given, it receives the 1-based first and last positions of every IMG
// tag that was replaced, in page order.
std::string BuildProtectedPage(std::string_view page, bool atag, const TTagProtector& protect,
                               const TTagSkipped& skipped = nullptr,
                               std::vector<std::pair<int, int>>* replacedTags = nullptr);
