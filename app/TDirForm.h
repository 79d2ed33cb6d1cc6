#pragma once

#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/TModelForm.h"

namespace Ui {
class TDirForm;
}
class TDirForm;

// Adds the pages found to the list, showing each on `progress` and stopping
// when it says Stopped().
using TAddPages = std::function<void(const std::vector<std::string>& paths, TDirForm& progress)>;

// The reading window: reads a folder for pages (directory mode) and then
// adds what it found through its TAddPages callback, or only adds a given list of
// paths (file mode). It works once, at its first showing, and then closes
// itself through its 1 ms timer; every other request to close it is refused
// while it works. Cancel stops the reading after the current entry, and the
// pages found so far are still added; a second Cancel stops the adding.
class TDirForm : public TModelForm {
  Q_OBJECT

 public:
  TDirForm(TAddPages addPages, bool dirMode, std::string directory, std::vector<std::string> found,
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
  const TAddPages addPages_;
  QTimer* tmClose_;
  const bool DirMode_;
  const std::string Directory_;
  std::vector<std::string> Found_;
  bool Stopped_ = false;
  bool ending_ = false;
  bool activated_ = false;
};
