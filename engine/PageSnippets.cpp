#include "engine/PageSnippets.h"

#include "storage/GlobalLib.h"

namespace {

// The table of pieces behaves like the image it replaces: these rules sit in
// a cascade layer, below every rule of the page, so the page's own rules
// about the picture's class, id or style still win, as they did over an
// image's defaults. In quirks mode a table does not inherit the text colour;
// the picture's border takes it as an image's does. The table's width comes
// from its own --vlm-w (tables written before it existed keep their WIDTH
// attribute); a width with a percentage in it (--vlm-f) leaves the table's
// share of its container's smallest width to the pieces, which give way as
// a picture scaled by a percentage does.
constexpr ScrambledText kHeadSnippet1(
    "<style>@layer vlm{table[data-vlm]{display:inline-block;"
    "vertical-align:var(--vlm-va,baseline);box-sizing:content-box;color:inherit;"
    "border:var(--vlm-b,0px) solid;margin:var(--vlm-v,0px) var(--vlm-r,var(--vlm-h,0px)) "
    "var(--vlm-v,0px) var(--vlm-l,var(--vlm-h,0px));padding:0;"
    "border-collapse:collapse;border-spacing:0;text-indent:0}"
    "table[data-vlm][style*=\"--vlm-w\"]{width:calc(var(--vlm-w) + var(--vlm-f,0px));"
    "min-width:var(--vlm-m,0px)}}"
    "img{-webkit-user-drag:none;-webkit-user-select:none;user-select:none}</style>");

// Written without "&" and "<", so that it stays well-formed XML.
constexpr ScrambledText kHeadSnippet2(
    "<script>(function(d){function f(e){var t=e.target;if(t){if(t.localName==\"img\"){"
    "e.preventDefault();return false}}}d.addEventListener(\"contextmenu\",f,true);"
    "d.addEventListener(\"dragstart\",f,true);d.addEventListener(\"selectstart\",f,true)})"
    "(document)</script>");

constexpr ScrambledText kTailSnippet("<!-- images protected by Velmora -->");

}  // namespace

std::string HeadSnippet1() { return Descrambled(kHeadSnippet1); }
std::string HeadSnippet2() { return Descrambled(kHeadSnippet2); }
std::string TailSnippet() { return Descrambled(kTailSnippet); }
