#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

// The three fixed texts every protected page receives: the two head snippets
// go directly before the page's "</HEAD>", the tail snippet after its last
// byte. They keep the protected pieces from being dragged, selected or saved
// through the context menu, change nothing of the layout and are valid in
// every document mode. Kept scrambled in the program.
const std::string& HeadSnippet1();
const std::string& HeadSnippet2();
const std::string& TailSnippet();

// Where a run, of this version or an earlier one, put the two head snippets
// into `page`: the 0-based [begin, end) of the style and the script that
// follows it, or {npos, npos}. Earlier versions wrote other rules and another
// script, always opening them the same way.
std::pair<size_t, size_t> FindHeadSnippets(std::string_view page);
