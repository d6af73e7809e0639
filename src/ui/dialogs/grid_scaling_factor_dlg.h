#pragma once
// "Grid Scaling Factor": the number of counter clock ticks that make one shadowgram row
// (1 to 100). On OK the value is stored and used by the particle assembly from its next
// particle on.

#include <QDialog>

class QSpinBox;

namespace vesk {

class CVESKDoc;

inline constexpr const char* kGridScalingFactorTitle = "Grid Scaling Factor";
inline constexpr const char* kGridScalingFactorText =
    "Set the 'Grid Scaling Factor' below.\n\nThe Scaling Factor is used to 'compress' the size "
    "of the bugs to make the sizes/shapes more accurate.  Often, due to slow flow rates, the "
    "bugs can appear much longer than they actually should.";
inline constexpr const char* kGridScalingFactorText2 =
    "The provided Scaling Factor attempts to minimize this effect and compensate for varying "
    "flow rates.";

class CGridScalingFactorDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kMinimum = 1;
  static constexpr int kMaximum = 100;

  CGridScalingFactorDlg(CVESKDoc& doc, QWidget* parent = nullptr);

  // A stored value outside 1..100 is shown as the nearest accepted one.
  static int Accepted(int value);
  int Value() const;
  void SetValue(int value);
  QSpinBox* SpinBox() const { return spin_; }

  void accept() override;

 private:
  CVESKDoc& doc_;
  QSpinBox* spin_ = nullptr;
};

}  // namespace vesk
