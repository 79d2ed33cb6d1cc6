#include "app/TOptForm.h"

#include <QHeaderView>
#include <QScreen>
#include <QShowEvent>

#include "app/ErrorHandler.h"
#include "app/FileName.h"
#include "app/TAddDirForm.h"
#include "app/TFileTypeForm.h"
#include "platform/Exception.h"
#include "platform/Shell.h"
#include "storage/Convert.h"
#include "storage/vlmOption.h"
#include "ui_TOptForm.h"

namespace {

constexpr int kClientWidth = 444;
constexpr int kClientHeight = 447;
constexpr char kHelpTopic[] = "option.htm";
enum Column { kExtension, kType };
constexpr int kExtensionWidth = 80;
constexpr int kTypeWidth = 160;
// Where a cell keeps the bytes that its text shows.
constexpr int kBytesRole = Qt::UserRole;

// The whole number in the edit: leading blanks, an optional sign, then
// decimal digits only, within 32 bits. Raises EConvertError otherwise.
int32_t TakeInteger(const QLineEdit* edit) {
  const std::string text = EncodeName(edit->text());
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const bool digitsOnly =
      i < text.size() && text.find_first_not_of("0123456789", i) == std::string::npos;
  if (!digitsOnly) throw EConvertError("'" + text + "' is not a valid integer value");
  return StrToInt(text);
}

std::string CellBytes(const QTreeWidgetItem* row, int column) {
  return row->data(column, kBytesRole).toByteArray().toStdString();
}

void SetCell(QTreeWidgetItem* row, int column, const std::string& bytes) {
  // A text that comes back as it was shown keeps the bytes it was read as,
  // also where they are no valid UTF-8 and the shown text is only close.
  if (row->data(column, kBytesRole).isValid() && EncodeName(row->text(column)) == bytes) return;
  row->setData(column, kBytesRole, QByteArray::fromStdString(bytes));
  row->setText(column, DecodeName(bytes));
  // A description longer than its cell can be read in full.
  row->setToolTip(column, DecodeName(bytes));
}

QTreeWidgetItem* NewRow(const std::string& extension, const std::string& description) {
  auto* row = new QTreeWidgetItem();
  SetCell(row, kExtension, extension);
  SetCell(row, kType, description);
  return row;
}

}  // namespace

TOptForm::TOptForm(QWidget* parent) : TModelForm(parent), ui_(std::make_unique<Ui::TOptForm>()) {
  setObjectName(QStringLiteral("TOptForm"));
  ui_->setupUi(ClientArea());
  SetTitle(QStringLiteral("Option"));
  ShowFrameButtons(true, false, true);
  SetClientSize(kClientWidth, kClientHeight);

  QTreeWidget* list = ui_->lvFileTypes;
  // The Type column takes at least its width and whatever the list has
  // beside it, so that no space stays empty while descriptions are cut.
  list->header()->setStretchLastSection(true);
  list->header()->setSectionsMovable(false);
  list->header()->resizeSection(kExtension, kExtensionWidth);
  list->header()->resizeSection(kType, kTypeWidth);

  const std::pair<QPushButton*, void (TOptForm::*)()> buttons[] = {
      {ui_->btnAdd, &TOptForm::btnAddClick},       {ui_->btnModify, &TOptForm::btnModifyClick},
      {ui_->btnDelete, &TOptForm::btnDeleteClick}, {ui_->btnBrowse, &TOptForm::btnBrowseClick},
      {ui_->btnOK, &TOptForm::btnOKClick},         {ui_->btnCancel, &TOptForm::imgExitClick},
  };
  for (const auto& [button, handler] : buttons) {
    connect(button, &QPushButton::clicked, this,
            [this, handler = handler] { Guarded([&] { (this->*handler)(); }); });
  }
  // Checking an initial-folder choice, by the user or by the filling, enables
  // or disables the user-defined folder with its browse button.
  connect(ui_->rdo20, &QRadioButton::toggled, this, [this](bool on) {
    if (on) InitialDirChanged(true);
  });
  for (QRadioButton* other : {ui_->rdo21, ui_->rdo22}) {
    connect(other, &QRadioButton::toggled, this, [this](bool on) {
      if (on) InitialDirChanged(false);
    });
  }

  FormCreate();
  ui_->tbcOptions->setCurrentWidget(ui_->pPro);
  ui_->tbcOptions->setFocus();
}

