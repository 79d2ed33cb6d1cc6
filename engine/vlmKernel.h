#pragma once

#include <cstdint>
#include <memory>
#include <string>

class TProtectionRun;

// The protection engine's outside interface, a thin façade over one
// TProtectionRun made from the process's options, its program folder and
// ShowError. A run is BeginProtection, then ProtectPage for every listed
// page that exists, in list order, then EndProtection exactly once, also
// after a cancel or an error. One run at a time per process; all calls on one
// thread. Programs that drive whole lists use RunPageLoop instead.

// A run made from the globals: Options, GetProgramDir() + "/Backup/", and
// ShowError for file errors. Raises Exception (nothing changed) when the run
// cannot start.
std::unique_ptr<TProtectionRun> MakeProtectionRun();

// Starts a run: checks the slicing options, opens the run's backup set beside
// the program and makes the piece-name generator and the saved-image
// registry. Raises Exception (nothing changed) when the run cannot start.
void BeginProtection();

// Protects one page in place; the page is written with the run's group of
// pages, at the latest by EndProtection. Sets `finalSize` to the length of the page's new
// text whenever the page could be read. File errors (codes 101 to 104) are
// shown through ShowError and the call returns normally. A WIDTH or HEIGHT
// that is no whole number leaves the page unchanged and raises EConvertError
// naming the page; the run stays usable. Any other error leaves as an
// exception, the page unwritten; the run then keeps every source.
void ProtectPage(const std::string& pagePath, int32_t& finalSize);

// Ends the run: writes the pages still in its group, completes the backup
// set, then deletes the source images that
// were sliced and that nothing of the run still refers to. Safe to call when
// BeginProtection failed.
void EndProtection();

// The text of an error met on one page: the page's path, then the error.
std::string PageErrorText(const std::string& pagePath, const std::string& error);
