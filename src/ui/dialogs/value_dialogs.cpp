#include "ui/dialogs/value_dialogs.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "acquisition/vesk_doc.h"
#include "ui/dialogs/dialog_prompts.h"

namespace vesk {
namespace {

constexpr const char* kBoundsGreater = "The Lower Bound CANNOT BE GREATER than the Upper Bound";
constexpr const char* kBoundsEqual = "The Lower Bound CANNOT EQUAL the Upper Bound";
constexpr const char* kBoundsRange = "Please enter an integer between 0 and 127.";
constexpr const char* kLatitudeRange = "Please enter a number between -90 and 90.";
constexpr const char* kLatitudeFormat = "Format must be decimal degrees ( DD.DDDD )";
constexpr const char* kConstantConfirm =
    "Please confirm that you wish to change the Counter Constant.";
constexpr const char* kConstantEmpty =
    "This value cannot be empty.  \n\nIf you do not wish to use the Counter Constant, set it "
    "to 0.";
constexpr const char* kConstantNumber =
    "The Counter Constant must be a number (for example 1.25 or 0).";
constexpr const char* kMepRange = "Please enter an integer between 1 and 1000.";
constexpr const char* kFirmwareNumber =
    "Please enter the firmware version as a number (for example 2.25).";
constexpr const char* kFirmwareReported = "The counter reported firmware version %s.";
constexpr const char* kFirmwareUse = "Use %s";
constexpr const char* kFirmwareNotReported =
    "The counter has not reported its firmware version yet: it does so (\"VESK VERSION:\") "
    "while it is connected and idle.";
constexpr const char* kVersionTag = "VESK VERSION:";

constexpr int kMaxBin = 127;
constexpr int kMaxMep = 1000;

std::string Trimmed(std::string_view text) {
  std::size_t b = 0;
  std::size_t e = text.size();
  while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
  return std::string(text.substr(b, e - b));
}

std::string ToStd(const QString& text) {
  return text.toLatin1().toStdString();
}

}  // namespace

std::optional<double> ParseDecimalText(std::string_view text) {
  const std::string t = Trimmed(text);
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  int digits = 0;
  while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
    const std::size_t expStart = j;
    while (j < t.size() && std::isdigit(static_cast<unsigned char>(t[j]))) ++j;
    if (j == expStart) return std::nullopt;
    i = j;
  }
  if (i != t.size()) return std::nullopt;
  return ParseReal(t);
}

std::string ReportedFirmwareVersion(std::string_view counterText) {
  const std::size_t at = counterText.rfind(kVersionTag);
  if (at == std::string_view::npos) return {};
  std::size_t end = counterText.find_first_of("\r\n", at);
  if (end == std::string_view::npos) end = counterText.size();
  const std::string version = Trimmed(
      counterText.substr(at + std::strlen(kVersionTag), end - at - std::strlen(kVersionTag)));
  return ValidateFirmwareVersion(version).empty() ? version : std::string();
}

std::string ValidateFirmwareVersion(std::string_view text) {
  const auto v = ParseDecimalText(text);
  return v && *v > 0 ? std::string() : kFirmwareNumber;
}

std::string ValidateWindowBounds(int lower, int upper) {
  if (lower < 0 || lower > kMaxBin || upper < 0 || upper > kMaxBin) return kBoundsRange;
  if (lower > upper) return kBoundsGreater;
  if (lower == upper) return kBoundsEqual;
  return {};
}

std::string ValidateSurveyLat(std::string_view text) {
  const auto v = ParseDecimalText(text);
  return v && *v >= -90.0 && *v <= 90.0 ? std::string() : kLatitudeRange;
}

std::string ValidateCounterConstant(std::string_view text) {
  if (Trimmed(text).empty()) return kConstantEmpty;
  return ParseDecimalText(text) ? std::string() : kConstantNumber;
}

std::string ValidateMaxMepLength(int length) {
  return length >= 1 && length <= kMaxMep ? std::string() : kMepRange;
}

// --- CValueDlg ---------------------------------------------------------------------------