TOptForm::~TOptForm() = default;

QTreeWidget* TOptForm::FileTypeList() const { return ui_->lvFileTypes; }

void TOptForm::FormCreate() {
  ui_->edtMinWidth->setText(QString::number(Options.MinWidth));
  ui_->edtMinHeight->setText(QString::number(Options.MinHeight));
  (Options.SliceByPixels ? ui_->rdo11 : ui_->rdo10)->setChecked(true);
  ui_->edtPieHor->setText(QString::number(Options.PieHor));
  ui_->edtPieVer->setText(QString::number(Options.PieVer));
  ui_->edtPixWidth->setText(QString::number(Options.PixWidth));
  ui_->edtPixHeight->setText(QString::number(Options.PixHeight));
  ui_->chkATag->setChecked(Options.ATag != 0);
  ui_->chkWidthHeight->setChecked(Options.WidthHeight != 0);
  ui_->chkBMP->setChecked(Options.ProtectBMP != 0);
  ui_->chkGIF->setChecked(Options.ProtectGIF != 0);
  ui_->chkJPG->setChecked(Options.ProtectJPG != 0);
  ui_->chkPNG->setChecked(Options.ProtectPNG != 0);
  ui_->chkWebP->setChecked(Options.ProtectWebP != 0);
  (Options.Markup == TMarkup::Layered ? ui_->rdoLayered : ui_->rdoTable)->setChecked(true);
  switch (Options.InitialDirMode) {
    case 0:
      ui_->rdo20->setChecked(true);
      break;
    case 1:
      ui_->rdo21->setChecked(true);
      break;
    case 2:
      ui_->rdo22->setChecked(true);
      break;
    default:
      break;  // none checked; the folder stays enabled
  }
  customDirBytes_ = Options.CustomDir;
  ui_->edtCustomDir->setText(DecodeName(Options.CustomDir));
  siteRootBytes_ = Options.SiteRoot;
  ui_->edtSiteRoot->setText(DecodeName(Options.SiteRoot));

  QTreeWidget* list = ui_->lvFileTypes;
  list->setUpdatesEnabled(false);
  QList<QTreeWidgetItem*> rows;
  for (const TFileType& type : Options.FileTypes) {
    rows.append(NewRow(type.Extension, type.Description));
  }
  list->addTopLevelItems(rows);
  list->setUpdatesEnabled(true);
}

void TOptForm::showEvent(QShowEvent* event) {
  TModelForm::showEvent(event);
  if (shown_) return;
  shown_ = true;
  if (const QScreen* desktop = screen()) {
    move(desktop->availableGeometry().center() - rect().center());
  }
}

void TOptForm::InitialDirChanged(bool userDefined) {
  ui_->edtCustomDir->setEnabled(userDefined);
  ui_->btnBrowse->setEnabled(userDefined);
}

QTreeWidgetItem* TOptForm::FirstSelectedRow() const {
  QTreeWidget* list = ui_->lvFileTypes;
  for (int row = 0; row < list->topLevelItemCount(); ++row) {
    if (list->topLevelItem(row)->isSelected()) return list->topLevelItem(row);
  }
  return nullptr;
}

void TOptForm::AddFileType(const std::string& extension, const std::string& description) {
  ui_->lvFileTypes->addTopLevelItem(NewRow(extension, description));
}

void TOptForm::GetSelectedFileType(QLineEdit* extensionEdit, QLineEdit* typeEdit) const {
  const QTreeWidgetItem* row = FirstSelectedRow();
  if (!row) return;
  extensionEdit->setText(row->text(kExtension));
  typeEdit->setText(row->text(kType));
}

void TOptForm::SetSelectedFileType(const std::string& extension, const std::string& description) {
  QTreeWidgetItem* row = FirstSelectedRow();
  if (!row) return;
  SetCell(row, kExtension, extension);
  SetCell(row, kType, description);
}

