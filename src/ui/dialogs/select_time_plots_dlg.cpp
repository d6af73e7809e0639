#include "ui/dialogs/select_time_plots_dlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <algorithm>

#include "acquisition/vesk_doc.h"
#include "ui/dialogs/dialog_prompts.h"

namespace vesk {
namespace {

constexpr const char* kChartLabels[kTimeCharts] = {"PLOT A   (top)", "PLOT B   (center)",
                                                   "PLOT C   (bottom)"};
constexpr const IntKey* kChartKeys[kTimeCharts] = {&keys::kPlotA, &keys::kPlotB, &keys::kPlotC};

}  // namespace

CSelectTimePlotsDlg::CSelectTimePlotsDlg(CVESKDoc& doc, QWidget* parent)
    : QDialog(parent), doc_(doc), prompts_(&StandardPrompts()) {
  setWindowTitle(kSelectTimePlotsTitle);
  setObjectName("selectTimePlotsDlg");
  auto* form = new QFormLayout(this);
  for (int c = 0; c < kTimeCharts; ++c) {
    auto* combo = new QComboBox(this);
    combo->setObjectName(QStringLiteral("plotCombo%1").arg(c));
    for (int s = 0; s < kSelectableSeries; ++s)
      combo->addItem(QString::fromLatin1(SeriesInfo(s).selection));
    combos_[c] = combo;
    form->addRow(kChartLabels[c], combo);
    Select(c, doc_.Store().Read(*kChartKeys[c]));
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
}

std::array<int, kTimeCharts> CSelectTimePlotsDlg::Selection() const {
  std::array<int, kTimeCharts> out{};
  for (int c = 0; c < kTimeCharts; ++c) out[c] = combos_[c]->currentIndex();
  return out;
}

void CSelectTimePlotsDlg::Select(int chart, int series) {
  // A series that cannot be offered (the laser monitor) shows as the first one.
  combos_[chart]->setCurrentIndex(series >= 0 && series < kSelectableSeries ? series : 0);
}

bool CSelectTimePlotsDlg::HasDuplicates(const std::array<int, kTimeCharts>& s) {
  return s[0] == s[1] || s[0] == s[2] || s[1] == s[2];
}

void CSelectTimePlotsDlg::accept() {
  const std::array<int, kTimeCharts> selection = Selection();
  if (HasDuplicates(selection)) {
    prompts_->Message(this, kDuplicateSelections, "", QMessageBox::Warning);
    return;
  }
  for (int c = 0; c < kTimeCharts; ++c) doc_.Store().Write(*kChartKeys[c], selection[c]);
  doc_.Store().Write(keys::kTotalPlots, kTimeCharts);
  QDialog::accept();
}

}  // namespace vesk
