#pragma once

#include <QSet>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/TModelForm.h"

namespace Ui {
class TMainForm;
}
class TDirForm;
class TFileDialog;
class QMenu;
class QTreeWidget;

// The main window: a tool bar above the list of the pages that a run will
// process. Row i of the list belongs to entry i of FilePaths, always: every
// operation that adds or removes rows changes both at the same index. Rows
// stay in the order in which they were added.
//
// Made once at start and destroyed at the end of the program: creating it
// loads the options (FormCreate), destroying it saves them (FormDestroy).
class TMainForm : public TModelForm {
  Q_OBJECT

 public:
  // `arguments`: the command line without the program itself, handled at the
  // window's first showing (ProcessCommandLine). Raises what LoadOptions
  // raises; the window is then not made.
  explicit TMainForm(std::vector<std::string> arguments, QWidget* parent = nullptr);
  // Saves the options; a failure is shown by the general error handler.
  ~TMainForm() override;

  const std::vector<std::string>& FilePaths() const { return FilePaths_; }
  QTreeWidget* FileList() const;

  // True when the list holds the file `path` leads to, under any name
  // (PageKey).
  bool IsListed(const std::string& path) const;
  // Appends as rows the regular files among `paths` that are not listed yet,
  // in order, under `progress`, which shows each path, advances its bar for
  // each and can stop the adding. A failure (a file that cannot be measured)
  // stops the adding; the rows added before it stay, and the error window
  // shows error 201, naming the file.
  void AddFiles(const std::vector<std::string>& paths, TDirForm& progress);
  // Adds a mixed list of folders and files: each folder is read at once with
  // a reading window of its own (ReadDirectory), then the remaining paths are
  // added in one go (AddFileList); then the window comes to the front.
  void AddPaths(const std::vector<std::string>& paths);
  // Shows `size` in the Final Size column of row `row`.
  void SetFinalSize(int32_t row, int32_t size);
  // Adds what the program was started with and starts a run over the list.
  void ProcessCommandLine();
  // Ends the program as the system asks it to: every modal window ends as
  // by its Cancel (a run finishes its current page and ends), nothing new
  // starts, then the window closes. Returns at once.
  void EndProgram();

  void btnAddClick();
  void btnAddDirClick();
  void btnDelClick();
  void btnDelAllClick();
  void btnStartClick();
  void btnOptionClick();
  void btnPreClick();
  void btnAboutClick();
  void imgHelpClick() override;
  // The list's pop-up menu mnuFiles: Load from List, Save to List, Restore
  // Last Run, Refresh. Its shortcuts act while the list has the keyboard
  // focus.
  void mnuLLClick();
  void mnuSLClick();
  void mnuRestoreClick();
  void mnuRfClick();
  // Escape does not end the program: the main window closes only by its
  // close button or the system's close command.
  void reject() override {}

 protected:
  void showEvent(QShowEvent* event) override;
  // Files and folders dropped on the window are added as AddPaths adds
  // them, after the drop has ended; a drop never starts a run.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void FormCreate();
  void FormActivate();
  void FormDestroy();
  void RemoveRow(int row);
  void MakeFilesMenu();
  // The window's file dialogs, made for one showing each. A new dialog
  // opens in the folder that the last one was left in.
  std::unique_ptr<TFileDialog> AddFilesDialog();
  std::unique_ptr<TFileDialog> OpenListDialog();
  std::unique_ptr<TFileDialog> SaveListDialog();

  std::unique_ptr<Ui::TMainForm> ui_;
  QMenu* mnuFiles_ = nullptr;
  std::vector<std::string> arguments_;
  std::vector<std::string> FilePaths_;
  // FilePaths in the form IsListed compares, for a quick look-up.
  QSet<QString> listedKeys_;
  bool activated_ = false;
  // Set once the program is ending: no run and no adding starts any more.
  bool ending_ = false;
};

// Reads `directory` (ending with "/"), with its subfolders when the options
// say IncludeSubdir, and adds the pages found to `mainForm`'s list; returns
// when the reading window has closed.
void ReadDirectory(TMainForm& mainForm, const std::string& directory);

// Adds `files` to `mainForm`'s list under a reading window in file mode;
// returns when it has closed.
void AddFileList(TMainForm& mainForm, const std::vector<std::string>& files);
