#pragma once

#include <string>

// The three fixed texts every protected page receives: the two head snippets
// go directly before the page's "</HEAD>", the tail snippet after its last
// byte. They keep the protected pieces from being dragged, selected or saved
// through the context menu, change nothing of the layout and are valid in
// every document mode. Kept scrambled in the program.
std::string HeadSnippet1();
std::string HeadSnippet2();
std::string TailSnippet();
