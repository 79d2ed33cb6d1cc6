#include "engine/PageSnippets.h"

#include "storage/GlobalLib.h"

namespace {

constexpr ScrambledText kHeadSnippet1(
    "<style>img{-webkit-user-drag:none;-webkit-user-select:none;user-select:none}</style>");

constexpr ScrambledText kHeadSnippet2(
    "<script>(function(d){function f(e){var t=e.target;if(t&&t.tagName==\"IMG\"){"
    "e.preventDefault();return false}}d.addEventListener(\"contextmenu\",f,true);"
    "d.addEventListener(\"dragstart\",f,true);d.addEventListener(\"selectstart\",f,true)})"
    "(document)</script>");

constexpr ScrambledText kTailSnippet("<!-- images protected by Velmora -->");

}  // namespace

std::string HeadSnippet1() { return Descrambled(kHeadSnippet1); }
std::string HeadSnippet2() { return Descrambled(kHeadSnippet2); }
std::string TailSnippet() { return Descrambled(kTailSnippet); }
