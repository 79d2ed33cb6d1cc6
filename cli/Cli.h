#pragma once

#include <string>
#include <vector>

// Runs vlm-cli with the arguments after the program name; returns the exit
// status: 0 when everything worked, 1 when a page, an image or a file
// reported an error, 2 for wrong usage, bad option values or unreadable
// options.
int RunCli(const std::vector<std::string>& args);
