#pragma once
// The configuration window of an instrument that has nothing to set but its calibration
// coefficients (the OS200's "OS200 Configuration"): its model row's coefficients as a form,
// under the row's caption.

#include <QDialog>

namespace vesk {

class CoefficientForm;
class DialogPrompts;
class SettingsStore;
struct CtdModel;

class CCoefficientDlg : public QDialog {
  Q_OBJECT

 public:
  CCoefficientDlg(SettingsStore& store, const CtdModel& model, QWidget* parent = nullptr);
  void SetPrompts(DialogPrompts& prompts) { prompts_ = &prompts; }
  void accept() override;

 private:
  const CtdModel& model_;
  DialogPrompts* prompts_;
  CoefficientForm* form_ = nullptr;
};

}  // namespace vesk
