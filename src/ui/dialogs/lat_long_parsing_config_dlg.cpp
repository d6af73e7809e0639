#include "ui/dialogs/lat_long_parsing_config_dlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cstdio>

#include "acquisition/vesk_doc.h"
#include "ui/dialogs/dialog_prompts.h"

namespace vesk {
namespace {

constexpr const char* kCaption = "LAT/LONG Parsing Configuration";
constexpr const char* kSentenceLabel = "NMEA sentence to parse";
constexpr const char* kStaleLabel = "Position stale after";
constexpr const char* kHint =
    "Field positions count from 1, the sentence identifier being field 1\n(for $GPGGA: time 2, "
    "latitude 3, N/S 4, longitude 5, E/W 6).";
constexpr const char* kSameFieldFormat =
    "%s and %s are both set to field %d: each field of the sentence holds one value.\n\n"
    "Please correct the field positions.";

struct PositionField {
  const IntKey* key;
  const char* label;
};
const std::array<PositionField, 5> kPositions = {{{&keys::kLatPos, "Latitude"},
                                                  {&keys::kLatNsPos, "N/S indicator"},
                                                  {&keys::kLongPos, "Longitude"},
                                                  {&keys::kLongEwPos, "E/W indicator"},
                                                  {&keys::kTimePos, "UTC time"}}};

}  // namespace

CLatLongParsingConfigDlg::CLatLongParsingConfigDlg(CVESKDoc& doc, QWidget* parent)
    : QDialog(parent), doc_(doc) {
  setWindowTitle(kCaption);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  sentence_ = new QComboBox(this);
  sentence_->setObjectName("SentenceToParse");
  sentence_->setEditable(true);
  // The captured identifiers are the useful choices.
  for (int i = 1; i <= 4; ++i) {
    const std::string id =
        doc_.Store().ReadString("NavSettings", "NmeaStart" + std::to_string(i), "");
    if (!id.empty()) sentence_->addItem(QString::fromStdString(id));
  }
  sentence_->setCurrentText(QString::fromStdString(doc_.Store().Read(keys::kSentenceToParse)));
  form->addRow(kSentenceLabel, sentence_);
  for (std::size_t i = 0; i < kPositions.size(); ++i) {
    positions_[i] = new QSpinBox(this);
    positions_[i]->setObjectName(kPositions[i].key->key);
    positions_[i]->setRange(0, kMaxFieldPosition);
    positions_[i]->setValue(doc_.Store().Read(*kPositions[i].key));
    form->addRow(kPositions[i].label, positions_[i]);
  }
  staleSeconds_ = new QSpinBox(this);
  staleSeconds_->setObjectName(keys::kStaleFixSeconds.key);
  staleSeconds_->setRange(1, kMaxStaleSeconds);
  staleSeconds_->setSuffix(" s");
  staleSeconds_->setValue(doc_.Store().Read(keys::kStaleFixSeconds));
  form->addRow(kStaleLabel, staleSeconds_);
  layout->addLayout(form);
  layout->addWidget(new QLabel(kHint, this));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CLatLongParsingConfigDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CLatLongParsingConfigDlg::reject);
  layout->addWidget(buttons);
}

void CLatLongParsingConfigDlg::accept() {
  // Two values read from one field would show a position that was never sent.
  for (std::size_t i = 0; i < kPositions.size(); ++i) {
    for (std::size_t j = i + 1; j < kPositions.size(); ++j) {
      const int field = positions_[i]->value();
      if (field == 0 || field != positions_[j]->value()) continue;
      char text[256];
      std::snprintf(text, sizeof text, kSameFieldFormat, kPositions[i].label, kPositions[j].label,
                    field);
      StandardPrompts().Message(this, text, kCaption, QMessageBox::Warning);
      positions_[j]->setFocus();
      return;
    }
  }
  doc_.Store().Write(keys::kSentenceToParse, sentence_->currentText().trimmed().toStdString());
  for (std::size_t i = 0; i < kPositions.size(); ++i) {
    doc_.Store().Write(*kPositions[i].key, positions_[i]->value());
  }
  doc_.Store().Write(keys::kStaleFixSeconds, staleSeconds_->value());
  // The parser uses the settings loaded at the start of acquisition; between scans the
  // document follows at once. The stale limit only changes what the window shows: at once.
  if (!doc_.Scanning()) doc_.LoadNavSettings();
  doc_.ChangeSettings(
      [&](DocumentSettings& s) { s.scan.nav.staleFixSeconds = staleSeconds_->value(); });
  QDialog::accept();
}

}  // namespace vesk
