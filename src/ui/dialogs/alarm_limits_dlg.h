#pragma once
// "Alarm Limits": when each alarm of a live scan is raised (0 turns an alarm off), and how
// long a condition must last. Taken at once on OK.

#include <QDialog>

class QDoubleSpinBox;
class QSpinBox;

namespace vesk {

class SettingsStore;

class CAlarmLimitsDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAlarmLimitsDlg(SettingsStore& store, QWidget* parent = nullptr);
  void accept() override;

 private:
  SettingsStore& store_;
  QSpinBox* noData_ = nullptr;
  QDoubleSpinBox* minFlow_ = nullptr;
  QSpinBox* minLaser_ = nullptr;
  QSpinBox* maxLaser_ = nullptr;
  QDoubleSpinBox* frameErrors_ = nullptr;
  QSpinBox* frameWindow_ = nullptr;
  QSpinBox* gpsStale_ = nullptr;
  QSpinBox* diskMb_ = nullptr;
  QSpinBox* hold_ = nullptr;
};

}  // namespace vesk
