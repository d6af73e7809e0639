#include "ui/dialogs/sbe49_config_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>
#include <array>

#include "seams/settings_store.h"
#include "ui/dialogs/coefficient_form.h"
#include "ui/dialogs/dialog_prompts.h"

namespace vesk {
namespace {

constexpr const char* kCaption = "Sea-Bird SBE49 Input Configuration";
constexpr const char* kOutputFormatHint = "OUTPUTFORMAT=3 recommended";

constexpr std::array<CoefficientField, 22> kFields = {{
    {"TA0", "TA0", "0.0"},
    {"TA1", "TA1", "0.0"},
    {"TA2", "TA2", "0.0"},
    {"TA3", "TA3", "0.0"},
    {"G", "G", "0.0"},
    {"H", "H", "0.0"},
    {"I", "I", "0.0"},
    {"J", "J", "0.0"},
    {"CPCOR", "CPCOR", "0.0"},
    {"CTCOR", "CTCOR", "0.0"},
    {"PA0", "PA0", "0.0"},
    {"PA1", "PA1", "0.0"},
    {"PA2", "PA2", "0.0"},
    {"PTCA0", "PTCA0", "0.0"},
    {"PTCA1", "PTCA1", "0.0"},
    {"PTCA2", "PTCA2", "0.0"},
    {"PTCB0", "PTCB0", "0.0"},
    {"PTCB1", "PTCB1", "0.0"},
    {"PTCB2", "PTCB2", "0.0"},
    {"PTEMPA0", "PTEMPA0", "0.0"},
    {"PTEMPA1", "PTEMPA1", "0.0"},
    {"PTEMPA2", "PTEMPA2", "0.0"},
}};

}  // namespace

CSbe49ConfigDlg::CSbe49ConfigDlg(SettingsStore& store, QWidget* parent)
    : QDialog(parent), store_(store), prompts_(&StandardPrompts()) {
  setWindowTitle(kCaption);
  auto* layout = new QVBoxLayout(this);
  form_ = new CoefficientForm(store_, "SBE49", kFields, 3, this);
  layout->addWidget(form_);
  auto* options = new QFormLayout;
  outputFormat_ = new QSpinBox(this);
  outputFormat_->setObjectName("OUTPUTFORMAT");
  outputFormat_->setRange(0, 3);
  outputFormat_->setValue(store_.Read(keys::kSbe49OutputFormat));
  options->addRow("OUTPUTFORMAT", outputFormat_);
  options->addRow(new QLabel(kOutputFormatHint, this));
  layout->addLayout(options);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CSbe49ConfigDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CSbe49ConfigDlg::reject);
  layout->addWidget(buttons);
}

void CSbe49ConfigDlg::accept() {
  if (!form_->CheckAndTell(*prompts_, kCaption)) return;
  form_->Write();
  store_.Write(keys::kSbe49OutputFormat, outputFormat_->value());
  QDialog::accept();
}

}  // namespace vesk
