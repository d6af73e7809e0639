#include "ui/dialogs/ctd_dlg.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <mutex>

#include "acquisition/vesk_doc.h"
#include "ui/dialogs/coefficient_dlg.h"
#include "ui/dialogs/dialog_prompts.h"
#include "ui/dialogs/sbe19plus_config_dlg.h"
#include "ui/dialogs/sbe49_config_dlg.h"
#include "ui/dialogs/temp_cond_coeff_dlg.h"

namespace vesk {
namespace {

constexpr const char* kCaption = "External Instrument Input Device";
constexpr const char* kSelectLabel = "Select External Instrument";
constexpr const char* kRateLabel = "Sampling Rate";
constexpr const char* kFormatLabel = "Expected Data Format:";
constexpr const char* kSerialLabel = "Instrument Serial Number";
constexpr const char* kConfigure = "Configure";
constexpr const char* kSourceGroup = "Instrument Input Source:";
constexpr const char* kDirect = "Input Directly to VESK";
constexpr const char* kViaMux = "Input via Serial Multiplexer (Deck Unit)";
constexpr const char* kErrorCaption = "Error";

template <class Dlg, class... Args>
std::unique_ptr<QDialog> Make(DialogPrompts& prompts, Args&&... args) {
  auto dlg = std::make_unique<Dlg>(std::forward<Args>(args)...);
  dlg->SetPrompts(prompts);
  return dlg;
}

}  // namespace

std::unique_ptr<QDialog> CreateCtdConfigDialog(int model, SettingsStore& store,
                                               DialogPrompts& prompts, QWidget* parent) {
  const CtdModel* m = FindCtdModel(model);
  switch (m != nullptr ? m->dialog : CtdDialog::None) {
    case CtdDialog::None: break;
    case CtdDialog::Coefficients: return Make<CCoefficientDlg>(prompts, store, *m, parent);
    case CtdDialog::Sbe19: return Make<CTempCondCoeffDlg>(prompts, store, parent);
    case CtdDialog::Sbe19plus: return Make<CSbe19plusConfigDlg>(prompts, store, parent);
    case CtdDialog::Sbe49: return Make<CSbe49ConfigDlg>(prompts, store, parent);
  }
  return nullptr;
}

bool HasCtdConfigDialog(int model) {
  const CtdModel* m = FindCtdModel(model);
  return m != nullptr && m->dialog != CtdDialog::None;
}

CCTDDlg::CCTDDlg(CVESKDoc& doc, QWidget* parent)
    : QDialog(parent), doc_(doc), prompts_(&StandardPrompts()) {
  setWindowTitle(kCaption);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(kSelectLabel, this));
  models_ = new QListWidget(this);
  models_->setObjectName("models");
  for (const auto& [code, entry] : doc_.Catalogue().Entries()) {
    auto* item = new QListWidgetItem(QString::fromLatin1(entry.model->name), models_);
    item->setData(Qt::UserRole, code);
  }
  layout->addWidget(models_);

  auto* form = new QFormLayout;
  rate_ = new QLabel(this);
  rate_->setObjectName("rate");
  format_ = new QLabel(this);
  format_->setObjectName("format");
  serial_ = new QLineEdit(this);
  serial_->setObjectName("serial");
  form->addRow(kRateLabel, rate_);
  form->addRow(kFormatLabel, format_);
  form->addRow(kSerialLabel, serial_);
  layout->addLayout(form);
  configure_ = new QPushButton(kConfigure, this);
  configure_->setObjectName("configure");
  layout->addWidget(configure_);

  auto* source = new QGroupBox(kSourceGroup, this);
  auto* sourceLayout = new QVBoxLayout(source);
  direct_ = new QRadioButton(kDirect, source);
  direct_->setObjectName("direct");
  viaMux_ = new QRadioButton(kViaMux, source);
  viaMux_->setObjectName("viaMux");
  auto* group = new QButtonGroup(this);
  group->addButton(direct_);
  group->addButton(viaMux_);
  sourceLayout->addWidget(direct_);
  sourceLayout->addWidget(viaMux_);
  layout->addWidget(source);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &CCTDDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CCTDDlg::reject);
  connect(configure_, &QPushButton::clicked, this, &CCTDDlg::Configure);
  connect(models_, &QListWidget::currentRowChanged, this, [this] { ShowModel(SelectedModel()); });
  Refresh();
}

int CCTDDlg::SelectedModel() const {
  const QListWidgetItem* item = models_->currentItem();
  if (item == nullptr || !item->isSelected()) return -1;
  const int code = item->data(Qt::UserRole).toInt();
  return doc_.Catalogue().Find(code) != nullptr ? code : -1;
}

void CCTDDlg::ShowModel(int model) {
  const CtdModelEntry* entry = doc_.Catalogue().Find(model);
  rate_->setText(entry != nullptr ? QString("%1 Hz").arg(entry->model->rateHz) : QString());
  format_->setText(entry != nullptr ? QString::fromLatin1(entry->model->expectedFormat)
                                    : QString());
  serial_->setText(entry != nullptr ? QString::fromStdString(entry->serial) : QString());
  const bool configurable =
      HasCtdConfigDialog(model >= 0 ? model : doc_.Store().Read(keys::kModelCtd));
  configure_->setEnabled(configurable);
  configure_->setToolTip(configurable ? QString() : QString::fromLatin1(kUnableToConfigureCtd));
}

void CCTDDlg::Refresh() {
  const int stored = doc_.Store().Read(keys::kModelCtd);
  models_->setCurrentRow(-1);
  for (int row = 0; row < models_->count(); ++row) {
    if (models_->item(row)->data(Qt::UserRole).toInt() == stored) models_->setCurrentRow(row);
  }
  ShowModel(stored);
  if (doc_.Catalogue().Find(stored) == nullptr) {
    // A model the list does not offer (the OS200): its serial number is still the stored one.
    serial_->setText(QString::fromStdString(doc_.Store().Read(keys::kCtdSerial)));
  }
  (doc_.Settings().scan.instrInputViaMux ? viaMux_ : direct_)->setChecked(true);
}

void CCTDDlg::Configure() {
  const int selected = SelectedModel();
  const int model = selected >= 0 ? selected : doc_.Store().Read(keys::kModelCtd);
  std::unique_ptr<QDialog> dialog;
  try {
    dialog = CreateCtdConfigDialog(model, doc_.Store(), *prompts_, this);
  } catch (const std::exception&) {
    prompts_->Message(this, kConfigWindowError, kCtdConfigurationCaption, QMessageBox::Warning);
    return;
  }
  if (!dialog) {
    prompts_->Message(this, kUnableToConfigureCtd, kCtdConfigurationCaption,
                      QMessageBox::Information);
    return;
  }
  dialog->exec();
}

void CCTDDlg::accept() {
  const int model = SelectedModel();
  if (model < 0) {
    prompts_->Message(this, kSelectValidCtd, kErrorCaption, QMessageBox::Warning);
    Refresh();
    return;
  }
  const std::string serial = serial_->text().trimmed().toStdString();
  const bool viaMux = viaMux_->isChecked();
  doc_.Store().Write(keys::kModelCtd, model);
  doc_.Store().Write(keys::kCtdSerial, serial.empty() ? keys::kCtdSerial.def : serial);
  doc_.Store().Write(keys::kInstrInputViaMux, viaMux ? 1 : 0);
  // The document follows at once (a scan started meanwhile by remote control takes the new
  // model at its next frame).
  doc_.LoadCtdSettings();
  QDialog::accept();
}

}  // namespace vesk
