#include "display/alarm_pane.h"

#include "acquisition/alarm_monitor.h"

namespace vesk {
namespace {

constexpr const char* kQuietLook = "background-color:#2e7d32; color:white; padding:0 6px;";
constexpr const char* kRaisedLook =
    "background-color:#c62828; color:white; font-weight:bold; padding:0 6px;";
constexpr const char* kNoAlarms = "No alarms";
constexpr const char* kNoAlarmsTip =
    "Alarms of a live scan: no counter data, low flow, laser monitor, frame errors, stale GPS "
    "fix, low disk space (Settings > Alarm Limits...)";
constexpr std::size_t kShownLabels = 3;

}  // namespace

QString AlarmTexts(const AlarmMonitor& alarms) {
  QStringList texts;
  for (AlarmId id : alarms.ActiveAlarms()) {
    texts << QString::fromStdString(alarms.RaisedText(id));
  }
  return texts.join(QLatin1Char('\n'));
}

CAlarmPane::CAlarmPane(QWidget* parent) : QLabel(parent) {
  setObjectName(QStringLiteral("alarmPane"));
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Sunken);
  setText(QString::fromLatin1(kNoAlarms));
  setToolTip(QString::fromLatin1(kNoAlarmsTip));
  setStyleSheet(QString::fromLatin1(kQuietLook));
}

void CAlarmPane::Show(const AlarmMonitor& alarms) {
  // Three names at most, so that the status bar keeps fitting a laptop's screen.
  const std::vector<AlarmId> active = alarms.ActiveAlarms();
  QStringList labels;
  for (std::size_t i = 0; i < active.size() && i < kShownLabels; ++i) {
    labels << QString::fromLatin1(AlarmLabel(active[i]));
  }
  QString text = labels.join(QStringLiteral(", "));
  if (active.size() > kShownLabels)
    text += QStringLiteral(" +%1").arg(active.size() - kShownLabels);
  const bool raised = !active.empty();
  const QString shown =
      raised ? QStringLiteral("ALARM: %1").arg(text) : QString::fromLatin1(kNoAlarms);
  setToolTip(raised ? AlarmTexts(alarms) : QString::fromLatin1(kNoAlarmsTip));
  if (shown == this->text()) return;
  setText(shown);
  if (raised != raised_) setStyleSheet(QString::fromLatin1(raised ? kRaisedLook : kQuietLook));
  raised_ = raised;
}

}  // namespace vesk