CValueDlg::CValueDlg(CVESKDoc& doc, QWidget* parent, const char* caption)
    : QDialog(parent), doc_(doc), prompts_(&StandardPrompts()) {
  setWindowTitle(caption);
  setModal(true);
  body_ = new QVBoxLayout(this);
}

void CValueDlg::FinishLayout() {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CValueDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CValueDlg::reject);
  body_->addWidget(buttons);
}

void CValueDlg::accept() {
  if (!Confirm()) return;
  const std::string error = Validate();
  if (!error.empty()) {
    prompts_->Message(this, error, windowTitle().toStdString(), QMessageBox::Warning);
    if (QWidget* field = Field()) field->setFocus();
    return;
  }
  Apply();
  QDialog::accept();
}

// --- the dialogs ---------------------------------------------------------------------------

CFirmwareVersionDlg::CFirmwareVersionDlg(CVESKDoc& doc, QWidget* parent)
    : CValueDlg(doc, parent, "VESK Firmware Version") {
  // What the counter said of itself, offered in place of typing it.
  const std::string reported = ReportedFirmwareVersion(doc_.Settings().eepromData);
  char text[256];
  std::snprintf(text, sizeof text, reported.empty() ? kFirmwareNotReported : kFirmwareReported,
                reported.c_str());
  auto* help = new QLabel(QString::fromLatin1(text), this);
  help->setObjectName("reportedVersion");
  help->setWordWrap(true);
  Body()->addWidget(help);
  version_ = new QLineEdit(QString::fromStdString(doc_.Store().Read(keys::kFirmwareVer)), this);
  auto* form = new QFormLayout();
  if (reported.empty()) {
    form->addRow("Firmware Version:", version_);
  } else {
    std::snprintf(text, sizeof text, kFirmwareUse, reported.c_str());
    auto* use = new QPushButton(QString::fromLatin1(text), this);
    use->setObjectName("useReportedVersion");
    use->setAutoDefault(false);
    connect(use, &QPushButton::clicked, this,
            [this, reported] { version_->setText(QString::fromStdString(reported)); });
    auto* row = new QHBoxLayout();
    row->addWidget(version_, 1);
    row->addWidget(use);
    form->addRow("Firmware Version:", row);
  }
  Body()->addLayout(form);
  FinishLayout();
}

std::string CFirmwareVersionDlg::Validate() const {
  return ValidateFirmwareVersion(ToStd(version_->text()));
}

void CFirmwareVersionDlg::Apply() {
  const std::string text = Trimmed(ToStd(version_->text()));
  doc_.Store().Write(keys::kFirmwareVer, text);
  doc_.ChangeSettings([&](DocumentSettings& s) { s.scan.firmwareVersion = ParseReal(text); });
}

CWindowCountBoundsDlg::CWindowCountBoundsDlg(CVESKDoc& doc, QWidget* parent)
    : CValueDlg(doc, parent, "Set Window Counts Bounds") {
  lower_ = new QSpinBox(this);
  upper_ = new QSpinBox(this);
  for (QSpinBox* s : {lower_, upper_}) s->setRange(0, kMaxBin);
  lower_->setValue(doc_.Settings().scan.windowLowerBound);
  upper_->setValue(doc_.Settings().scan.windowUpperBound);
  auto* form = new QFormLayout();
  form->addRow("Lower Bound", lower_);
  form->addRow("Upper Bound", upper_);
  Body()->addLayout(form);
  FinishLayout();
}

std::string CWindowCountBoundsDlg::Validate() const {
  return ValidateWindowBounds(lower_->value(), upper_->value());
}

void CWindowCountBoundsDlg::Apply() {
  {
    doc_.ChangeSettings([&](DocumentSettings& s) {
      s.scan.windowLowerBound = lower_->value();
      s.scan.windowUpperBound = upper_->value();
    });
  }
  doc_.Store().Write(keys::kWindowCountsLowerBound, lower_->value());
  doc_.Store().Write(keys::kWindowCountsUpperBound, upper_->value());
}

