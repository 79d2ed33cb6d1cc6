#pragma once

#include <memory>
#include <string>

#include "app/TModelForm.h"

namespace Ui {
class TErrorForm;
}

// The support address that "Report it" writes to.
inline constexpr char kSupportAddress[] = "support@velmora.example";

// The link of "Report it": a new mail to the support address with `title`
// (percent-encoded) as its subject and no body.
std::string ReportLink(const std::string& title);

// The modal error window: "Error #N" in its title, the message, OK and
// "Report it". Each report makes a window of its own, shown once.
class TErrorForm : public TModelForm {
  Q_OBJECT

 public:
  TErrorForm(int errorNumber, const std::string& errorText, QWidget* parent = nullptr);
  ~TErrorForm() override;

  // Shows the error modally over the active window and returns when it has
  // been closed. Installed as the handler of ShowError.
  static void Show(int errorNumber, const std::string& errorText);

  void btnRepClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();

  std::unique_ptr<Ui::TErrorForm> ui_;
  int32_t ErrorNumber_;
  std::string ErrorText_;
};
