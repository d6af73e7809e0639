#pragma once
// "Time Charts - Scaling Properties": the y range and tick spacing of the nine selectable
// series, y autoscale and whether the charts' ranges become the defaults when the view
// closes. OK checks every scaling value, then every range, and stops at the first failure.

#include <QDialog>
#include <array>
#include <optional>
#include <string>

#include "display/time_chart_settings.h"

class QCheckBox;
class QLineEdit;

namespace vesk {

class CVESKDoc;
class DialogPrompts;

inline constexpr const char* kScalingPropTitle = "Time Charts - Scaling Properties";
inline constexpr const char* kSaveAxesHelp =
    "Enabling this option will force the current axes scale settings to be saved as the default "
    "on exit from the Time Charts view.";

using ScalingRows = std::array<SeriesScale, kSelectableSeries>;

enum class ScalingField { MinY, MaxY, Scaling };

struct ScalingFailure {
  int row = 0;
  ScalingField field = ScalingField::Scaling;
  std::string message;  // "Error: %d is an invalid value." and the row's rule
};

// The first failing field, in the dialog's order, or nothing when all are valid.
std::optional<ScalingFailure> ValidateTimeChartScaling(const ScalingRows& rows);

class CTimeChartsScalingProp : public QDialog {
  Q_OBJECT

 public:
  CTimeChartsScalingProp(CVESKDoc& doc, QWidget* parent = nullptr);

  void SetPrompts(DialogPrompts& prompts) { prompts_ = &prompts; }
  QLineEdit* Field(int row, ScalingField field) const;
  QCheckBox* AutoScaleBox() const { return autoScale_; }
  QCheckBox* SaveDefaultsBox() const { return saveDefaults_; }
  // The "?" button's text.
  void ShowHelp();

  void accept() override;

 private:
  ScalingRows Rows() const;

  CVESKDoc& doc_;
  DialogPrompts* prompts_;
  ScalingRows shown_{};  // the values the fields had when the dialog opened
  std::array<std::array<QLineEdit*, 3>, kSelectableSeries> fields_{};
  QCheckBox* autoScale_ = nullptr;
  QCheckBox* saveDefaults_ = nullptr;
};

}  // namespace vesk
