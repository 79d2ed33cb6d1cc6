#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "storage/vlmOption.h"

// A command line that cannot be followed; the message says why.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class CliCommand { Protect, Restore, Backups, Help, Version };

// Overrides of the options for one protect run; never saved.
struct TOptionOverrides {
  std::optional<std::pair<int32_t, int32_t>> Grid;    // columns, rows
  std::optional<std::pair<int32_t, int32_t>> Pieces;  // width, height
  std::optional<std::pair<int32_t, int32_t>> Min;     // width, height
  std::optional<bool> Links, Sizes, Subdirs;
  std::optional<std::vector<std::string>> Types;      // of gif, jpg, bmp, png, webp
  std::optional<TMarkup> Markup;
  std::optional<std::string> SiteRoot;               // absolute, no trailing "/"

  void ApplyTo(TOptions& options) const;
};

struct TCliArguments {
  CliCommand Command = CliCommand::Help;
  TOptionOverrides Overrides;
  bool DryRun = false;
  bool Json = false;               // --format json: the dry run as JSON Lines
  std::optional<int> Jobs;         // protect: workers that encode pictures
  std::vector<std::string> Paths;  // protect: pages and folders
  std::optional<int> Set;          // restore: the set number
  bool Force = false;              // restore: even out of order, or again
};

// Reads the arguments after the program name. Raises UsageError.
TCliArguments ParseCliArguments(const std::vector<std::string>& args);

extern const char* const kCliUsage;
