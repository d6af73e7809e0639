#pragma once
// The alarms of a live scan, judged from snapshots of it taken on a timer: no counter data,
// flow speed too low, laser monitor out of range, too many frame errors, GPS fix stale, data
// folder nearly full. Each alarm is raised once when its cause appears and cleared once when
// it goes away; a scan's end clears what is raised. A pure state machine: the caller takes
// the snapshot and tells the user, the network and the display what changed.

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

class SettingsStore;

enum class AlarmId { NoCounterData, FlowLow, LaserMonitor, FrameErrors, GpsStale, DiskLow };
inline constexpr int kAlarmCount = 6;

// The name an alarm has in published records ("flow_low"), and on the displays ("FLOW").
const char* AlarmName(AlarmId id);
const char* AlarmLabel(AlarmId id);

// 0 (or min and max both 0 for the laser) turns an alarm off.
struct AlarmLimits {
  double noDataSeconds = 10;
  double minFlowSpeed = 0.1;  // m/s
  int minLaserMonitor = 1000;
  int maxLaserMonitor = 4000;
  double maxFrameErrorPercent = 5;  // frame errors per 100 L frames
  double frameErrorWindowSeconds = 60;
  double gpsStaleSeconds = 30;
  double lowDiskSpaceMb = 150;
  // How long a condition of flow, laser, frame errors or disk space must last to raise its
  // alarm, and be gone to clear it.
  double holdSeconds = 5;

  void Load(const SettingsStore& store);
  void Store(SettingsStore& store) const;
};

// One look at the scan.
struct AlarmInputs {
  using TimePoint = std::chrono::steady_clock::time_point;
  TimePoint now{};
  bool live = false;       // a scan of the counter runs (alarms are judged only then)
  std::uint64_t scan = 0;  // which scan: a new number starts the judgement afresh
  std::uint32_t lFrames = 0;
  std::uint32_t frameErrors = 0;
  TimePoint lastByte{};  // the latest byte from the counter (whole frame or not); {}: none
  double flowSpeed = 0;  // of the latest L frame
  std::uint32_t laserMonitor = 0;
  bool gpsExpected = false;             // a position sentence is configured
  std::optional<double> fixAgeSeconds;  // nothing: no fix in this scan yet
  std::optional<double> freeDiskMb;     // nothing: not known
  std::string dataDir;                  // named in the disk alarm's text
};

struct AlarmChange {
  AlarmId id = AlarmId::NoCounterData;
  bool raised = false;
  std::string text;  // "ALARM: ..." or "Alarm cleared: ..."
};

class AlarmMonitor {
 public:
  explicit AlarmMonitor(AlarmLimits limits = {}) : limits_(limits) {}
  void SetLimits(const AlarmLimits& limits) { limits_ = limits; }
  const AlarmLimits& Limits() const { return limits_; }

  // What changed since the last look.
  std::vector<AlarmChange> Evaluate(const AlarmInputs& in);
  bool Active(AlarmId id) const { return state_[static_cast<int>(id)].active; }
  // The raised alarms, and the text each was raised with.
  std::vector<AlarmId> ActiveAlarms() const;
  const std::string& RaisedText(AlarmId id) const { return state_[static_cast<int>(id)].text; }

 private:
  struct State {
    bool active = false;
    bool cause = false;
    AlarmInputs::TimePoint changed{};  // when `cause` took its value
    std::string text;
  };
  struct Sample {
    AlarmInputs::TimePoint at;
    std::uint32_t lFrames;
    std::uint32_t frameErrors;
  };
  // Takes the cause; returns the change when the alarm flips (after the hold when `hold`).
  void Judge(AlarmId id, bool cause, bool hold, const AlarmInputs& in, const std::string& raise,
             const std::string& clear, std::vector<AlarmChange>& out);
  void StartScan(const AlarmInputs& in);
  // The frame errors of the last frameErrorWindowSeconds against the L frames that came whole
  // (judged only when `judgeData`; the window moves on either way).
  void JudgeFrameErrors(const AlarmInputs& in, bool judgeData, std::vector<AlarmChange>& out);
  void ClearAll(std::string_view why, std::vector<AlarmChange>& out);

  AlarmLimits limits_;
  std::array<State, kAlarmCount> state_{};
  bool judging_ = false;
  std::uint64_t scan_ = 0;
  AlarmInputs::TimePoint scanStart_{};
  AlarmInputs::TimePoint lastData_{};
  std::uint32_t lastFrames_ = 0;
  std::uint32_t lastErrors_ = 0;
  bool haveL_ = false;  // an L frame arrived in this scan
  std::deque<Sample> window_;
};

}  // namespace vesk
