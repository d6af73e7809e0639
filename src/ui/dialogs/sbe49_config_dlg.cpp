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

}  // namespace

CSbe49ConfigDlg::CSbe49ConfigDlg(SettingsStore& store, QWidget* parent)
    : QDialog(parent), store_(store), prompts_(&StandardPrompts()) {
  setWindowTitle(kCaption);
  auto* layout = new QVBoxLayout(this);
  form_ = new CoefficientForm(store_, Sbe49CoefficientTable().section,
                              Sbe49CoefficientTable().Texts(), 3, this);
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
