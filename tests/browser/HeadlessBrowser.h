#pragma once

#include <string>

// A real browser run headless to take screenshots of local pages: Debian's
// Chromium or Firefox ESR. Each screenshot starts the browser afresh with a
// fresh profile, so no state (cache, cookies, decoded images) carries from
// one screenshot to the next; a sheet of frames renders many pages at once.
class HeadlessBrowser {
 public:
  enum class Kind { Chromium, Firefox };

  // The browser at $VLM_CHROMIUM or $VLM_FIREFOX, else /usr/bin/chromium or
  // /usr/bin/firefox-esr.
  explicit HeadlessBrowser(Kind kind);

  Kind kind() const { return kind_; }
  const char* name() const { return kind_ == Kind::Chromium ? "chromium" : "firefox"; }
  const std::string& binary() const { return binary_; }
  bool Installed() const;

  // Renders the page file at `pagePath` in a window of width x height CSS
  // pixels at `scale` device pixels to a CSS pixel and writes the
  // screenshot to `pngPath` (an absolute path). Each call gets a fresh
  // profile in `scratchDir`. Returns an empty string on success, otherwise
  // what went wrong with the browser's last words.
  std::string Screenshot(const std::string& pagePath, int width, int height,
                         const std::string& pngPath, const std::string& scratchDir,
                         int scale = 1) const;

 private:
  Kind kind_;
  std::string binary_;
};