void TOptForm::btnAddClick() {
  TFileTypeForm editor(*this, /*modifyMode=*/false, this);
  editor.exec();
}

void TOptForm::btnModifyClick() {
  if (!FirstSelectedRow()) return;
  TFileTypeForm editor(*this, /*modifyMode=*/true, this);
  editor.exec();
}

void TOptForm::btnDeleteClick() {
  QTreeWidget* list = ui_->lvFileTypes;
  if (list->selectedItems().isEmpty()) return;
  list->setUpdatesEnabled(false);
  for (int row = list->topLevelItemCount() - 1; row >= 0; --row) {
    if (list->topLevelItem(row)->isSelected()) delete list->takeTopLevelItem(row);
  }
  list->setUpdatesEnabled(true);
}

void TOptForm::btnBrowseClick() {
  TAddDirForm chooser(nullptr, this);
  chooser.AddMode = false;
  chooser.InitialDir = CustomDirText();
  chooser.exec();
  if (!chooser.Chosen()) return;
  customDirBytes_ = chooser.ChosenDir();
  ui_->edtCustomDir->setText(DecodeName(customDirBytes_));
}

void TOptForm::imgHelpClick() { platform::CurrentShell().OpenHelpTopic(kHelpTopic); }

std::string TOptForm::CustomDirText() const {
  const QString text = ui_->edtCustomDir->text();
  return text == DecodeName(customDirBytes_) ? customDirBytes_ : EncodeName(text);
}

void TOptForm::btnOKClick() {
  // Each value is stored as soon as it is taken; a number that fails leaves
  // it and everything after it as it was, and shows where it is.
  const auto take = [this](QLineEdit* edit, int32_t& field) {
    try {
      field = TakeInteger(edit);
    } catch (const EConvertError&) {
      ui_->tbcOptions->setCurrentWidget(ui_->pPro);
      edit->setFocus();
      edit->selectAll();
      throw;
    }
  };
  take(ui_->edtMinWidth, Options.MinWidth);
  take(ui_->edtMinHeight, Options.MinHeight);
  Options.SliceByPixels = ui_->rdo11->isChecked();
  take(ui_->edtPieHor, Options.PieHor);
  take(ui_->edtPieVer, Options.PieVer);
  take(ui_->edtPixWidth, Options.PixWidth);
  take(ui_->edtPixHeight, Options.PixHeight);
  Options.ATag = ui_->chkATag->isChecked();
  Options.WidthHeight = ui_->chkWidthHeight->isChecked();
  Options.ProtectBMP = ui_->chkBMP->isChecked();
  Options.ProtectGIF = ui_->chkGIF->isChecked();
  Options.ProtectJPG = ui_->chkJPG->isChecked();
  Options.ProtectPNG = ui_->chkPNG->isChecked();
  Options.ProtectWebP = ui_->chkWebP->isChecked();
  Options.Markup = ui_->rdoLayered->isChecked() ? TMarkup::Layered : TMarkup::Table;
  if (ui_->rdo20->isChecked()) {
    Options.InitialDirMode = 0;
  } else if (ui_->rdo21->isChecked()) {
    Options.InitialDirMode = 1;
  } else if (ui_->rdo22->isChecked()) {
    Options.InitialDirMode = 2;
  }
  Options.CustomDir = CustomDirText();
  const QString siteRoot = ui_->edtSiteRoot->text();
  Options.SiteRoot = siteRoot == DecodeName(siteRootBytes_) ? siteRootBytes_ : EncodeName(siteRoot);
  QTreeWidget* list = ui_->lvFileTypes;
  std::vector<TFileType> types;
  types.reserve(static_cast<size_t>(list->topLevelItemCount()));
  for (int row = 0; row < list->topLevelItemCount(); ++row) {
    const QTreeWidgetItem* item = list->topLevelItem(row);
    types.push_back({CellBytes(item, kExtension), CellBytes(item, kType)});
  }
  Options.FileTypes = std::move(types);
  imgExitClick();
}

void ShowOptionsDialog(QWidget* parent) {
  TOptForm form(parent);
  form.exec();
}
