#include "ui/dialogs/statistic_analysis_dlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <cstdio>
#include <mutex>

#include "acquisition/vesk_doc.h"
#include "processing/size_statistics.h"
#include "ui/dialogs/dialog_prompts.h"

namespace vesk {
namespace {

constexpr unsigned kLowestLower = 100;

bool IsLower(LimitField f) {
  return f == LimitField::LowerA || f == LimitField::LowerB;
}

// The range's other limit.
LimitField Partner(LimitField f) {
  switch (f) {
    case LimitField::LowerA: return LimitField::UpperA;
    case LimitField::UpperA: return LimitField::LowerA;
    case LimitField::LowerB: return LimitField::UpperB;
    case LimitField::UpperB: return LimitField::LowerB;
  }
  return f;
}

QString IntText(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  return QString::fromLatin1(text);
}

}  // namespace

unsigned InitialLimit(LimitField field) {
  switch (field) {
    case LimitField::LowerA: return 105;
    case LimitField::UpperA: return 375;
    case LimitField::LowerB: return 1080;
    case LimitField::UpperB: return 1425;
  }
  return 0;
}

std::optional<std::string> CheckLimit(LimitField field, unsigned value, unsigned other) {
  if (IsLower(field)) {
    if (value < kLowestLower) return kLowerBelow100;
    if (value % kMicronsPerBin != 0) return kNotMultipleOf15;
    if (value >= other) return kLowerNotBelowUpper;
    return std::nullopt;
  }
  if (value % kMicronsPerBin != 0) return kNotMultipleOf15;
  if (value <= other) return kUpperNotAboveLower;
  return std::nullopt;
}

CStatisticAnalysisDlg::CStatisticAnalysisDlg(CVESKDoc& doc, QWidget* parent)
    : QDialog(parent), doc_(doc), prompts_(&StandardPrompts()) {
  setWindowTitle(kStatisticsTitle);
  setObjectName("statisticAnalysisDlg");
  auto* layout = new QVBoxLayout(this);
  static const char* const kRangeNames[2] = {"A", "B"};
  for (int range = 0; range < 2; ++range) {
    auto* group = new QGroupBox(kRangeNames[range], this);
    auto* grid = new QGridLayout(group);
    const auto addField = [&](int row, const char* label, const QString& name, bool editable) {
      grid->addWidget(new QLabel(label, group), row, 0);
      auto* edit = new QLineEdit(group);
      edit->setObjectName(name + kRangeNames[range]);
      edit->setReadOnly(!editable);
      if (editable) edit->setValidator(new QIntValidator(0, 99999, edit));
      grid->addWidget(edit, row, 1);
      return edit;
    };
    const auto lower = static_cast<LimitField>(range * 2);
    const auto upper = static_cast<LimitField>(range * 2 + 1);
    limits_[range * 2] = addField(0, "Lower Limit", "lowerLimit", true);
    limits_[range * 2 + 1] = addField(1, "Upper Limit", "upperLimit", true);
    averages_[range] = addField(2, "Average", "average", false);
    deviations_[range] = addField(3, "Standard Deviation", "deviation", false);
    for (LimitField f : {lower, upper}) {
      QLineEdit* edit = Limit(f);
      edit->setText(IntText(static_cast<int>(InitialLimit(f))));
      connect(edit, &QLineEdit::editingFinished, this, [this, f] { LimitLeft(f); });
    }
    layout->addWidget(group);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);

  timer_.setInterval(kRefreshMs);
  connect(&timer_, &QTimer::timeout, this, &CStatisticAnalysisDlg::Refresh);
  timer_.start();
  Refresh();
}

unsigned CStatisticAnalysisDlg::LimitValue(LimitField field) const {
  return Limit(field)->text().toUInt();
}

void CStatisticAnalysisDlg::LimitLeft(LimitField field) {
  if (checking_) return;
  checking_ = true;
  const std::optional<std::string> message =
      CheckLimit(field, LimitValue(field), LimitValue(Partner(field)));
  if (message) {
    Limit(field)->setText(IntText(static_cast<int>(InitialLimit(field))));
    prompts_->Message(this, *message, "", QMessageBox::Warning);
  }
  checking_ = false;
}

void CStatisticAnalysisDlg::Refresh() {
  const BinCounts bins = doc_.Results().Bins().cumulative;
  for (int range = 0; range < 2; ++range) {
    const SizeStatistics s =
        ComputeSizeStatistics(bins, LimitValue(static_cast<LimitField>(range * 2)),
                              LimitValue(static_cast<LimitField>(range * 2 + 1)));
    averages_[range]->setText(IntText(s.mean));
    deviations_[range]->setText(IntText(s.deviation));
  }
}

void CStatisticAnalysisDlg::done(int result) {
  timer_.stop();
  QDialog::done(result);
}

}  // namespace vesk
