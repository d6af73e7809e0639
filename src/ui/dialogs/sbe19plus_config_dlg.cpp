#include "ui/dialogs/sbe19plus_config_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <array>

#include "seams/settings_store.h"
#include "ui/dialogs/coefficient_form.h"
#include "ui/dialogs/dialog_prompts.h"
#include "ui/dialogs/temp_cond_coeff_dlg.h"

namespace vesk {
namespace {

constexpr const char* kCaption = "SBE 19plus Configuration";

QCheckBox* Option(QWidget* parent, const char* text, const IntKey& key, const SettingsStore& s) {
  auto* box = new QCheckBox(QString::fromLatin1(text), parent);
  box->setObjectName(key.key);
  box->setChecked(s.ReadBool(key));
  return box;
}

}  // namespace

CSbe19plusConfigDlg::CSbe19plusConfigDlg(SettingsStore& store, QWidget* parent)
    : QDialog(parent), store_(store), prompts_(&StandardPrompts()) {
  setWindowTitle(kCaption);
  auto* layout = new QVBoxLayout(this);
  auto* coeffBox = new QGroupBox("Calibration Coefficients", this);
  auto* coeffLayout = new QVBoxLayout(coeffBox);
  form_ = new CoefficientForm(store_, Sbe19plusCoefficientTable().section,
                              Sbe19plusCoefficientTable().Texts(), 3, coeffBox);
  coeffLayout->addWidget(form_);
  layout->addWidget(coeffBox);

  auto* formatBox = new QGroupBox("Output Format", this);
  auto* formatLayout = new QVBoxLayout(formatBox);
  format_ = new QButtonGroup(this);
  const std::array<std::pair<const char*, const char*>, 2> formats = {
      {{"Hexadecimal (OUTPUTFORMAT=0)", kSbe19plusHexExplanation},
       {"Decimal (OUTPUTFORMAT=1)", kSbe19plusDecimalExplanation}}};
  for (int id = 0; id < 2; ++id) {
    auto* radio = new QRadioButton(QString::fromLatin1(formats[id].first), formatBox);
    radio->setObjectName(QString("outputFormat%1").arg(id));
    format_->addButton(radio, id);
    formatLayout->addWidget(radio);
    auto* note = new QLabel(QString::fromLatin1(formats[id].second), formatBox);
    note->setWordWrap(true);
    note->setIndent(20);
    formatLayout->addWidget(note);
  }
  const int format = store_.Read(keys::kSbe19plusOutputFormat);
  if (format == 0 || format == 1) format_->button(format)->setChecked(true);
  layout->addWidget(formatBox);

  auto* options = new QFormLayout;
  analogInputs_ = new QSpinBox(this);
  analogInputs_->setObjectName("AnalogInputs");
  analogInputs_->setRange(0, 4);
  analogInputs_->setValue(store_.Read(keys::kSbe19plusAnalogInputs));
  options->addRow("Analog inputs", analogInputs_);
  outputSal_ = Option(this, "Output salinity", keys::kSbe19plusOutputSal, store_);
  outputSv_ = Option(this, "Output sound velocity", keys::kSbe19plusOutputSv, store_);
  logRaw_ =
      Option(this, "Log raw data to ASCII file", keys::kSbe19plusLogRawDataToAsciiFile, store_);
  options->addRow(outputSal_);
  options->addRow(outputSv_);
  options->addRow(logRaw_);
  layout->addLayout(options);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CSbe19plusConfigDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CSbe19plusConfigDlg::reject);
  layout->addWidget(buttons);
}

void CSbe19plusConfigDlg::accept() {
  if (!form_->CheckAndTell(*prompts_, kCaption)) return;
  if (!prompts_->Ask(this, kConfirmCoefficientUpdate, kCaption, QMessageBox::Warning,
                     DialogPrompts::Buttons::YesNo)) {
    return;
  }
  form_->Write();
  // A stored format other than 0 or 1 is kept until the user picks one.
  if (format_->checkedId() >= 0) store_.Write(keys::kSbe19plusOutputFormat, format_->checkedId());
  store_.Write(keys::kSbe19plusAnalogInputs, analogInputs_->value());
  store_.Write(keys::kSbe19plusOutputSal, outputSal_->isChecked() ? 1 : 0);
  store_.Write(keys::kSbe19plusOutputSv, outputSv_->isChecked() ? 1 : 0);
  store_.Write(keys::kSbe19plusLogRawDataToAsciiFile, logRaw_->isChecked() ? 1 : 0);
  QDialog::accept();
}

}  // namespace vesk
