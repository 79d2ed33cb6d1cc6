#include "engine/vlmKernel.h"

#include "engine/ProtectionRun.h"
#include "storage/Convert.h"
#include "storage/GlobalLib.h"
#include "storage/ProgramFolders.h"
#include "storage/vlmOption.h"

namespace {

// The run of the façade, between BeginProtection and EndProtection.
std::unique_ptr<TProtectionRun> Run;
// Set when an error ended a page of the run: the list was not finished.
bool RunBroken = false;

}  // namespace

std::unique_ptr<TProtectionRun> MakeProtectionRun() {
  return std::make_unique<TProtectionRun>(Options, GetBackupDir(),
                                          [](int number, const std::string& message) {
                                            ShowError(number, message);
                                          });
}

void BeginProtection() {
  Run.reset();
  RunBroken = false;
  Run = MakeProtectionRun();
}

void ProtectPage(const std::string& pagePath, int32_t& finalSize) {
  TPageOutcome outcome;
  try {
    // Written with its group, at the latest by EndProtection.
    outcome = Run->StagePage(pagePath);
    Run->TakeOutcomes();
  } catch (...) {
    RunBroken = true;
    throw;
  }
  if (outcome.FinalSize >= 0) finalSize = outcome.FinalSize;
  if (!outcome.Error.empty()) throw EConvertError(PageErrorText(pagePath, outcome.Error));
}

void EndProtection() {
  std::unique_ptr<TProtectionRun> run = std::move(Run);
  if (run) run->Finish(!RunBroken);
}

std::string PageErrorText(const std::string& pagePath, const std::string& error) {
  return pagePath + ": " + error;
}
