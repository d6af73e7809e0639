#pragma once
// The control bar under the main view: the live values of the scan in their groups, the
// start, stop and connect buttons with the connection and snapshot indicators, and the count
// reset buttons. It shows what the main frame gives it; ControlBarReader turns the document's
// latest values into the field texts.

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <string>

namespace vesk {

class AlarmMonitor;
class CElidedLabel;
class CVESKDoc;

enum class BarField {
  Depth,
  Temp,
  Salinity,
  Analog,
  Counter,
  SampleNo,
  DeltaTime,
  FlowCounts,
  FlowSpeed,
  TotalCount,
  TotalCps,
  WindowCount,
  MepCounts,
  MepCps,
  ScaleFactor,
  LMon,
  LVolt,
  FrameErrors,
  Sensor,
  Latitude,
  Longitude,
  Time,
  FixAge,
  Alarms,
};
inline constexpr int kBarFieldCount = static_cast<int>(BarField::Alarms) + 1;

using BarTexts = std::array<std::string, kBarFieldCount>;

// What the start buttons show: which scan runs, if any.
enum class ScanDisplay { Idle, Acquiring, Logging };

// Formats the document's latest values for the bar. It remembers the last refresh so that it
// can show the time between `L` frames and the multi-element particle rate.
class ControlBarReader {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  static constexpr auto kMepRateWindow = std::chrono::seconds(10);

  // Every field except "Scale Factor" and "Alarms" (the frame's own). Takes the document's locks
  // one at a time.
  BarTexts Read(CVESKDoc& doc, TimePoint now);
  // A new scan: no previous frame, no particle history.
  void Reset();
  // The last Read found the position older than the stale limit (or none yet).
  bool PositionStale() const { return positionStale_; }

 private:
  bool positionStale_ = false;
  std::uint32_t lastFrameCount_ = 0;
  TimePoint lastFrameTime_{};
  bool haveFrame_ = false;
  double deltaSeconds_ = 0;
  std::deque<std::pair<TimePoint, std::uint32_t>> mepHistory_;
};

class CVESKDialogBar : public QWidget {
  Q_OBJECT

 public:
  explicit CVESKDialogBar(QWidget* parent = nullptr);

  void SetField(BarField field, const QString& text);
  QString FieldText(BarField field) const;
  QLineEdit* Field(BarField field) const { return fields_[static_cast<int>(field)]; }
  void SetFields(const BarTexts& texts);
  // The analog field's caption as the user named it (cut when long, whole in its tool tip).
  void SetAnalogCaption(const QString& caption);
  CElidedLabel* AnalogCaption() const { return analogCaption_; }
  void SetScanDisplay(ScanDisplay state, bool connected);
  ScanDisplay Display() const { return display_; }
  void SetConnected(bool connected);
  void SetSnapshotActive(bool active);
  void SetAutoScroll(bool on);
  // Marks the position fields as out of date (or back to normal).
  void SetPositionStale(bool stale);
  bool PositionStaleShown() const { return positionStale_; }
  // "none", the one alarm raised or how many, red while any is raised.
  void SetAlarms(const AlarmMonitor& alarms);

  QPushButton* StartAcquisitionButton() const { return startAcquisition_; }
  QPushButton* StartLoggingButton() const { return startLogging_; }
  QPushButton* StopButton() const { return stop_; }
  QPushButton* ConnectButton() const { return connect_; }
  QPushButton* ResetTotalButton() const { return resetTotal_; }
  QPushButton* ResetWindowButton() const { return resetWindow_; }
  QCheckBox* AutoScrollBox() const { return autoScroll_; }
  QLabel* ConnectionIndicator() const { return connection_; }
  QLabel* SnapshotIndicator() const { return snapshot_; }
  bool Flashing() const { return flashTimer_.isActive(); }

 signals:
  void startAcquisitionClicked();
  void startLoggingClicked();
  void stopClicked();
  void connectClicked();
  void resetTotalClicked();
  void resetWindowClicked();
  void autoScrollToggled(bool on);

 private:
  QLineEdit* AddField(QGridLayout* grid, int row, int column, BarField field, const char* caption,
                      const char* tip = nullptr);
  void Flash();
  void PaintButtons();

  std::array<QLineEdit*, kBarFieldCount> fields_{};
  CElidedLabel* analogCaption_ = nullptr;
  QPushButton* startAcquisition_ = nullptr;
  QPushButton* startLogging_ = nullptr;
  QPushButton* stop_ = nullptr;
  QPushButton* connect_ = nullptr;
  QPushButton* resetTotal_ = nullptr;
  QPushButton* resetWindow_ = nullptr;
  QCheckBox* autoScroll_ = nullptr;
  QLabel* connection_ = nullptr;
  QLabel* snapshot_ = nullptr;
  QTimer flashTimer_;
  bool flashOn_ = false;
  ScanDisplay display_ = ScanDisplay::Idle;
  bool positionStale_ = false;
  bool alarmsRaised_ = false;
};

// Tooltips and captions the bar shows.
inline constexpr const char* kTipStartAcquisition =
    "Start data acquisition (WITHOUT LOGGING to file)";
inline constexpr const char* kTipStartLogging = "Start Data Logging";
inline constexpr const char* kTipStop = "STOP data acquisition";
inline constexpr const char* kTipResetTotal = "Reset Total Count to zero";
inline constexpr const char* kTipResetWindow = "Reset Window Count to zero";
inline constexpr const char* kTipSnapshot =
    "Snapshot: Active (green) while the counter takes a snapshot (Commands > Snapshot > Take "
    "Snap-Shot...), Inactive (grey) otherwise.";
inline constexpr const char* kSnapshotCaption = "Snapshot:";
inline constexpr const char* kTipFixAge =
    "Time since the last position arrived; STALE once older than the limit set in NMEA Data "
    "Parsing.";
inline constexpr const char* kTipAlarms = "The alarms raised (Settings > Alarm Limits...)";
inline constexpr const char* kConnected = "Connected";
inline constexpr const char* kDisconnected = "Disconnected";
inline constexpr const char* kSnapshotActive = "Active";
inline constexpr const char* kSnapshotInactive = "Inactive";

}  // namespace vesk
