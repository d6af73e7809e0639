#include "ui/dialogs/alarm_limits_dlg.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cstdio>

#include "acquisition/alarm_monitor.h"
#include "seams/settings_store.h"
#include "ui/dialogs/dialog_prompts.h"

namespace vesk {
namespace {

constexpr const char* kCaption = "Alarm Limits";
constexpr const char* kNote =
    "Alarms of a scan of the counter, shown in the status bar and the control bar and "
    "published.\nA value of 0 turns its alarm off.";
constexpr const char* kPairRefusedFormat =
    "The lower limit of the %s (%g) must be below its upper limit (%g).\n\nSet either to 0 to "
    "turn that alarm off.";

QSpinBox* IntBox(QWidget* parent, const char* name, int max, double value, const char* suffix) {
  auto* box = new QSpinBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setRange(0, max);
  box->setValue(static_cast<int>(value));
  box->setSuffix(QString::fromLatin1(suffix));
  return box;
}

QDoubleSpinBox* RealBox(QWidget* parent, const char* name, double max, double value,
                        const char* suffix) {
  auto* box = new QDoubleSpinBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setRange(0, max);
  box->setDecimals(2);
  box->setSingleStep(0.05);
  box->setValue(value);
  box->setSuffix(QString::fromLatin1(suffix));
  return box;
}

}  // namespace

CAlarmLimitsDlg::CAlarmLimitsDlg(SettingsStore& store, QWidget* parent)
    : QDialog(parent), store_(store) {
  setWindowTitle(QString::fromLatin1(kCaption));
  AlarmLimits l;
  l.Load(store_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QString::fromLatin1(kNote), this));
  auto* form = new QFormLayout;
  noData_ = IntBox(this, "noDataSeconds", 3600, l.noDataSeconds, " s");
  minFlow_ = RealBox(this, "minFlowSpeed", 10, l.minFlowSpeed, " m/s");
  minLaser_ = IntBox(this, "minLaserMonitor", 65535, l.minLaserMonitor, "");
  maxLaser_ = IntBox(this, "maxLaserMonitor", 65535, l.maxLaserMonitor, "");
  frameErrors_ = RealBox(this, "maxFrameErrorPercent", 100, l.maxFrameErrorPercent, " %");
  frameWindow_ = IntBox(this, "frameErrorWindow", 3600, l.frameErrorWindowSeconds, " s");
  frameWindow_->setMinimum(1);
  gpsStale_ = IntBox(this, "gpsStaleSeconds", 86400, l.gpsStaleSeconds, " s");
  diskMb_ = IntBox(this, "lowDiskSpace", 1000000, l.lowDiskSpaceMb, " MB");
  hold_ = IntBox(this, "holdSeconds", 600, l.holdSeconds, " s");
  form->addRow("No counter data for", noData_);
  form->addRow("Flow speed below", minFlow_);
  form->addRow("Laser monitor below", minLaser_);
  form->addRow("Laser monitor above", maxLaser_);
  form->addRow("Frame errors above (of the L frames)", frameErrors_);
  form->addRow("Frame errors counted over", frameWindow_);
  form->addRow("GPS fix older than", gpsStale_);
  form->addRow("Free disk space below", diskMb_);
  form->addRow("Flow, laser, frame errors, disk: lasting", hold_);
  layout->addLayout(form);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CAlarmLimitsDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CAlarmLimitsDlg::reject);
  layout->addWidget(buttons);
}

std::string CheckLimitPair(const char* name, double lower, double upper) {
  if (lower <= 0 || upper <= 0 || lower < upper) return {};
  char text[256];
  std::snprintf(text, sizeof text, kPairRefusedFormat, name, lower, upper);
  return text;
}

void CAlarmLimitsDlg::accept() {
  // A pair whose lower limit is not below its upper one would keep its alarm raised.
  const std::string refused =
      CheckLimitPair("laser monitor", minLaser_->value(), maxLaser_->value());
  if (!refused.empty()) {
    StandardPrompts().Message(this, refused, kCaption, QMessageBox::Warning);
    minLaser_->setFocus();
    minLaser_->selectAll();
    return;
  }
  AlarmLimits l;
  l.noDataSeconds = noData_->value();
  l.minFlowSpeed = minFlow_->value();
  l.minLaserMonitor = minLaser_->value();
  l.maxLaserMonitor = maxLaser_->value();
  l.maxFrameErrorPercent = frameErrors_->value();
  l.frameErrorWindowSeconds = frameWindow_->value();
  l.gpsStaleSeconds = gpsStale_->value();
  l.lowDiskSpaceMb = diskMb_->value();
  l.holdSeconds = hold_->value();
  l.Store(store_);
  QDialog::accept();
}

}  // namespace vesk
