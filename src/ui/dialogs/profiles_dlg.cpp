#include "ui/dialogs/profiles_dlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "files/profile_record.h"
#include "ui/dialogs/dialog_prompts.h"

namespace vesk {
namespace {

constexpr const char* kCaption = "Profiles";
constexpr const char* kNote =
    "The cast products: the cast cut into down and up profiles at its turns, each summed in\n"
    "depth bins (concentration with its 95 % interval) and as a size spectrum with its slope.\n"
    "Used by the next scan, its Profile view and its files, and by vesk-process.";

QLineEdit* NumberField(QWidget* parent, const char* name, double value) {
  auto* field = new QLineEdit(QString::number(value, 'g', 15), parent);
  field->setObjectName(QString::fromLatin1(name));
  return field;
}

// The field's number; NaN (refused by ProfileSettings::Problem) when it is none.
double Value(const QLineEdit* field) {
  bool ok = false;
  const double v = field->text().trimmed().toDouble(&ok);
  return ok ? v : kMissing;
}

}  // namespace

CProfilesDlg::CProfilesDlg(SettingsStore& store, QWidget* parent) : QDialog(parent), store_(store) {
  setWindowTitle(QString::fromLatin1(kCaption));
  ProfileSettings s = ProfileSettings::Read(store_);
  // A stored value that is not a number is shown as the default.
  const ProfileSettings defaults;
  for (auto [value, fallback] : {std::pair{&s.depthBin, defaults.depthBin},
                                 {&s.turnHysteresis, defaults.turnHysteresis},
                                 {&s.minExtent, defaults.minExtent},
                                 {&s.frameInterval, defaults.frameInterval},
                                 {&s.spectrumMinUm, defaults.spectrumMinUm},
                                 {&s.spectrumMaxUm, defaults.spectrumMaxUm}}) {
    if (IsMissing(*value)) *value = fallback;
  }
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QString::fromLatin1(kNote), this));
  auto* form = new QFormLayout;
  depthBin_ = NumberField(this, "depthBin", s.depthBin);
  hysteresis_ = NumberField(this, "turnHysteresis", s.turnHysteresis);
  minExtent_ = NumberField(this, "minExtent", s.minExtent);
  loopEdit_ = new QCheckBox(QStringLiteral("Use a frame only when the cast has gone on past it"));
  loopEdit_->setObjectName(QStringLiteral("loopEdit"));
  loopEdit_->setChecked(s.loopEdit);
  frameInterval_ = NumberField(this, "frameInterval", s.frameInterval);
  spectrumMin_ = NumberField(this, "spectrumMinUm", s.spectrumMinUm);
  spectrumMax_ = NumberField(this, "spectrumMaxUm", s.spectrumMaxUm);
  form->addRow("Depth bin (m)", depthBin_);
  form->addRow("Turn hysteresis (m)", hysteresis_);
  form->addRow("Least depth range of a profile (m)", minExtent_);
  form->addRow("Loop edit", loopEdit_);
  form->addRow("L frame interval (s)", frameInterval_);
  form->addRow("Spectrum slope from (um)", spectrumMin_);
  form->addRow("Spectrum slope to (um)", spectrumMax_);
  layout->addLayout(form);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CProfilesDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CProfilesDlg::reject);
  layout->addWidget(buttons);
}

void CProfilesDlg::accept() {
  ProfileSettings s;
  s.depthBin = Value(depthBin_);
  s.turnHysteresis = Value(hysteresis_);
  s.minExtent = Value(minExtent_);
  s.loopEdit = loopEdit_->isChecked();
  s.frameInterval = Value(frameInterval_);
  s.spectrumMinUm = Value(spectrumMin_);
  s.spectrumMaxUm = Value(spectrumMax_);
  if (const std::string problem = s.Problem(); !problem.empty()) {
    StandardPrompts().Message(this, problem, kCaption, QMessageBox::Warning);
    return;
  }
  s.Write(store_);
  QDialog::accept();
}

}  // namespace vesk
