#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// How the user's web browser is started to show one address.
struct BrowserLaunch {
  QString program;  // a path that exists and may be executed
  QStringList arguments;
};

// The start of the user's web browser for `url`, or nothing when no browser
// is found. Looks, in this order, at
//  - the commands of the variable BROWSER, separated by ":", the first whose
//    program exists; "%s" in a command stands for the address, otherwise the
//    address is appended;
//  - the desktop's handler of web links (xdg-mime, the Exec line of its
//    desktop entry);
//  - the programs x-www-browser, firefox, chromium and google-chrome on PATH.
// A browser known to take "--new-window" gets it before the address, so that
// each page opens in a window of its own also when the browser is running.
std::optional<BrowserLaunch> FindWebBrowser(const QString& url);

// The arguments of a desktop entry's Exec value, with its field codes
// expanded: %u %U %f %F become `url` (appended when the value has none), %c
// the entry's `name`, %% a "%"; the other codes are dropped. Double quotes
// group an argument, within them a backslash escapes the next character.
QStringList ExpandDesktopExec(const QString& exec, const QString& url, const QString& name);
