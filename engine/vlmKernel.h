#pragma once

#include <cstdint>
#include <string>

// The protection engine's outside interface. A run is BeginProtection, then
// ProtectPage for every listed page that exists, in list order, then
// EndProtection exactly once, also after a cancel or an error. One run at a
// time per process; all calls on one thread.

// Starts a run: checks the slicing options, opens the run's backup set beside
// the program and makes the piece-name generator and the saved-image
// registry. Raises Exception (nothing changed) when the run cannot start.
void BeginProtection();

// Protects one page in place. Sets `finalSize` to the length of the page's new
// text whenever the page could be read. File errors (codes 101 to 104) are
// shown through ShowError and the call returns normally; any other error
// (such as "'%s' is not a valid integer value") leaves as an exception and
// ends the run, the page unwritten.
void ProtectPage(const std::string& pagePath, int32_t& finalSize);

// Ends the run: completes the backup set, then deletes the source images that
// were sliced, keeping any whose backup is incomplete or whose page was left
// unwritten. Safe to call when BeginProtection failed.
void EndProtection();
