#include "cli/Cli.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <map>
#include <set>

#include "cli/CliArguments.h"
#include "cli/PageScan.h"
#include "engine/Grid.h"
#include "engine/RunRestore.h"
#include "engine/PageLoop.h"
#include "engine/ProtectionRun.h"
#include "engine/WorkerPool.h"
#include "engine/vlmKernel.h"
#include "platform/File.h"
#include "storage/BackupSet.h"
#include "storage/FolderScan.h"
#include "storage/GlobalLib.h"
#include "storage/ProgramFolders.h"
#include "storage/RestoreJournal.h"
#include "storage/SetChoice.h"
#include "storage/vlmOption.h"

namespace {

std::string BackupFolder() { return GetBackupDir(); }

// A progress bar on standard error, drawn only on a terminal.
class ProgressBar {
 public:
  explicit ProgressBar(size_t total) : total_(total), shown_(::isatty(2) == 1) {}
  void Show(size_t done) {
    if (!shown_ || total_ == 0) return;
    const int width = 30;
    int filled = static_cast<int>(width * done / total_);
    std::fprintf(stderr, "\r[%s%s] %zu/%zu pages", std::string(filled, '#').c_str(),
                 std::string(width - filled, '.').c_str(), done, total_);
    std::fflush(stderr);
  }
  // Clears the bar so that a line can be printed.
  void Clear() {
    if (shown_) std::fprintf(stderr, "\r\033[K");
  }

