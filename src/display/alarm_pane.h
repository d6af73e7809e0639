#pragma once
// The alarm pane of the status bar: green "No alarms" or, red, the alarms raised (three
// named at most); the tooltip holds the text each was raised with.

#include <QLabel>

namespace vesk {

class AlarmMonitor;

// Each raised alarm's text on a line of its own.
QString AlarmTexts(const AlarmMonitor& alarms);

class CAlarmPane : public QLabel {
  Q_OBJECT

 public:
  explicit CAlarmPane(QWidget* parent = nullptr);
  void Show(const AlarmMonitor& alarms);
  bool Raised() const { return raised_; }

 private:
  bool raised_ = false;
};

}  // namespace vesk