CSurveyLatDlg::CSurveyLatDlg(CVESKDoc& doc, QWidget* parent)
    : CValueDlg(doc, parent, "Set Survey Latitude") {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", doc_.Store().ReadReal(keys::kSurveyLat));
  latitude_ = new QLineEdit(text, this);
  auto* form = new QFormLayout();
  form->addRow("Survey Latitude:", latitude_);
  Body()->addLayout(form);
  Body()->addWidget(new QLabel(kLatitudeFormat, this));
  FinishLayout();
}

std::string CSurveyLatDlg::Validate() const {
  return ValidateSurveyLat(ToStd(latitude_->text()));
}

void CSurveyLatDlg::Apply() {
  const double lat = ParseDecimalText(ToStd(latitude_->text())).value_or(0);
  {
    doc_.ChangeSettings([&](DocumentSettings& s) { s.scan.surveyLat = lat; });
  }
  doc_.Store().WriteReal(keys::kSurveyLat.section, keys::kSurveyLat.key, lat);
}

CUserHeaderDlg::CUserHeaderDlg(CVESKDoc& doc, QWidget* parent)
    : CValueDlg(doc, parent, "User Supplied File Header") {
  header_ = new QPlainTextEdit(this);
  header_->setPlainText(QString::fromLatin1(doc_.Store().Read(keys::kUserSuppliedFileHeader)));
  header_->setMinimumSize(420, 160);
  Body()->addWidget(header_);
  FinishLayout();
}

void CUserHeaderDlg::Apply() {
  const std::string text = ToStd(header_->toPlainText());
  doc_.Store().Write(keys::kUserSuppliedFileHeader, text);
  doc_.ChangeSettings([&](DocumentSettings& s) { s.userSuppliedFileHeader = text; });
}

CCounterConstantDlg::CCounterConstantDlg(CVESKDoc& doc, QWidget* parent)
    : CValueDlg(doc, parent, "Set Counter Constant") {
  constant_ =
      new QLineEdit(QString::fromStdString(doc_.Store().Read(keys::kCounterConstant)), this);
  auto* form = new QFormLayout();
  form->addRow("Counter Constant:", constant_);
  Body()->addLayout(form);
  FinishLayout();
}

bool CCounterConstantDlg::Confirm() {
  return Prompts().Ask(this, kConstantConfirm, windowTitle().toStdString(), QMessageBox::Question,
                       DialogPrompts::Buttons::OkCancel);
}

std::string CCounterConstantDlg::Validate() const {
  return ValidateCounterConstant(ToStd(constant_->text()));
}

void CCounterConstantDlg::Apply() {
  const std::string text = Trimmed(ToStd(constant_->text()));
  doc_.Store().Write(keys::kCounterConstant, text);
  doc_.ChangeSettings([&](DocumentSettings& s) {
    s.scan.counterConstantText = text;
    s.scan.counterScale = ParseReal(text) / kCounterReferenceConstant;
  });
}

CMaxMepLengthDlg::CMaxMepLengthDlg(CVESKDoc& doc, QWidget* parent)
    : CValueDlg(doc, parent, "Set Maximum MEP Length") {
  length_ = new QSpinBox(this);
  length_->setRange(1, kMaxMep);
  length_->setValue(doc_.Store().Read(keys::kMaxMepLength));
  auto* form = new QFormLayout();
  form->addRow("Maximum MEP Length:", length_);
  Body()->addLayout(form);
  FinishLayout();
}

std::string CMaxMepLengthDlg::Validate() const {
  return ValidateMaxMepLength(length_->value());
}

void CMaxMepLengthDlg::Apply() {
  doc_.Store().Write(keys::kMaxMepLength, length_->value());
  doc_.ChangeSettings([&](DocumentSettings& s) { s.scan.maxMepLength = length_->value(); });
}

QWidget* CFirmwareVersionDlg::Field() const {
  return version_;
}
QWidget* CWindowCountBoundsDlg::Field() const {
  return lower_;
}
QWidget* CSurveyLatDlg::Field() const {
  return latitude_;
}
QWidget* CUserHeaderDlg::Field() const {
  return header_;
}
QWidget* CCounterConstantDlg::Field() const {
  return constant_;
}
QWidget* CMaxMepLengthDlg::Field() const {
  return length_;
}

}  // namespace vesk
