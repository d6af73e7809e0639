#pragma once
// "Sea-Bird SBE49 Input Configuration": the SBE 49 coefficients and its OUTPUTFORMAT
// ("SBE49"). They are loaded with the port settings, so they apply from the next start of
// acquisition.

#include <QDialog>

class QSpinBox;

namespace vesk {

class CoefficientForm;
class DialogPrompts;
class SettingsStore;

class CSbe49ConfigDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CSbe49ConfigDlg(SettingsStore& store, QWidget* parent = nullptr);
  void SetPrompts(DialogPrompts& prompts) { prompts_ = &prompts; }
  void accept() override;

 private:
  SettingsStore& store_;
  DialogPrompts* prompts_;
  CoefficientForm* form_ = nullptr;
  QSpinBox* outputFormat_ = nullptr;
};

}  // namespace vesk
