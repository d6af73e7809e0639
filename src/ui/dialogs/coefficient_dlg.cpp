#include "ui/dialogs/coefficient_dlg.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>

#include "instruments/ctd_model.h"
#include "ui/dialogs/coefficient_form.h"
#include "ui/dialogs/dialog_prompts.h"

namespace vesk {

CCoefficientDlg::CCoefficientDlg(SettingsStore& store, const CtdModel& model, QWidget* parent)
    : QDialog(parent), model_(model), prompts_(&StandardPrompts()) {
  setWindowTitle(model.dialogCaption);
  auto* layout = new QVBoxLayout(this);
  const CoefficientList list = model.coefficients();
  form_ = new CoefficientForm(store, list.section, list.texts, 2, this);
  layout->addWidget(form_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CCoefficientDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CCoefficientDlg::reject);
  layout->addWidget(buttons);
}

void CCoefficientDlg::accept() {
  if (!form_->CheckAndTell(*prompts_, model_.dialogCaption)) return;
  form_->Write();
  QDialog::accept();
}

}  // namespace vesk
