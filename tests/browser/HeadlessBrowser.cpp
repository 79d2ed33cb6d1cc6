#include "HeadlessBrowser.h"

#include <stdlib.h>
#include <unistd.h>

#include <QUrl>
#include <atomic>
#include <filesystem>

#include "FirefoxRemote.h"
#include "testsupport/ChildProcess.h"

namespace {

// Generous: a sheet of pages takes a few seconds, far longer on a loaded
// machine.
constexpr std::chrono::seconds kScreenshotTimeout(180);

}  // namespace

HeadlessBrowser::HeadlessBrowser(Kind kind) : kind_(kind) {
  const char* chosen = ::getenv(kind == Kind::Chromium ? "VLM_CHROMIUM" : "VLM_FIREFOX");
  binary_ = chosen && *chosen
                ? chosen
                : (kind == Kind::Chromium ? "/usr/bin/chromium" : "/usr/bin/firefox-esr");
}

bool HeadlessBrowser::Installed() const { return ::access(binary_.c_str(), X_OK) == 0; }

std::string HeadlessBrowser::Screenshot(const std::string& pagePath, int width, int height,
                                        const std::string& pngPath, const std::string& scratchDir,
                                        int scale) const {
  static std::atomic<int> serial{0};
  const std::string profile = scratchDir + "/profile-" + std::to_string(++serial);
  std::filesystem::create_directories(profile);
  const std::string url = QUrl::fromLocalFile(QString::fromStdString(pagePath))
                              .toString(QUrl::FullyEncoded)
                              .toStdString();
  if (scale != 1 && kind_ == Kind::Firefox) {
    std::filesystem::remove(pngPath);
    const std::string error =
        FirefoxScaledScreenshot(binary_, profile, url, width, height, scale, pngPath);
    std::error_code ignored;
    std::filesystem::remove_all(profile, ignored);
    return error;
  }
  // Everything that could make two renders of one page differ is off: GPU
  // raster, network services, scrollbars, a scale other than the one asked.
  std::vector<std::string> argv = {
      binary_,
      "--headless",
      "--no-sandbox",
      "--disable-gpu",
      "--disable-quic",
      "--no-first-run",
      "--disable-background-networking",
      "--disable-component-update",
      "--disable-sync",
      "--user-data-dir=" + profile,
      "--hide-scrollbars",
      "--force-device-scale-factor=" + std::to_string(scale),
      "--window-size=" + std::to_string(width) + "," + std::to_string(height),
      "--screenshot=" + pngPath,
      url,
  };
  if (kind_ == Kind::Firefox) {
    argv = {binary_,
            "--headless",
            "--no-remote",
            "--profile",
            profile,
            "--window-size",
            std::to_string(width) + "," + std::to_string(height),
            "--screenshot",
            pngPath,
            url};
  }
  std::filesystem::remove(pngPath);
  testsupport::ProgramResult run = testsupport::RunProgram(argv, {}, kScreenshotTimeout);
  std::error_code ignored;
  std::filesystem::remove_all(profile, ignored);
  if (!run.Started) return "cannot start " + binary_;
  if (run.TimedOut) return "no screenshot of " + url + " within the time limit:\n" + run.Tail();
  if (run.Status != 0 || !std::filesystem::exists(pngPath)) {
    return "no screenshot of " + url + " (exit status " + std::to_string(run.Status) + "):\n" +
           run.Tail();
  }
  return {};
}
