#pragma once
// "Statistical Size Analysis": the count-weighted mean size and standard deviation of two
// size ranges A and B of the cumulative bins, refreshed four times a second while open.
// It changes no document data. A limit is checked when its field is left; a refused limit
// goes back to its initial value.

#include <QDialog>
#include <QTimer>
#include <optional>
#include <string>

class QLineEdit;

namespace vesk {

class CVESKDoc;
class DialogPrompts;

// The window title, spelt as the program has always shown it.
inline constexpr const char* kStatisticsTitle = "Statistical Size Analysis";
inline constexpr const char* kLowerBelow100 = "Cannot set LowerLimit less than 100 um";
inline constexpr const char* kNotMultipleOf15 = "Value must be a multiple of 15";
inline constexpr const char* kLowerNotBelowUpper = "LowerLimit must be less than UpperLimit";
inline constexpr const char* kUpperNotAboveLower = "UpperLimit must be greater than LowerLimit";

enum class LimitField { LowerA, UpperA, LowerB, UpperB };

// 105, 375, 1080, 1425.
unsigned InitialLimit(LimitField field);
// The message for a limit that `other` (the range's other limit) refuses, or nothing.
std::optional<std::string> CheckLimit(LimitField field, unsigned value, unsigned other);

class CStatisticAnalysisDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kRefreshMs = 250;

  CStatisticAnalysisDlg(CVESKDoc& doc, QWidget* parent = nullptr);

  void SetPrompts(DialogPrompts& prompts) { prompts_ = &prompts; }
  // One refresh: the cumulative bins copied under the bin lock, both ranges computed.
  void Refresh();
  // What leaving a limit field does.
  void LimitLeft(LimitField field);
  bool IsRefreshing() const { return timer_.isActive(); }

  QLineEdit* Limit(LimitField field) const { return limits_[static_cast<int>(field)]; }
  QLineEdit* Average(int range) const { return averages_[range]; }
  QLineEdit* Deviation(int range) const { return deviations_[range]; }

  void done(int result) override;

 private:
  unsigned LimitValue(LimitField field) const;

  CVESKDoc& doc_;
  DialogPrompts* prompts_;
  QTimer timer_;
  QLineEdit* limits_[4] = {};
  QLineEdit* averages_[2] = {};
  QLineEdit* deviations_[2] = {};
  bool checking_ = false;  // a message box takes the focus from the field being checked
};

}  // namespace vesk
