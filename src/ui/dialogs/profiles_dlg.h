#pragma once
// "Profiles": how the cast products cut a cast into profiles and sum it (depth bin, turn
// hysteresis, least depth range, loop edit, L frame interval, the size range of the spectrum
// slope). Values that make no sense are refused with the reason, and the dialog stays open.
// Taken by the next scan (and by vesk-process) on OK.

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace vesk {

class SettingsStore;

class CProfilesDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CProfilesDlg(SettingsStore& store, QWidget* parent = nullptr);
  void accept() override;

 private:
  SettingsStore& store_;
  QLineEdit* depthBin_ = nullptr;
  QLineEdit* hysteresis_ = nullptr;
  QLineEdit* minExtent_ = nullptr;
  QCheckBox* loopEdit_ = nullptr;
  QLineEdit* frameInterval_ = nullptr;
  QLineEdit* spectrumMin_ = nullptr;
  QLineEdit* spectrumMax_ = nullptr;
};

}  // namespace vesk
