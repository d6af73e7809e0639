#pragma once
// "SBE19 Configuration": the SBE 19 calibration coefficients and options ("TC_Coeff"). The
// decoder reads them for every line, so a confirmed change applies from the next line on.

#include <QDialog>
#include <array>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;

namespace vesk {

class CoefficientForm;
class DialogPrompts;
class SettingsStore;

inline constexpr const char* kConfirmCoefficientUpdate =
    "Warning!!\n\nModifying these coefficients will affect Temperature and Conductivity "
    "calculations.  Confirm Update?";

class CTempCondCoeffDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CTempCondCoeffDlg(SettingsStore& store, QWidget* parent = nullptr);
  void SetPrompts(DialogPrompts& prompts) { prompts_ = &prompts; }

  // OK: refuses a field that is not a number; asks for confirmation; writes on Yes only.
  void accept() override;

 private:
  SettingsStore& store_;
  DialogPrompts* prompts_;
  // Each choice's two coefficient sets: set 0 and set 1.
  std::array<CoefficientForm*, 2> temp_{};
  std::array<CoefficientForm*, 2> cond_{};
  std::array<CoefficientForm*, 2> pres_{};
  QButtonGroup* tempSet_ = nullptr;
  QButtonGroup* condSet_ = nullptr;
  QButtonGroup* presSet_ = nullptr;
  QComboBox* analog_ = nullptr;
  QLineEdit* firmware_ = nullptr;
  QCheckBox* condStandard_ = nullptr;
  QCheckBox* logRaw_ = nullptr;
};

}  // namespace vesk
