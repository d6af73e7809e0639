#include "ui/dialogs/grid_scaling_factor_dlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "acquisition/vesk_doc.h"

namespace vesk {

CGridScalingFactorDlg::CGridScalingFactorDlg(CVESKDoc& doc, QWidget* parent)
    : QDialog(parent), doc_(doc) {
  setWindowTitle(kGridScalingFactorTitle);
  setObjectName("gridScalingFactorDlg");
  auto* layout = new QVBoxLayout(this);
  for (const char* text : {kGridScalingFactorText, kGridScalingFactorText2}) {
    auto* label = new QLabel(QString::fromLatin1(text), this);
    label->setWordWrap(true);
    layout->addWidget(label);
  }
  spin_ = new QSpinBox(this);
  spin_->setObjectName("scalingFactorSpin");
  spin_->setRange(kMinimum, kMaximum);
  spin_->setValue(Accepted(doc_.Store().Read(keys::kGridScalingFactor)));
  layout->addWidget(spin_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

int CGridScalingFactorDlg::Accepted(int value) {
  return std::clamp(value, kMinimum, kMaximum);
}

int CGridScalingFactorDlg::Value() const {
  return spin_->value();
}

void CGridScalingFactorDlg::SetValue(int value) {
  spin_->setValue(value);
}

void CGridScalingFactorDlg::accept() {
  spin_->interpretText();
  const int value = Accepted(spin_->value());
  doc_.Store().Write(keys::kGridScalingFactor, value);
  doc_.ChangeSettings([&](DocumentSettings& s) { s.scan.gridScalingFactor = value; });
  QDialog::accept();
}

}  // namespace vesk
