#include "ui/dialogs/time_charts_scaling_prop.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdio>

#include "acquisition/vesk_doc.h"
#include "ui/dialogs/dialog_prompts.h"

namespace vesk {
namespace {

struct RowRule {
  const char* label;
  int multipleOf;  // 0: any value above 0
  const char* scalingMessage;
  const char* rangeMessage;
};

constexpr RowRule kRules[kSelectableSeries] = {
    {"Depth", 25, "\n\nDepth - Scaling Values must be multiples of 25 and not equal to 0.",
     "\n\nDepth - Min Y must be less than Max Y."},
    {"Temperature", 2,
     "\n\nTemperature - Scaling Values must be multiples of 2 and not equal to 0.",
     "\n\nTemperature - Min Y must be less than Max Y"},
    {"Counts Per Second", 50,
     "\n\nCPS - Scaling Values must be multiples of 50 and not equal to 0.",
     "\n\nCPS - Min Y value must be less than Max Y."},
    {"Salinity", 2, "\n\nSalinity - Scaling Values must be multiples of 2 and not equal to 0.",
     "\n\nSalinity - Min Y value must be less than Max Y."},
    {"CPS_Windowed", 50,
     "\n\nCPS_WINDOWED - Scaling Values must be multiples of 50 and not equal to 0.",
     "\n\nCPS_WIN - Min Y value must be less than Max Y."},
    {"Counts Per Volume", 25,
     "\n\nCounts Per Volume - Scaling Values must be multiples of 25 and not equal to 0.",
     "\n\nCPS_VOLUME - Min Y value must be less than Max Y."},
    {"Flow Speed", 0, "\n\nFlow Speed - Scaling Value must be greater than 0.",
     "\n\nFlow Speed - Min Y value must be less than Max Y."},
    {"Analog Instr", 0, "\n\nAnalog Instrument - Scaling Value must be greater than 0.",
     "\n\nAnalog Instrument - Min Y value must be less than Max Y."},
    {"Counter", 0, "\n\nCounter - Scaling Value must be greater than 0.",
     "\n\nCounter - Min Y value must be less than Max Y."},
};

constexpr const char* kColumns[3] = {"MINIMUM Y VALUE", "MAXIMUM Y VALUE", "SCALING VALUE"};

std::string InvalidValue(int value, const char* rule) {
  char text[64];
  std::snprintf(text, sizeof text, "Error: %d is an invalid value.", value);
  return text + std::string(rule);
}

// A tick spacing below 0 is as unusable as 0, whatever multiple it is.
bool ScalingAccepted(int value, int multipleOf) {
  if (value <= 0) return false;
  return multipleOf == 0 || value % multipleOf == 0;
}

int& FieldOf(SeriesScale& s, int column) {
  return column == 0 ? s.minY : column == 1 ? s.maxY : s.scaling;
}

}  // namespace

std::optional<ScalingFailure> ValidateTimeChartScaling(const ScalingRows& rows) {
  for (int r = 0; r < kSelectableSeries; ++r) {
    if (!ScalingAccepted(rows[r].scaling, kRules[r].multipleOf))
      return ScalingFailure{r, ScalingField::Scaling,
                            InvalidValue(rows[r].scaling, kRules[r].scalingMessage)};
  }
  for (int r = 0; r < kSelectableSeries; ++r) {
    if (rows[r].minY >= rows[r].maxY)
      return ScalingFailure{r, ScalingField::MinY,
                            InvalidValue(rows[r].minY, kRules[r].rangeMessage)};
  }
  return std::nullopt;
}

CTimeChartsScalingProp::CTimeChartsScalingProp(CVESKDoc& doc, QWidget* parent)
    : QDialog(parent), doc_(doc), prompts_(&StandardPrompts()) {
  setWindowTitle(kScalingPropTitle);
  setObjectName("timeChartsScalingProp");
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout();
  layout->addLayout(grid);
  for (int c = 0; c < 3; ++c) grid->addWidget(new QLabel(kColumns[c], this), 0, c + 1);
  static const char* const kNames[3] = {"minY", "maxY", "scaling"};
  for (int r = 0; r < kSelectableSeries; ++r) {
    shown_[r] = LoadSeriesScale(doc_.Store(), r);
    grid->addWidget(new QLabel(kRules[r].label, this), r + 1, 0);
    for (int c = 0; c < 3; ++c) {
      auto* edit = new QLineEdit(QString::number(FieldOf(shown_[r], c)), this);
      edit->setObjectName(QStringLiteral("%1%2").arg(kNames[c]).arg(r));
      edit->setValidator(new QIntValidator(edit));
      grid->addWidget(edit, r + 1, c + 1);
      fields_[r][c] = edit;
    }
  }
  auto* options = new QHBoxLayout();
  layout->addLayout(options);
  autoScale_ = new QCheckBox("Auto Scaling Enabled", this);
  autoScale_->setChecked(doc_.Store().ReadBool(keys::kTimePlotsAutoScale));
  options->addWidget(autoScale_);
  saveDefaults_ = new QCheckBox("Save Axes Scaling", this);
  saveDefaults_->setChecked(doc_.Store().ReadBool(keys::kSaveDefaults));
  options->addWidget(saveDefaults_);
  auto* help = new QPushButton("?", this);
  help->setObjectName("saveAxesHelpButton");
  help->setFixedWidth(28);
  connect(help, &QPushButton::clicked, this, &CTimeChartsScalingProp::ShowHelp);
  options->addWidget(help);
  options->addStretch(1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

QLineEdit* CTimeChartsScalingProp::Field(int row, ScalingField field) const {
  return fields_[row][static_cast<int>(field)];
}

void CTimeChartsScalingProp::ShowHelp() {
  prompts_->Message(this, kSaveAxesHelp, "", QMessageBox::Information);
}

ScalingRows CTimeChartsScalingProp::Rows() const {
  ScalingRows rows{};
  for (int r = 0; r < kSelectableSeries; ++r)
    for (int c = 0; c < 3; ++c) FieldOf(rows[r], c) = fields_[r][c]->text().toInt();
  return rows;
}

void CTimeChartsScalingProp::accept() {
  const ScalingRows rows = Rows();
  if (const std::optional<ScalingFailure> failure = ValidateTimeChartScaling(rows)) {
    prompts_->Message(this, failure->message, "", QMessageBox::Warning);
    const int column = static_cast<int>(failure->field);
    QLineEdit* edit = fields_[failure->row][column];
    edit->setText(QString::number(FieldOf(shown_[failure->row], column)));
    edit->setFocus();
    return;
  }
  for (int r = 0; r < kSelectableSeries; ++r) StoreSeriesScale(doc_.Store(), r, rows[r]);
  doc_.Store().Write(keys::kTimePlotsAutoScale, autoScale_->isChecked() ? 1 : 0);
  doc_.Store().Write(keys::kSaveDefaults, saveDefaults_->isChecked() ? 1 : 0);
  QDialog::accept();
}

}  // namespace vesk
