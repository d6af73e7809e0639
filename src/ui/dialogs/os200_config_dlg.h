#pragma once
// "OS200 Configuration": the OS200 coefficients ("OS200Config"), read for every line.

#include <QDialog>

namespace vesk {

class CoefficientForm;
class DialogPrompts;
class SettingsStore;

class COS200ConfigDlg : public QDialog {
  Q_OBJECT

 public:
  explicit COS200ConfigDlg(SettingsStore& store, QWidget* parent = nullptr);
  void SetPrompts(DialogPrompts& prompts) { prompts_ = &prompts; }
  void accept() override;

 private:
  DialogPrompts* prompts_;
  CoefficientForm* form_ = nullptr;
};

}  // namespace vesk
