#pragma once

#include <string>
#include <string_view>
#include <unordered_set>

// What the page's own scripts say of its pictures by name: rollover buttons
// and slide shows find an IMG by its NAME or ID and give it another SRC
// ("swapImage('home','','home-on.gif')" in a button's ONCLICK,
// "document.images.slide.src = next" in a SCRIPT). A table of pieces, or a
// layered picture whose source is gone, would leave them nothing to swap,
// and the page would lose its pictures' other states or show a broken one.
//
// The page is read once, and only when a tag with a NAME or ID asks: the
// values of its event handlers and "javascript:" links, and the text of
// its SCRIPT elements; script files are not read. A name counts where it
// stands as a string of its own ('home', "#home") or a property
// (document.home) - in a SCRIPT, only in a statement that also speaks of a
// "src" - not as part of a file name (home.gif) or a variable.
class TScriptNames {
 public:
  // `page` must stay as it is until the first call of Swaps.
  explicit TScriptNames(std::string_view page) : Page_(page) {}

  // True when the scripts name `name` so; letter case counts.
  bool Swaps(const std::string& name);

 private:
  void Read();
  // Notes the names `text` holds; with `needSrc`, only those in a
  // statement that names a src.
  void Collect(std::string_view text, bool needSrc);

  std::string_view Page_;
  bool Read_ = false;
  std::unordered_set<std::string> Names_;
};
