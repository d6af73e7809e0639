#include "ui/dialogs/os200_config_dlg.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>
#include <array>

#include "ui/dialogs/coefficient_form.h"
#include "ui/dialogs/dialog_prompts.h"

namespace vesk {
namespace {

constexpr const char* kCaption = "OS200 Configuration";

}  // namespace

COS200ConfigDlg::COS200ConfigDlg(SettingsStore& store, QWidget* parent)
    : QDialog(parent), prompts_(&StandardPrompts()) {
  setWindowTitle(kCaption);
  auto* layout = new QVBoxLayout(this);
  form_ = new CoefficientForm(store, Os200CoefficientTable().section,
                              Os200CoefficientTable().Texts(), 2, this);
  layout->addWidget(form_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &COS200ConfigDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &COS200ConfigDlg::reject);
  layout->addWidget(buttons);
}

void COS200ConfigDlg::accept() {
  if (!form_->CheckAndTell(*prompts_, kCaption)) return;
  form_->Write();
  QDialog::accept();
}

}  // namespace vesk
