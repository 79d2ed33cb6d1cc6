#pragma once

#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "app/TModelForm.h"

namespace Ui {
class TProcForm;
}
class TMainForm;

// The progress window of a run. At its first showing it passes every page of
// `Files` (a copy of the list taken at Start), in order, to the protection
// engine, between BeginProtection and EndProtection, which always come in a
// pair, also after Cancel or an error. The size of each page the engine has
// rewritten goes into the main window's Final Size column. Cancel is looked
// at between pages, so the page in progress always finishes. When the run has
// ended the window closes itself through its 1 ms timer; every other request
// to close it is refused while the run goes on.
class TProcForm : public TModelForm {
  Q_OBJECT

 public:
  TProcForm(TMainForm& mainForm, std::vector<std::string> files, QWidget* parent = nullptr);
  ~TProcForm() override;

  const std::vector<std::string>& Files() const { return Files_; }
  bool Stopped() const { return Stopped_; }

  void btnCancelClick();

 protected:
  bool FormCloseQuery() override { return Stopped_; }
  void showEvent(QShowEvent* event) override;

 private:
  void ProcessFiles();
  void tmCloseTimer();

  std::unique_ptr<Ui::TProcForm> ui_;
  TMainForm& mainForm_;
  QTimer* tmClose_;
  const std::vector<std::string> Files_;
  bool Stopped_ = false;
  bool activated_ = false;
};
