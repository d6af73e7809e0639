#include "ui/dialogs/com_port_dlg_zev.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cstdio>

#include "seams/settings_store.h"
#include "ui/dialogs/dialog_prompts.h"
#include "ui/dialogs/serial_line_fields.h"

namespace vesk {
namespace {

constexpr const char* kNotUsed = "\nAuxiliary Port NOT USED.";
constexpr const char* kNmeaInput =
    "\nAuxiliary Port configured to accept GPS/NMEA data as an input.\n\n(Configure GPS/NMEA "
    "parsing options below)";
constexpr const char* kCtdOutput =
    "\nAuxiliary Port configured to output CTD data to an external instrument/device.";
constexpr const char* kNoDevice =
    "The Auxiliary port is used but names no device.\n\nChoose its device (for example "
    "/dev/ttyUSB0), or set the port to \"Not used\".";
constexpr const char* kNoTermination =
    "ERROR !!\n\nTalker ID %d has no 'Sentence Termination' characters selected.  A NMEA "
    "Sentence must have a 'Sentence Termination' to be logged.";
constexpr const char* kOneTermination =
    "WARNING !!\n\nProperly formatted NMEA sentences end with both a Carriage Return <CR> and a "
    "Line Feed <LF>.  Please ensure that your 'Sentence Termination' choices for Talker ID %d "
    "are correct.";
constexpr const char* kCaption = "Serial Port Configuration";
constexpr std::array<const char*, 3> kModeNames = {"Not used", "GPS/NMEA input", "CTD output"};
constexpr int kNmeaBitRate = 4800;
constexpr std::size_t kIdentifierLength = 6;

std::string WithEntry(const char* format, int entry) {
  char text[512];
  std::snprintf(text, sizeof text, format, entry);
  return text;
}

}  // namespace

std::string CheckNmeaIdentifier(const std::string& identifier) {
  if (identifier.empty()) return {};
  if (identifier.size() == kIdentifierLength && identifier[0] == '$') return {};
  return kNmeaIdentifierWarning;
}

TerminationCheck CheckNmeaTermination(int entry, bool cr, bool lf) {
  if (!cr && !lf) return {true, WithEntry(kNoTermination, entry)};
  if (cr != lf) return {false, WithEntry(kOneTermination, entry)};
  return {};
}

std::string NmeaTerminationText(bool cr, bool lf) {
  return std::string(cr ? "\r" : "") + (lf ? "\n" : "");
}

CComPortDlgZEV::CComPortDlgZEV(const SettingsStore& store, const PortSettings& settings,
                               QWidget* parent)
    : QWidget(parent), prompts_(&StandardPrompts()) {
  setObjectName("pageZEV");
  auto* layout = new QVBoxLayout(this);

  auto* modeBox = new QGroupBox("Auxiliary port use", this);
  auto* modeLayout = new QVBoxLayout(modeBox);
  mode_ = new QButtonGroup(this);
  for (int id = 0; id < static_cast<int>(kModeNames.size()); ++id) {
    auto* radio = new QRadioButton(kModeNames[id], modeBox);
    radio->setObjectName(QString("mode%1").arg(id));
    mode_->addButton(radio, id);
    modeLayout->addWidget(radio);
  }
  const int mode = store.Read(keys::kAuxPortMode);
  mode_->button(mode >= 0 && mode <= 2 ? mode : 0)->setChecked(true);
  modeText_ = new QLabel(modeBox);
  modeText_->setObjectName("modeText");
  modeLayout->addWidget(modeText_);
  layout->addWidget(modeBox);

  fields_ = new SerialLineFields(settings, kNmeaBitRate, this);
  layout->addWidget(fields_);

  nmea_ = new QGroupBox("GPS/NMEA sentences to capture", this);
  auto* grid = new QGridLayout(nmea_);
  grid->addWidget(new QLabel("Talker ID", nmea_), 0, 1);
  grid->addWidget(new QLabel("Sentence Termination", nmea_), 0, 2, 1, 2);
  for (int i = 0; i < kNmeaEntries; ++i) {
    const std::string n = std::to_string(i + 1);
    const std::string end = store.ReadString("NavSettings", "NmeaEnd" + n, "\r\n");
    accepted_[i] = QString::fromStdString(store.ReadString("NavSettings", "NmeaStart" + n, ""));
    ids_[i] = new QLineEdit(accepted_[i], nmea_);
    ids_[i]->setObjectName(QString("nmeaStart%1").arg(i + 1));
    cr_[i] = new QCheckBox("CR", nmea_);
    cr_[i]->setObjectName(QString("cr%1").arg(i + 1));
    cr_[i]->setChecked(end.find('\r') != std::string::npos);
    lf_[i] = new QCheckBox("LF", nmea_);
    lf_[i]->setObjectName(QString("lf%1").arg(i + 1));
    lf_[i]->setChecked(end.find('\n') != std::string::npos);
    grid->addWidget(new QLabel(QString::fromStdString(n), nmea_), i + 1, 0);
    grid->addWidget(ids_[i], i + 1, 1);
    grid->addWidget(cr_[i], i + 1, 2);
    grid->addWidget(lf_[i], i + 1, 3);
    connect(ids_[i], &QLineEdit::editingFinished, this, [this, i] { IdentifierLeft(i); });
  }
  layout->addWidget(nmea_);
  connect(mode_, &QButtonGroup::idClicked, this, &CComPortDlgZEV::ShowMode);
  ShowMode();
}

int CComPortDlgZEV::Mode() const {
  return mode_->checkedId();
}

PortSettings CComPortDlgZEV::Settings() const {
  return fields_->Settings();
}

QString CComPortDlgZEV::ModeText() const {
  return modeText_->text();
}

void CComPortDlgZEV::ShowMode() {
  const int mode = Mode();
  modeText_->setText(mode == 1 ? kNmeaInput : mode == 2 ? kCtdOutput : kNotUsed);
  nmea_->setEnabled(mode == 1);
}

bool CComPortDlgZEV::IdentifierLeft(int index) {
  QLineEdit* edit = ids_[index];
  const std::string warning = CheckNmeaIdentifier(edit->text().toStdString());
  if (warning.empty()) {
    accepted_[index] = edit->text();
    return true;
  }
  // Blocked while the box is up, so that losing the focus to it does not ask again.
  const QSignalBlocker block(edit);
  prompts_->Message(this, warning, kCaption, QMessageBox::Warning);
  edit->setText(accepted_[index]);
  edit->setFocus();
  return false;
}

bool CComPortDlgZEV::Validate() {
  if (Mode() != 0 && Settings().device.empty()) {
    prompts_->Message(this, kNoDevice, kCaption, QMessageBox::Warning);
    fields_->DeviceChooser()->setFocus();
    return false;
  }
  if (Mode() != 1) return true;  // the identifiers are neither used nor written
  for (int i = 0; i < kNmeaEntries; ++i) {
    if (!IdentifierLeft(i)) return false;
  }
  for (int i = 0; i < kNmeaEntries; ++i) {
    if (ids_[i]->text().isEmpty()) continue;
    const TerminationCheck check =
        CheckNmeaTermination(i + 1, cr_[i]->isChecked(), lf_[i]->isChecked());
    if (check.refused) {
      prompts_->Message(this, check.message, kCaption, QMessageBox::Critical);
      cr_[i]->setFocus();
      return false;
    }
    if (!check.message.empty()) {
      prompts_->Message(this, check.message, kCaption, QMessageBox::Warning);
    }
  }
  return true;
}

void CComPortDlgZEV::Write(SettingsStore& store) const {
  store.Write(keys::kAuxPortMode, Mode());
  if (Mode() != 1) return;
  for (int i = 0; i < kNmeaEntries; ++i) {
    const std::string n = std::to_string(i + 1);
    store.WriteString("NavSettings", "NmeaStart" + n, ids_[i]->text().toStdString());
    store.WriteString("NavSettings", "NmeaEnd" + n,
                      NmeaTerminationText(cr_[i]->isChecked(), lf_[i]->isChecked()));
  }
}

}  // namespace vesk
