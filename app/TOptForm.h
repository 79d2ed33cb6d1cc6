#pragma once

#include <memory>
#include <string>

#include "app/TModelForm.h"

namespace Ui {
class TOptForm;
}
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

// The modal options dialog: every field of Options except LastDir and
// IncludeSubdir, on the two pages "Protection" and "Preference". It is filled
// from Options when it is made and writes nothing before OK; OK takes the
// values back in a fixed order, each stored as soon as it is taken. A number
// field that is not a whole number stops OK there with "'%s' is not a valid
// integer value": the fields before it are stored, the rest are not, and the
// dialog stays open. Any whole number is taken; whether the slicer can use
// it is checked when a run starts.
//
// The file-type list is a working copy: its rows reach Options.FileTypes only
// through OK. Texts are kept as the bytes they were read as, so a description
// or folder that is not valid UTF-8 survives OK unless the user changes it.
class TOptForm : public TModelForm {
  Q_OBJECT

 public:
  explicit TOptForm(QWidget* parent = nullptr);
  ~TOptForm() override;

  QTreeWidget* FileTypeList() const;

  // The list operations of the file-type editor. The "first selected row" is
  // the selected row nearest the top. With no row selected the Get and Set
  // operations do nothing.
  void AddFileType(const std::string& extension, const std::string& description);
  void GetSelectedFileType(QLineEdit* extensionEdit, QLineEdit* typeEdit) const;
  void SetSelectedFileType(const std::string& extension, const std::string& description);

  void btnAddClick();
  void btnModifyClick();
  void btnDeleteClick();
  void btnBrowseClick();
  void btnOKClick();
  void imgHelpClick() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormCreate();
  void InitialDirChanged(bool userDefined);
  QTreeWidgetItem* FirstSelectedRow() const;
  // Options.CustomDir as the user left it in edtCustomDir.
  std::string CustomDirText() const;

  std::unique_ptr<Ui::TOptForm> ui_;
  // The bytes of the folder last put into edtCustomDir by the program (the
  // filling, the chooser), for CustomDirText.
  std::string customDirBytes_;
  // The bytes of Options.SiteRoot, kept unless the user edits the field.
  std::string siteRootBytes_;
  bool shown_ = false;
};

// Makes a new options dialog over `parent`, shows it modally and returns
// when it has been closed.
void ShowOptionsDialog(QWidget* parent);
