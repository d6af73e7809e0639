#include "ui/dialogs/extract_data_stream_dlg.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "files/file_naming.h"
#include "seams/settings_store.h"
#include "ui/dialogs/dialog_prompts.h"

namespace vesk {
namespace {

constexpr const char* kCaption = "Extract Data Stream";
constexpr const char* kBrowse = "Browse";
constexpr const char* kExtract = "EXTRACT";
constexpr const char* kClose = "Close";
constexpr const char* kBinned = "VESK Binned Data (ESD)";
constexpr const char* kCtd = "CTD Data ..............";
constexpr const char* kGps = "GPS Data ..............";
constexpr const char* kMep = "VESK MEP Data";
constexpr const char* kAux = "AUX Data";
constexpr const char* kStripCtd =
    "Exclude Framing chars (~C ... ~*).  Replace EOF chars (~*) with <CR><LF>.";
constexpr const char* kStripGps = "Exclude Framing chars (~$ ... ~*)";
constexpr const char* kStripAuxFormat = "Exclude Framing chars (~%s ... ~*).";
constexpr const char* kSizeRange = "Data packet size range:";
// The same text as the extraction's own open failure, checked before the output is asked for.
constexpr int kProgressSteps = 1000;

QCheckBox* Box(QWidget* parent, const char* name, const char* text) {
  auto* box = new QCheckBox(QString::fromLatin1(text), parent);
  box->setObjectName(name);
  return box;
}

constexpr const char* kTextFileFilter = "Text Files (*.txt);;All Files (*)";

std::optional<std::string> AskOutput(QWidget* parent, bool text) {
  QFileDialog dialog(parent, kCaption, QString(), text ? kTextFileFilter : kBinFileFilter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(text ? "txt" : "bin");
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front().toStdString();
}

// The failure text of an input that cannot be read, or "".
std::string CheckInput(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  int err = fd < 0 ? errno : 0;
  if (fd >= 0) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
      err = errno;
    else if (S_ISDIR(st.st_mode))
      err = EISDIR;
    ::close(fd);
  }
  if (err == 0) return {};
  char text[4096];
  std::snprintf(text, sizeof text, kOpenInputText, path.c_str(), static_cast<unsigned>(err),
                std::strerror(err));
  return text;
}

}  // namespace

std::string AuxFramingLabel(char auxType) {
  char text[64];
  const char letter[2] = {auxType, '\0'};
  std::snprintf(text, sizeof text, kStripAuxFormat, letter);
  return text;
}

char AuxTypeOf(const std::string& selection) {
  return selection.empty() ? '_' : selection[0];
}

CExtractDataStreamDlg::CExtractDataStreamDlg(SettingsStore& store, QWidget* parent)
    : QDialog(parent), store_(store), prompts_(&StandardPrompts()), chooseOutput_(AskOutput) {
  setWindowTitle(kCaption);
  auto* layout = new QVBoxLayout(this);

  auto* inputRow = new QHBoxLayout;
  input_ = new QLineEdit(this);
  input_->setPlaceholderText(kExtractInputPrompt);
  input_->setObjectName("input");
  auto* browse = new QPushButton(kBrowse, this);
  browse->setObjectName("browse");
  inputRow->addWidget(input_, 1);
  inputRow->addWidget(browse);
  layout->addLayout(inputRow);

  auto* streams = new QGroupBox("Data streams", this);
  auto* grid = new QGridLayout(streams);
  binned_ = Box(streams, "binned", kBinned);
  ctd_ = Box(streams, "ctd", kCtd);
  gps_ = Box(streams, "gps", kGps);
  mep_ = Box(streams, "mep", kMep);
  aux_ = Box(streams, "aux", kAux);
  stripCtd_ = Box(streams, "stripCtd", kStripCtd);
  stripGps_ = Box(streams, "stripGps", kStripGps);
  stripAux_ = Box(streams, "stripAux", AuxFramingLabel(kDefaultAuxType).c_str());
  auxType_ = new QComboBox(streams);
  auxType_->setObjectName("auxType");
  auxType_->setEditable(true);
  for (char c = 'A'; c <= 'Z'; ++c) auxType_->addItem(QString(QChar(c)));
  // One character; "~" starts every frame and cannot name one.
  auxType_->setValidator(new QRegularExpressionValidator(QRegularExpression("[^~]?"), auxType_));
  auxType_->setCurrentText(QString(QChar(kDefaultAuxType)));
  grid->addWidget(binned_, 0, 0);
  grid->addWidget(ctd_, 1, 0);
  grid->addWidget(stripCtd_, 1, 1);
  grid->addWidget(gps_, 2, 0);
  grid->addWidget(stripGps_, 2, 1);
  grid->addWidget(mep_, 3, 0);
  auto* auxRow = new QHBoxLayout;
  auxRow->addWidget(aux_);
  auxRow->addWidget(auxType_);
  grid->addLayout(auxRow, 4, 0);
  grid->addWidget(stripAux_, 4, 1);
  layout->addWidget(streams);

  auto* range = new QHBoxLayout;
  range->addWidget(new QLabel(kSizeRange, this));
  min_ = new QSpinBox(this);
  min_->setObjectName("minAuxFrame");
  max_ = new QSpinBox(this);
  max_->setObjectName("maxAuxFrame");
  for (QSpinBox* s : {min_, max_}) s->setRange(0, kAuxFrameLimitMax);
  min_->setValue(store_.Read(keys::kMinAuxFrame));
  max_->setValue(store_.Read(keys::kMaxAuxFrame));
  range->addWidget(min_);
  range->addWidget(new QLabel("to", this));
  range->addWidget(max_);
  range->addStretch();
  layout->addLayout(range);

  progress_ = new QProgressBar(this);
  progress_->setObjectName("progress");
  progress_->setRange(0, kProgressSteps);
  progress_->setValue(0);
  layout->addWidget(progress_);

  auto* buttons = new QHBoxLayout;
  extract_ = new QPushButton(kExtract, this);
  extract_->setObjectName("extract");
  auto* close = new QPushButton(kClose, this);
  buttons->addStretch();
  buttons->addWidget(extract_);
  buttons->addWidget(close);
  layout->addLayout(buttons);

  connect(browse, &QPushButton::clicked, this, &CExtractDataStreamDlg::Browse);
  connect(extract_, &QPushButton::clicked, this, &CExtractDataStreamDlg::Extract);
  connect(input_, &QLineEdit::textChanged, this, &CExtractDataStreamDlg::UpdateExtract);
  for (QCheckBox* stream : {binned_, ctd_, gps_, mep_, aux_})
    connect(stream, &QCheckBox::toggled, this, &CExtractDataStreamDlg::UpdateExtract);
  connect(close, &QPushButton::clicked, this, &CExtractDataStreamDlg::reject);
  connect(aux_, &QCheckBox::toggled, this, &CExtractDataStreamDlg::AuxToggled);
  connect(stripAux_, &QCheckBox::toggled, this, &CExtractDataStreamDlg::StripAuxToggled);
  connect(auxType_, &QComboBox::currentTextChanged, this, &CExtractDataStreamDlg::AuxTypeChanged);
  AuxToggled(false);
  StripAuxToggled(false);
  UpdateExtract();
}

void CExtractDataStreamDlg::UpdateExtract() {
  const StreamExtractOptions o = Options();
  const bool stream = o.binned || o.ctd || o.gps || o.mep || o.aux;
  extract_->setEnabled(stream && !input_->text().trimmed().isEmpty());
}

bool CExtractDataStreamDlg::TextOutput() const {
  const StreamExtractOptions o = Options();
  const bool anyText = (o.ctd && o.stripCtd) || (o.gps && o.stripGps) || (o.aux && o.stripAux);
  const bool anyFramed = o.binned || o.mep || (o.ctd && !o.stripCtd) || (o.gps && !o.stripGps) ||
                         (o.aux && !o.stripAux);
  return anyText && !anyFramed;
}

void CExtractDataStreamDlg::AuxToggled(bool on) {
  if (!on) stripAux_->setChecked(false);
  stripAux_->setEnabled(on);
  auxType_->setEnabled(on);
}

void CExtractDataStreamDlg::StripAuxToggled(bool on) {
  if (on) aux_->setChecked(true);
  min_->setEnabled(on);
  max_->setEnabled(on);
}

void CExtractDataStreamDlg::AuxTypeChanged() {
  stripAux_->setText(
      QString::fromLatin1(AuxFramingLabel(AuxTypeOf(auxType_->currentText().toStdString()))));
}

StreamExtractOptions CExtractDataStreamDlg::Options() const {
  StreamExtractOptions o;
  o.binned = binned_->isChecked();
  o.ctd = ctd_->isChecked();
  o.gps = gps_->isChecked();
  o.mep = mep_->isChecked();
  o.aux = aux_->isChecked();
  o.auxType = AuxTypeOf(auxType_->currentText().toLatin1().toStdString());
  o.stripCtd = stripCtd_->isChecked();
  o.stripGps = stripGps_->isChecked();
  o.stripAux = stripAux_->isChecked();
  o.minAuxFrame = min_->value();
  o.maxAuxFrame = max_->value();
  return o;
}

std::string CExtractDataStreamDlg::InputPath() const {
  return input_->text().toStdString();
}

void CExtractDataStreamDlg::SetInputPath(const std::string& path) {
  input_->setText(QString::fromStdString(path));
}

int CExtractDataStreamDlg::ProgressValue() const {
  return progress_->value();
}

void CExtractDataStreamDlg::Browse() {
  const QString path = QFileDialog::getOpenFileName(this, kCaption, QString(), kBinFileFilter);
  if (!path.isEmpty()) input_->setText(path);
}

bool CExtractDataStreamDlg::Extract() {
  const StreamExtractOptions options = Options();
  const std::string input = InputPath();
  if (const std::string error = CheckInput(input); !error.empty()) {
    prompts_->Message(this, error, kCaption, QMessageBox::Critical);
    return false;
  }
  if (options.stripAux && options.minAuxFrame > options.maxAuxFrame) {
    char text[256];
    std::snprintf(text, sizeof text, kExtractRangeRefused, options.minAuxFrame,
                  options.maxAuxFrame);
    prompts_->Message(this, text, kCaption, QMessageBox::Warning);
    min_->setFocus();
    return false;
  }
  const std::optional<std::string> output = chooseOutput_(this, TextOutput());
  if (!output) return false;

  progress_->setValue(0);
  StreamExtractor extractor(options);
  const bool ok = extractor.Run(input, *output, [this](std::uint64_t done, std::uint64_t total) {
    const std::uint64_t steps = done * kProgressSteps / (total + 1);
    progress_->setValue(static_cast<int>(std::min<std::uint64_t>(steps, kProgressSteps)));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  });
  if (!ok) {
    prompts_->Message(this, extractor.Error(), kCaption, QMessageBox::Critical);
    return false;
  }
  progress_->setValue(kProgressSteps);
  prompts_->Message(this, extractor.Message(), kStreamExtractionCaption, QMessageBox::Information);
  store_.Write(keys::kMinAuxFrame, options.minAuxFrame);
  store_.Write(keys::kMaxAuxFrame, options.maxAuxFrame);
  return true;
}

}  // namespace vesk
