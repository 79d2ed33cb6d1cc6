#pragma once

#include <string>

// A screenshot by headless Firefox at a scale other than 1, which its
// --screenshot option cannot take: the browser is driven over WebDriver
// BiDi, the protocol of its remote agent, on a port of its own choosing.
// Renders `url` in a viewport of width x height CSS pixels at `scale`
// device pixels to a CSS pixel into `pngPath`, with the profile folder
// `profile`. Returns an empty string on success, otherwise what went wrong.
std::string FirefoxScaledScreenshot(const std::string& binary, const std::string& profile,
                                    const std::string& url, int width, int height, int scale,
                                    const std::string& pngPath);
