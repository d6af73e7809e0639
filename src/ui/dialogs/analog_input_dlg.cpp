#include "ui/dialogs/analog_input_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "acquisition/vesk_doc.h"
#include "ui/dialogs/coefficient_form.h"
#include "ui/dialogs/dialog_prompts.h"

namespace vesk {
namespace {

constexpr const char* kCaption = "Analog Input Configuration";
constexpr const char* kCaptionLabel = "Caption";
constexpr const char* kScaleLabel = "Scale (multiplier)";
constexpr const char* kBadCaption =
    "The caption of the analog value must be 1 to 16 characters long.";
constexpr const char* kZeroScale =
    "A scale of 0 would show every analog value as 0: please enter the multiplier (1 for the "
    "value as the instrument sends it).";

}  // namespace

std::string CheckAnalogCaption(const std::string& caption) {
  const bool blank = caption.find_first_not_of(" \t") == std::string::npos;
  return blank || caption.size() > kMaxAnalogCaption ? kBadCaption : "";
}

CAnalogInputDlg::CAnalogInputDlg(CVESKDoc& doc, QWidget* parent)
    : QDialog(parent), doc_(doc), prompts_(&StandardPrompts()) {
  setWindowTitle(kCaption);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  caption_ = new QLineEdit(QString::fromStdString(doc_.Store().Read(keys::kAnalogCaption)), this);
  caption_->setObjectName("AnalogCaption");
  scale_ = new QLineEdit(QString::fromStdString(doc_.Store().Read(keys::kAnalogScale)), this);
  scale_->setObjectName("AnalogScale");
  form->addRow(kCaptionLabel, caption_);
  form->addRow(kScaleLabel, scale_);
  layout->addLayout(form);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CAnalogInputDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CAnalogInputDlg::reject);
  layout->addWidget(buttons);
}

void CAnalogInputDlg::accept() {
  const std::string caption = caption_->text().trimmed().toStdString();
  const std::string scale = scale_->text().trimmed().toStdString();
  std::string refusal = CheckAnalogCaption(caption);
  QLineEdit* bad = caption_;
  if (refusal.empty()) {
    refusal = CheckCoefficientText(kScaleLabel, scale);
    if (refusal.empty() && ParseReal(scale) == 0) refusal = kZeroScale;
    bad = scale_;
  }
  if (!refusal.empty()) {
    bad->setFocus();
    prompts_->Message(this, refusal, kCaption, QMessageBox::Warning);
    return;
  }
  doc_.Store().Write(keys::kAnalogCaption, caption);
  doc_.Store().Write(keys::kAnalogScale, scale);
  doc_.ChangeSettings([&](DocumentSettings& s) { s.analogCaption = caption; });
  doc_.ChangeSettings([&](DocumentSettings& s) { s.analogScale = ParseReal(scale); });
  QDialog::accept();
}

}  // namespace vesk
