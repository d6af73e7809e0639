#pragma once
// "Alarm Limits": when each alarm of a live scan is raised (0 turns an alarm off), and how
// long a condition must last. Taken at once on OK.

#include <QDialog>
#include <string>

class QDoubleSpinBox;
class QSpinBox;

namespace vesk {

class SettingsStore;

// "" when a lower and an upper limit (0: that alarm off) may stand together, else the text
// that refuses them: the lower one must be below the upper one.
std::string CheckLimitPair(const char* name, double lower, double upper);

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
