#pragma once

#include <memory>
#include <string>

#include "app/TModelForm.h"

namespace Ui {
class TFileTypeForm;
}
class TOptForm;

// `text` with every "*" and "." removed and its ASCII letters lower-cased;
// nothing else is changed (blanks and commas stay). So "*.HTM" gives "htm".
std::string NormalizeExtension(const std::string& text);

// The small modal editor of one file type of the options dialog's list: an
// extension and its description. It works on the dialog's rows only, never
// on Options: in add mode OK appends a row, in modify mode OK replaces the
// cells of the dialog's first selected row. In modify mode the fields are
// refilled from that row every time the editor is activated, so whatever was
// typed before is discarded then. Enter in the extension field moves to the
// type field, Enter in the type field acts as OK, Escape as Cancel. Nothing
// the user types is refused.
class TFileTypeForm : public TModelForm {
  Q_OBJECT

 public:
  // `list`: the open options dialog whose rows the editor changes; it must
  // outlive the editor.
  TFileTypeForm(TOptForm& list, bool modifyMode, QWidget* parent = nullptr);
  ~TFileTypeForm() override;

  bool ModifyMode() const { return ModifyMode_; }

  void btnOKClick();
  void imgHelpClick() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void FormActivate();

  std::unique_ptr<Ui::TFileTypeForm> ui_;
  TOptForm& list_;
  const bool ModifyMode_;
  bool shown_ = false;
};
