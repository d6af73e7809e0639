#include "ui/dialogs/temp_cond_coeff_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>
#include <array>

#include "seams/settings_store.h"
#include "ui/dialogs/coefficient_form.h"
#include "ui/dialogs/dialog_prompts.h"

namespace vesk {
namespace {

constexpr const char* kCaption = "SBE19 Configuration";

QButtonGroup* Choice(QWidget* parent, QVBoxLayout* box, const char* name, const char* first,
                     const char* second, int checked) {
  auto* group = new QButtonGroup(parent);
  auto* row = new QHBoxLayout;
  int id = 0;
  for (const char* text : {first, second}) {
    auto* radio = new QRadioButton(QString::fromLatin1(text), parent);
    radio->setObjectName(QString::fromLatin1(name) + QString::number(id));
    group->addButton(radio, id++);
    row->addWidget(radio);
  }
  group->button(checked != 0 ? 1 : 0)->setChecked(true);
  box->addLayout(row);
  return group;
}

// The two coefficient sets of one choice side by side (the first `split` fields form set 0);
// only the chosen set can be edited.
std::array<CoefficientForm*, 2> SetPair(SettingsStore& store, std::span<const CoefficientField> f,
                                        std::size_t split, QButtonGroup* choice, QGroupBox* box,
                                        QVBoxLayout* layout) {
  std::array<CoefficientForm*, 2> forms = {
      new CoefficientForm(store, Sbe19CoefficientTable().section, f.first(split), 1, box),
      new CoefficientForm(store, Sbe19CoefficientTable().section, f.subspan(split), 1, box)};
  auto* row = new QHBoxLayout;
  for (CoefficientForm* form : forms) row->addWidget(form);
  layout->addLayout(row);
  auto enable = [forms, choice] {
    for (int id = 0; id < 2; ++id) forms[id]->setEnabled(choice->checkedId() == id);
  };
  QObject::connect(choice, &QButtonGroup::idToggled, box, enable);
  enable();
  return forms;
}

}  // namespace

CTempCondCoeffDlg::CTempCondCoeffDlg(SettingsStore& store, QWidget* parent)
    : QDialog(parent), store_(store), prompts_(&StandardPrompts()) {
  setWindowTitle(kCaption);
  // Two columns, so that the dialog fits a laptop's screen: temperature and pressure on the
  // left, conductivity and the options on the right.
  auto* layout = new QVBoxLayout(this);
  auto* columns = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  auto* right = new QVBoxLayout;
  columns->addLayout(left);
  columns->addLayout(right);
  layout->addLayout(columns);

  auto* tempBox = new QGroupBox("Temperature Coefficients", this);
  auto* tempLayout = new QVBoxLayout(tempBox);
  tempSet_ = Choice(this, tempLayout, "tempSet", "ITS-90 (G, H, I, J, F0)",
                    "IPTS-68 (A, B, C, D, F0)", store_.Read(keys::kTcTempCoeff));
  // The table's temperature, conductivity and pressure coefficients, each set beside the other.
  const std::vector<CoefficientText> texts = Sbe19CoefficientTable().Texts();
  const std::span<const CoefficientText> all(texts);
  temp_ = SetPair(store_, all.subspan(0, 10), 5, tempSet_, tempBox, tempLayout);
  left->addWidget(tempBox);

  auto* condBox = new QGroupBox("Conductivity Coefficients", this);
  auto* condLayout = new QVBoxLayout(condBox);
  condSet_ = Choice(this, condLayout, "condSet", "G, H, I, J, CPcor, CTcor", "A, B, C, D, M, CPcor",
                    store_.Read(keys::kTcCondCoeff));
  cond_ = SetPair(store_, all.subspan(10, 12), 6, condSet_, condBox, condLayout);
  condStandard_ = new QCheckBox("Standard conductivity frequency calculation", condBox);
  condStandard_->setObjectName("CondStandardCalc");
  condStandard_->setChecked(store_.ReadBool(keys::kTcCondStandardCalc));
  condLayout->addWidget(condStandard_);
  right->addWidget(condBox);

  auto* presBox = new QGroupBox("Pressure Coefficients", this);
  auto* presLayout = new QVBoxLayout(presBox);
  presSet_ = Choice(this, presLayout, "presSet", "Quadratic (PA0, PA1, PA2)", "Linear (M, B)",
                    store_.Read(keys::kTcPresCoeff));
  pres_ = SetPair(store_, all.subspan(22, 5), 3, presSet_, presBox, presLayout);
  left->addWidget(presBox);
  left->addStretch(1);

  auto* options = new QFormLayout;
  analog_ = new QComboBox(this);
  analog_->setObjectName("SBE_Analog");
  for (int n : {0, 2, 4}) analog_->addItem(QString::number(n), n);
  const int analogIndex = analog_->findData(store_.Read(keys::kTcSbeAnalog));
  analog_->setCurrentIndex(analogIndex < 0 ? 0 : analogIndex);
  options->addRow("Analog channels", analog_);
  firmware_ = new QLineEdit(QString::fromStdString(store_.Read(keys::kTcSbeFirmwareVersion)), this);
  firmware_->setObjectName("SBEFirmwareVersion");
  options->addRow("SBE Firmware Version", firmware_);
  logRaw_ = new QCheckBox("Log raw data to ASCII file", this);
  logRaw_->setObjectName("LogRawDataToAsciiFile");
  logRaw_->setChecked(store_.ReadBool(keys::kTcLogRawDataToAsciiFile));
  options->addRow(logRaw_);
  right->addLayout(options);
  right->addStretch(1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CTempCondCoeffDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CTempCondCoeffDlg::reject);
  layout->addWidget(buttons);
}

void CTempCondCoeffDlg::accept() {
  std::string refusal;
  for (const auto* pair : {&temp_, &cond_, &pres_}) {
    for (CoefficientForm* form : *pair) {
      if (refusal.empty()) refusal = form->Check();
    }
  }
  if (refusal.empty()) {
    refusal = CheckCoefficientText("SBE Firmware Version", firmware_->text().toStdString());
    if (!refusal.empty()) firmware_->setFocus();
  }
  if (!refusal.empty()) {
    prompts_->Message(this, refusal, kCaption, QMessageBox::Warning);
    return;
  }
  if (!prompts_->Ask(this, kConfirmCoefficientUpdate, kCaption, QMessageBox::Warning,
                     DialogPrompts::Buttons::YesNo)) {
    return;  // the dialog stays open, the store unchanged
  }
  for (const auto* pair : {&temp_, &cond_, &pres_}) {
    for (CoefficientForm* form : *pair) form->Write();
  }
  store_.Write(keys::kTcTempCoeff, tempSet_->checkedId());
  store_.Write(keys::kTcCondCoeff, condSet_->checkedId());
  store_.Write(keys::kTcPresCoeff, presSet_->checkedId());
  store_.Write(keys::kTcSbeAnalog, analog_->currentData().toInt());
  store_.Write(keys::kTcSbeFirmwareVersion, firmware_->text().trimmed().toStdString());
  store_.Write(keys::kTcCondStandardCalc, condStandard_->isChecked() ? 1 : 0);
  store_.Write(keys::kTcLogRawDataToAsciiFile, logRaw_->isChecked() ? 1 : 0);
  QDialog::accept();
}

}  // namespace vesk
