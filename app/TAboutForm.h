#pragma once

#include <memory>

#include "app/TModelForm.h"

namespace Ui {
class TAboutForm;
}

// The program's web site, linked from the about box.
inline constexpr char kSiteAddress[] = "https://www.velmora.example/";

// The about box: the product's name and version and a link to its site,
// in the common frame with only the close button.
class TAboutForm : public TModelForm {
  Q_OBJECT

 public:
  explicit TAboutForm(QWidget* parent = nullptr);
  ~TAboutForm() override;

 private:
  std::unique_ptr<Ui::TAboutForm> ui_;
};

// Shows the about box modally over `parent`; returns when it is closed.
void ShowAboutBox(QWidget* parent);
