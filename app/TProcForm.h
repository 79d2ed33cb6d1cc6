#pragma once

#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/TModelForm.h"

namespace Ui {
class TProcForm;
}

// Receives the new size of the page at index `row` of the run's list.
using TFinalSizeSink = std::function<void(int32_t row, int32_t size)>;

// The progress window of a run. At its first showing it runs every page of
// `Files` (a copy of the list taken at Start), in order, through the page
// loop of one protection run, which always ends, also after Cancel or an
// error. The size of each page that could be read goes to `finalSize`. A
// page refused for a bad WIDTH or HEIGHT is shown by the general error
// handler, naming the page, and the run goes on. Cancel is looked at between
// pages, so the page in progress always finishes. When the run has ended the
// window closes itself through its 1 ms timer; every other request to close
// it is refused while the run goes on.
//
// The same window shows the progress of other long work, such as a restore:
// then it calls `work` at its first showing, shows what `work` reports, and
// offers no Cancel.
class TProcForm : public TModelForm {
  Q_OBJECT

 public:
  // Told the file in hand, the steps done and the steps in all.
  using TProgress = std::function<void(const std::string& path, size_t done, size_t total)>;
  using TWork = std::function<void(const TProgress& progress)>;

  TProcForm(std::vector<std::string> files, TFinalSizeSink finalSize, QWidget* parent = nullptr);
  TProcForm(const QString& title, TWork work, QWidget* parent = nullptr);
  ~TProcForm() override;

  const std::vector<std::string>& Files() const { return Files_; }
  bool Stopped() const { return Stopped_; }

  void btnCancelClick();
  // As Cancel: the page in progress finishes, then the run ends.
  bool StopsAtNextStep() const override { return true; }
  void CancelModal() override { btnCancelClick(); }

 protected:
  bool FormCloseQuery() override { return Stopped_; }
  void showEvent(QShowEvent* event) override;

 private:
  void ProcessFiles();
  void DoWork();
  void tmCloseTimer();

  std::unique_ptr<Ui::TProcForm> ui_;
  TFinalSizeSink finalSize_;
  QTimer* tmClose_;
  const std::vector<std::string> Files_;
  TWork work_;
  bool Stopped_ = false;
  bool activated_ = false;
};
