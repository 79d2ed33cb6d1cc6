#include "app/RestoreLastRun.h"

#include <QDateTime>
#include <QLocale>
#include <QMessageBox>
#include <set>

#include "app/ErrorHandler.h"
#include "app/FileName.h"
#include "app/TProcForm.h"
#include "engine/RunRestore.h"
#include "platform/FileWriteBack.h"
#include "storage/GlobalLib.h"
#include "storage/ProgramFolders.h"
#include "storage/RestoreJournal.h"
#include "storage/SetChoice.h"
#include "storage/vlmOption.h"

namespace {

constexpr int kKeptAsideError = 301;
constexpr int kNotRestoredError = 302;

std::string BackupFolder() { return GetBackupDir(); }

}  // namespace

TLastRun FindLastRun(const std::string& backupFolder) {
  TLastRun run;
  const TSetChoice choice = ChooseSetToRestore(backupFolder, std::nullopt, false);
  if (choice.Number < 0) {
    run.Refusal = choice.Refusal;
    return run;
  }
  run.Number = choice.Number;
  const std::string base = backupFolder + std::to_string(run.Number);
  run.Date = platform::InspectFile(base + ".ind").ModifiedAt;
  run.PartlyRestored = SetStateOf(base) == TSetState::PartlyRestored;
  const TBackupSet set = ReadBackupSet(base);
  std::set<std::string> pages, pictures;
  for (const auto& entry : set.Entries) (entry.IsImage ? pictures : pages).insert(entry.Name);
  run.Pages = pages.size();
  run.Pictures = pictures.size();
  return run;
}

std::string RestoreQuestion(const TLastRun& run, const std::string& date) {
  std::string text = "Restore the last run?\n\nBackup set " + std::to_string(run.Number) +
                     (run.PartlyRestored ? " (partly restored)" : "") + "\nDate: " + date +
                     "\nPages: " + std::to_string(run.Pages) +
                     "\nPictures: " + std::to_string(run.Pictures) +
                     "\n\nThe pages and pictures go back to what they were before the run, and "
                     "the pieces are deleted. A page changed since the run is first kept as a "
                     "copy named *.before-restore.";
  return text;
}

std::string RestoreRemarks(const TRestoreReport& report) {
  std::string text;
  if (!report.KeptAside.empty()) {
    text += "These files had changed since the run; their content is kept in a copy:\n";
    for (const auto& kept : report.KeptAside) text += kept.File + "  ->  " + kept.Copy + "\n";
  }
  if (!report.LeftAlone.empty()) {
    text += "These pieces had changed since the run and were left where they are:\n";
    for (const auto& piece : report.LeftAlone) text += piece + "\n";
  }
  if (!report.JournalProblem.empty()) {
    text += "The restore could not record its progress (" + report.JournalProblem +
            "); the run may still be offered for restoring.\n";
  }
  return text;
}

void RestoreLastRun(QWidget* parent) {
  const TLastRun run = FindLastRun(BackupFolder());
  if (run.Number < 0) {
    QMessageBox::information(parent, QString::fromLatin1(kApplicationTitle),
                             DecodeName("Nothing to restore: " + run.Refusal + "."));
    return;
  }
  const QString date =
      QLocale().toString(QDateTime::fromSecsSinceEpoch(run.Date), QLocale::ShortFormat);
  const auto answer = QMessageBox::question(parent, QStringLiteral("Restore Last Run"),
                                            DecodeName(RestoreQuestion(run, EncodeName(date))),
                                            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
  if (answer != QMessageBox::Yes) return;

  TRestoreReport report;
  const std::string base = BackupFolder() + std::to_string(run.Number);
  TProcForm progress(
      QStringLiteral("Restoring..."),
      [&](const TProcForm::TProgress& step) { report = RestoreRun(ReadBackupSet(base), step); },
      parent);
  progress.exec();
  const std::string remarks = RestoreRemarks(report);
  if (!remarks.empty()) ShowError(kKeptAsideError, remarks);
  if (!report.Skipped.empty()) {
    std::string text = "These files could not be restored; restore again once the cause is gone:\n";
    for (const auto& why : report.Skipped) text += why + "\n";
    ShowError(kNotRestoredError, text);
  }
}