 private:
  size_t total_;
  bool shown_;
};

int64_t SizeOf(const std::string& path) {
  platform::File file;
  return file.Open(path, platform::Access::Read, platform::Sharing::Shared) ? file.Size() : -1;
}

// A JSON string of `text`: quotes, backslashes and control bytes escaped,
// other bytes as they are.
std::string Json(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

// What a run would do to `pages`: a judging-only run goes through them as
// a run does, and every tag's verdict is listed, as text or as JSON lines.
class DryRunReport {
 public:
  explicit DryRunReport(bool json) : json_(json) {}

  void FileError(int number, const std::string& message) {
    errors_.push_back({"Error #" + std::to_string(number) + ": " + message, message});
  }

  // The page's verdicts and errors; `error` is a page-ending error's text,
  // `ended` says whether it ended the run too.
  void Page(const std::string& page, const std::vector<TTagVerdict>& verdicts,
            const std::string& error, bool ended) {
    if (!json_) std::cout << page << "\n";
    for (const TTagVerdict& tag : verdicts) Tag(page, tag);
    if (!error.empty()) {
      errors_.push_back(
          {"Error: " + (ended ? error + " (the run would end here)" : PageErrorText(page, error)),
           error});
    }
    for (const auto& [line, text] : errors_) {
      if (json_) std::cout << "{\"page\":" << Json(page) << ",\"error\":" << Json(text) << "}\n";
      std::cerr << line << "\n";
    }
    failed_ += static_cast<int>(errors_.size());
    errors_.clear();
  }

  void Summary(size_t pages, size_t images) {
    if (json_) {
      std::cout << "{\"summary\":{\"pages\":" << pages << ",\"tags\":" << tags_
                << ",\"images\":" << images;
      for (const char* action : {"slice", "reuse", "leave"}) {
        std::cout << ",\"" << action << "\":" << byAction_[action];
      }
      std::cout << ",\"reasons\":{";
      const char* comma = "";
      for (const auto& [reason, count] : byReason_) {
        std::cout << comma << Json(reason) << ":" << count;
        comma = ",";
      }
      std::cout << "}}}\n";
      return;
    }
    std::cout << pages << " page(s), " << tags_ << " image tag(s): " << byAction_["slice"]
              << " slice, " << byAction_["reuse"] << " reuse, " << byAction_["leave"]
              << " left alone; " << images << " image(s) would be sliced; nothing was changed\n";
    for (const auto& [reason, count] : byReason_) {
      std::cout << "  left alone, " << reason << ": " << count << "\n";
    }
  }

  bool Failed() const { return failed_ > 0; }

 private:
  void Tag(const std::string& page, const TTagVerdict& tag) {
    ++tags_;
    const char* action = TagActionName(tag.What);
    ++byAction_[action];
    const bool left = tag.What == TTagVerdict::Action::Leave;
    if (left) ++byReason_[LeaveReasonName(tag.Reason)];
    if (json_) {
      std::cout << "{\"page\":" << Json(page) << ",\"src\":" << Json(tag.Src)
                << ",\"action\":\"" << action << "\"";
      if (!tag.ImagePath.empty()) std::cout << ",\"file\":" << Json(tag.ImagePath);
      if (left) {
        std::cout << ",\"reason\":" << Json(LeaveReasonName(tag.Reason));
        if (!tag.Detail.empty()) std::cout << ",\"detail\":" << Json(tag.Detail);
      }
      std::cout << "}\n";
      return;
    }
    std::cout << "  " << action << " " << (tag.ImagePath.empty() ? tag.Src : tag.ImagePath);
    if (left) {
      std::cout << ": " << LeaveReasonName(tag.Reason);
      if (!tag.Detail.empty()) std::cout << " (" << tag.Detail << ")";
    }
    std::cout << "\n";
  }

  const bool json_;
  std::map<std::string, int> byReason_;
  std::map<std::string, int> byAction_;
  int tags_ = 0;
  int failed_ = 0;
  // The page's errors: the line for standard error, the text for JSON.
  std::vector<std::pair<std::string, std::string>> errors_;
};

int DryRun(const std::vector<std::string>& pages, bool json) {
  DryRunReport report(json);
  TProtectionRun run(
      Options, std::string(),
      [&](int number, const std::string& message) { report.FileError(number, message); },
      TRunMode::JudgeOnly);
  std::string current;
  TPageLoopEvents events;
  events.PageStarting = [&](size_t, const std::string& page) { current = page; };
  events.PageDone = [&](size_t, const std::string& page, const TPageOutcome& outcome) {
    report.Page(page, run.PageVerdicts(), outcome.Error, false);
  };
  const TPageLoopResult result = RunPageLoop(run, pages, events);
  if (result.Failure) {
    try {
      std::rethrow_exception(result.Failure);
    } catch (const std::exception& e) {
      report.Page(current, run.PageVerdicts(), e.what(), true);
    } catch (...) {
      report.Page(current, run.PageVerdicts(), "the run ended", true);
    }
  }
  report.Summary(pages.size(), run.Cuts().Images());
  return report.Failed() ? 1 : 0;
}

int Protect(const TCliArguments& args) {
  for (const auto& path : args.Paths) {
    std::string full = AbsolutePath(path);
    if (!IsRegularFile(full) && !platform::DirectoryExists(full)) {
      std::cerr << "vlm-cli: no such page or folder: " << path << "\n";
      return 2;
    }
  }
  args.Overrides.ApplyTo(Options);
  if (args.Overrides.SiteRoot && !platform::DirectoryExists(Options.SiteRoot)) {
    std::cerr << "vlm-cli: no such site root folder: " << *args.Overrides.SiteRoot << "\n";
    return 2;
  }
  try {
    CheckSlicingOptions(Options);
  } catch (const std::exception& e) {
    std::cerr << "vlm-cli: " << e.what() << "\n";
    return 2;
  }
  const std::vector<std::string> pages = CollectPages(args.Paths, Options.IncludeSubdir != 0);
  if (args.DryRun) return DryRun(pages, args.Json);
  if (args.Jobs) SetWorkerCount(*args.Jobs);

  ProgressBar bar(pages.size());
  int errors = 0;
  std::unique_ptr<TProtectionRun> run;
  try {
    run = std::make_unique<TProtectionRun>(Options, BackupFolder(),
                                           [&](int number, const std::string& message) {
                                             ++errors;
                                             bar.Clear();
                                             std::cerr << "Error #" << number << ": " << message
                                                       << "\n";
                                           });
  } catch (const std::exception& e) {
    std::cerr << "vlm-cli: the run cannot start: " << e.what() << "\n";
    return 1;
  }
  int protectedPages = 0;
  int64_t bytesBefore = 0, bytesAfter = 0;
  // Pages are written a group at a time: each one's size is taken before
  // the run reads it.
  std::map<size_t, int64_t> sizesBefore;
  TPageLoopEvents events;
  events.PageStarting = [&](size_t done, const std::string& page) {
    bar.Show(done);
    sizesBefore[done] = SizeOf(page);
  };
  events.PageDone = [&](size_t index, const std::string& page, const TPageOutcome& outcome) {
    bar.Clear();
    const int64_t sizeBefore = sizesBefore[index];
    sizesBefore.erase(index);
    if (!outcome.Error.empty()) {
      ++errors;
      std::cerr << "Error: " << PageErrorText(page, outcome.Error) << "\n";
    }
    if (outcome.FinalSize < 0 || !outcome.Error.empty()) return;
    if (outcome.Unchanged) {
      std::cout << page << "  unchanged: no picture to protect\n";
      return;
    }
    std::cout << page << "  " << sizeBefore << " -> " << outcome.FinalSize << " bytes\n";
    if (outcome.FileErrors == 0) {
      ++protectedPages;
      bytesBefore += sizeBefore;
      bytesAfter += outcome.FinalSize;
    }
  };
  const TPageLoopResult result = RunPageLoop(*run, pages, events);
  bar.Show(pages.size());
  bar.Clear();
  if (result.Failure) {
    ++errors;
    try {
      std::rethrow_exception(result.Failure);
    } catch (const std::exception& e) {
      std::cerr << "Error: " << e.what() << "\n";
    } catch (...) {
      std::cerr << "Error: the run ended\n";
    }
  }
  const TRunFigures& figures = run->Figures();
  const std::string set = run->BackupSetName();

  std::cout << "Pages protected: " << protectedPages << " of " << pages.size() << "\n"
            << "Images sliced: " << figures.ImagesSliced << " (" << figures.PiecesWritten
            << " pieces)\n"
            << "Sources deleted: " << figures.SourcesDeleted << "\n";
  for (const auto& [why, count] : figures.SourcesKept) {
    std::cout << "Sources kept: " << count << " (" << why << ")\n";
  }
  std::cout << "Bytes before: " << bytesBefore << ", after: " << bytesAfter << "\n"
            << "Errors: " << errors << "\n";
  if (!set.empty()) {
    const size_t slash = set.rfind('/');
    const std::string number = set.substr(slash + 1);
    std::cout << "Backup set " << number << " in " << set.substr(0, slash + 1)
              << " (undo with: vlm-cli restore " << number << ")\n";
  }
  return errors ? 1 : 0;
}

int Restore(const TCliArguments& args) {
  const TSetChoice choice = ChooseSetToRestore(BackupFolder(), args.Set, args.Force);
  if (choice.Number < 0) {
    std::cerr << "vlm-cli: " << choice.Refusal << "\n";
    return choice.NoSuchSet ? 2 : 1;
  }
  const int number = choice.Number;
  const std::string base = BackupFolder() + std::to_string(number);
  if (choice.AgainFromStart) ForgetRestore(base);
  TBackupSet set = ReadBackupSet(base);
  for (const auto& problem : set.Problems) std::cerr << "vlm-cli: set " << number << ": " << problem << "\n";
  TRestoreReport report = RestoreRun(set);
  for (const auto& path : report.Restored) std::cout << "restored " << path << "\n";
  for (const auto& path : report.Removed) std::cout << "removed  " << path << "\n";
  for (const auto& kept : report.KeptAside) {
    std::cout << "kept     " << kept.Copy << " (" << kept.File
              << " had changed since the run; its content is kept there)\n";
  }
  for (const auto& path : report.LeftAlone) {
    std::cout << "left     " << path << " (a piece that changed since the run)\n";
  }
  for (const auto& why : report.Skipped) std::cerr << "vlm-cli: not restored: " << why << "\n";
  if (!report.JournalProblem.empty()) {
    std::cerr << "vlm-cli: warning: the restore's progress could not be recorded ("
              << report.JournalProblem << "); the set may still be listed as applied\n";
  }
  std::cout << "Backup set " << number << ": " << report.Restored.size() << " file(s) restored, "
            << report.Removed.size() << " piece(s) removed, " << report.KeptAside.size()
            << " copy(ies) kept aside; set " << number << " is " << SetStateText(SetStateOf(base))
            << "\n";
  return report.Ok() ? 0 : 1;
}

int Backups() {
  const std::vector<int> sets = ListBackupSets(BackupFolder());
  if (sets.empty()) {
    std::cout << "No backup sets in " << BackupFolder() << "\n";
    return 0;
  }
  std::cout << "Backup sets in " << BackupFolder() << "\n";
  for (int number : sets) {
    const std::string base = BackupFolder() + std::to_string(number);
    TBackupSet set = ReadBackupSet(base);
    size_t images = 0, pieces = 0;
    for (const auto& entry : set.Entries) images += entry.IsImage;
    for (const auto& line : set.PieceLines) pieces += line.size() / 4;
    std::cout << "set " << number << " (" << SetStateText(SetStateOf(base))
              << "): " << set.Entries.size() - images << " page(s), " << images << " image(s), "
              << pieces << " piece(s), " << set.DataLength << " bytes"
              << (set.Problems.empty() ? "" : " (damaged: " + set.Problems.front() + ")") << "\n";
    for (const auto& entry : set.Entries) {
      std::cout << "    " << (entry.IsImage ? "image " : "page  ") << entry.Name << "  " << entry.Size
                << " bytes\n";
    }
  }
  return 0;
}

}  // namespace

int RunCli(const std::vector<std::string>& argList) {
  TCliArguments args;
  try {
    args = ParseCliArguments(argList);
  } catch (const UsageError& e) {
    std::cerr << "vlm-cli: " << e.what() << "\n\n" << kCliUsage;
    return 2;
  }
  switch (args.Command) {
    case CliCommand::Help:
      std::cout << kCliUsage;
      return 0;
    case CliCommand::Version:
      std::cout << "Velmora " VLM_VERSION "\n";
      return 0;
    default:
      break;
  }
  try {
    if (args.Command == CliCommand::Protect) {
      try {
        LoadOptions();
      } catch (const std::exception& e) {
        std::cerr << "vlm-cli: cannot read the options: " << e.what() << "\n";
        return 2;
      }
      return Protect(args);
    }
    if (args.Command == CliCommand::Restore) return Restore(args);
    return Backups();
  } catch (const std::exception& e) {
    std::cerr << "vlm-cli: " << e.what() << "\n";
    return 1;
  }
}
