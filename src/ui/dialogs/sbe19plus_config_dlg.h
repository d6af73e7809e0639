#pragma once
// "SBE 19plus Configuration": the SBE 19plus coefficients and output options
// ("SBE19plusConfig"), read by the decoder for every line.

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QSpinBox;

namespace vesk {

class CoefficientForm;
class DialogPrompts;
class SettingsStore;

inline constexpr const char* kSbe19plusHexExplanation =
    "Output raw data (frequencies and voltages) in Hexadecimal form.\nMust use this format for "
    "acquiring and viewing realtime data in SEASAVE.";
inline constexpr const char* kSbe19plusDecimalExplanation =
    "Output converted (engineering units) data in decimal form.";

class CSbe19plusConfigDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CSbe19plusConfigDlg(SettingsStore& store, QWidget* parent = nullptr);
  void SetPrompts(DialogPrompts& prompts) { prompts_ = &prompts; }
  void accept() override;

 private:
  SettingsStore& store_;
  DialogPrompts* prompts_;
  CoefficientForm* form_ = nullptr;
  QButtonGroup* format_ = nullptr;
  QSpinBox* analogInputs_ = nullptr;
  QCheckBox* outputSal_ = nullptr;
  QCheckBox* outputSv_ = nullptr;
  QCheckBox* logRaw_ = nullptr;
};

}  // namespace vesk
