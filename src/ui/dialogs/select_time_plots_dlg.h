#pragma once
// "Select Time Plots": which series the three charts show. Each series may be chosen once.

#include <QDialog>
#include <array>

#include "display/time_chart_settings.h"

class QComboBox;

namespace vesk {

class CVESKDoc;
class DialogPrompts;

inline constexpr const char* kSelectTimePlotsTitle = "Select Time Plots";
inline constexpr const char* kDuplicateSelections =
    "Error: Duplicate selections!\nEach selection must be unique.";

class CSelectTimePlotsDlg : public QDialog {
  Q_OBJECT

 public:
  CSelectTimePlotsDlg(CVESKDoc& doc, QWidget* parent = nullptr);

  void SetPrompts(DialogPrompts& prompts) { prompts_ = &prompts; }
  // The series of plot A, B and C (0 top).
  std::array<int, kTimeCharts> Selection() const;
  void Select(int chart, int series);
  QComboBox* Combo(int chart) const { return combos_[chart]; }

  static bool HasDuplicates(const std::array<int, kTimeCharts>& selection);

  void accept() override;

 private:
  CVESKDoc& doc_;
  DialogPrompts* prompts_;
  std::array<QComboBox*, kTimeCharts> combos_{};
};

}  // namespace vesk
