#pragma once

#include <QFileDialog>
#include <string>
#include <vector>

// A file dialog of the program, the same on every desktop (the toolkit's
// own, not the desktop's), with the checks the program's dialogs need on
// top of the toolkit's: refusing read-only files and asking before a new
// file is created. Resizable. A refused choice shows a message and keeps
// the dialog open.
class TFileDialog : public QFileDialog {
  Q_OBJECT

 public:
  TFileDialog(QWidget* parent, const QString& objectName, const QString& title);

  // Sets the filter from a filter text ("name|masks|..."); `entry`, counted
  // from 1, is the entry selected.
  void SetFilter(const std::string& filter, int entry = 1);

  // A chosen file that exists and is read-only is refused.
  bool RefuseReadOnly = false;
  // A chosen file that does not exist is created only when the user says so.
  bool PromptCreate = false;

  // Shows the dialog modally; true when the user confirmed a choice.
  bool Execute();
  // The chosen files, in the dialog's order, as file-name bytes.
  std::vector<std::string> Files() const;

  void accept() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  bool Refused(const QString& file);
};
