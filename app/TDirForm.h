#pragma once

#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "app/TModelForm.h"

namespace Ui {
class TDirForm;
}
class TMainForm;

// The reading window: reads a folder for pages (directory mode) and then
// adds what it found to the main window's list, or only adds a given list of
// paths (file mode). It works once, at its first showing, and then closes
// itself through its 1 ms timer; every other request to close it is refused
// while it works. Cancel stops the reading after the current entry, and the
// pages found so far are still added; a second Cancel stops the adding.
class TDirForm : public TModelForm {
  Q_OBJECT

 public:
  TDirForm(TMainForm& mainForm, bool dirMode, std::string directory, std::vector<std::string> found,
           QWidget* parent = nullptr);
  ~TDirForm() override;

  // What AddFiles uses while it adds.
  void ShowFile(const std::string& path);
  void StepProgress();
  bool Stopped() const { return Stopped_; }

  const std::vector<std::string>& Found() const { return Found_; }

  void btnCancelClick();
  // Stops the reading after the current entry and adds nothing more.
  bool StopsAtNextStep() const override { return true; }
  void CancelModal() override;

 protected:
  bool FormCloseQuery() override { return Stopped_; }
  void showEvent(QShowEvent* event) override;

 private:
  void FormActivate();
  void tmCloseTimer();

  std::unique_ptr<Ui::TDirForm> ui_;
  TMainForm& mainForm_;
  QTimer* tmClose_;
  const bool DirMode_;
  const std::string Directory_;
  std::vector<std::string> Found_;
  bool Stopped_ = false;
  bool ending_ = false;
  bool activated_ = false;
};

// Reads `directory` (ending with "/"), with its subfolders when the options
// say IncludeSubdir, and adds the pages found; returns when the reading
// window has closed.
void ReadDirectory(TMainForm& mainForm, const std::string& directory);

// Adds `files` under a reading window in file mode; returns when it has
// closed.
void AddFileList(TMainForm& mainForm, const std::vector<std::string>& files);
