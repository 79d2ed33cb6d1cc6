#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "app/TModelForm.h"

namespace Ui {
class TAddDirForm;
}
class TFolderTree;

// Reads the pages of `folder` (ending with "/") into the list; returns when
// that is done.
using TReadFolder = std::function<void(const std::string& folder)>;

// The folder chooser, in one of two modes that the creator sets before
// showing it:
// - add mode (AddMode true): OK reads the chosen folder into the list
//   through the TReadFolder callback, with its subfolders when "Include Subdirectory" is
//   checked, and keeps the folder and the box's state in the options
//   (LastDir, IncludeSubdir). The folder it opens at comes from the options
//   (InitialDirMode).
// - initial-folder mode (AddMode false): OK only records the chosen folder
//   (ChosenDir); the box is hidden and the options stay as they are. It
//   opens at InitialDir.
// Enter in the tree acts as OK, Escape as Cancel. Used for one showing.
class TAddDirForm : public TModelForm {
  Q_OBJECT

 public:
  // `readFolder` receives the chosen folder in add mode; it may be empty in
  // the other mode.
  explicit TAddDirForm(TReadFolder readFolder, QWidget* parent = nullptr);
  ~TAddDirForm() override;

  bool AddMode = false;
  // The folder selected when the chooser opens (set from the options in add
  // mode). Empty: "Invalid Path Name" is shown and nothing is selected.
  std::string InitialDir;

  // Initial-folder mode, after OK: the chosen folder without its trailing
  // "/" (the root stays "/"), empty when no folder was selected.
  bool Chosen() const { return chosen_; }
  const std::string& ChosenDir() const { return chosenDir_; }

  TFolderTree* Tree() const;

  void btnOKClick();
  void imgHelpClick() override;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormShow();

  std::unique_ptr<Ui::TAddDirForm> ui_;
  const TReadFolder readFolder_;
  bool chosen_ = false;
  std::string chosenDir_;
};

// The initial-folder mode for a settings dialog: opens the chooser modally
// over `parent` at `folder` and returns true when the user pressed OK; then
// `folder` holds the chosen folder without a trailing "/" (the root stays
// "/"), or is empty when no folder was selected. Cancel returns false and
// leaves `folder` as it was.
bool ChooseInitialDirectory(QWidget* parent, QString& folder);
