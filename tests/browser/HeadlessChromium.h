#pragma once

#include <string>

// Debian's Chromium run headless to take screenshots of local pages, one
// browser process per screenshot, each with a fresh profile, so no state
// (cache, cookies, decoded images) carries from one page to the next.
class HeadlessChromium {
 public:
  // The browser at $VLM_CHROMIUM, else /usr/bin/chromium.
  HeadlessChromium();

  const std::string& binary() const { return binary_; }
  bool Installed() const;

  // Renders the page file at `pagePath` in a window of width x height CSS
  // pixels at device scale 1 and writes the screenshot to `pngPath`. Each
  // call gets a fresh profile in `scratchDir`. Returns an empty string on
  // success, otherwise what went wrong with the browser's last words.
  std::string Screenshot(const std::string& pagePath, int width, int height,
                         const std::string& pngPath, const std::string& scratchDir) const;

 private:
  std::string binary_;
};
