#include "acquisition/alarm_monitor.h"

#include <algorithm>
#include <cstdio>

#include "seams/settings_store.h"

namespace vesk {
namespace {

struct AlarmNames {
  const char* name;
  const char* label;
};
constexpr AlarmNames kNames[kAlarmCount] = {
    {"no_counter_data", "NO DATA"}, {"flow_low", "FLOW"}, {"laser_monitor", "LASER"},
    {"frame_errors", "FRAMES"},     {"gps_stale", "GPS"}, {"disk_low", "DISK"},
};

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char text[512];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

}  // namespace

const char* AlarmName(AlarmId id) {
  return kNames[static_cast<int>(id)].name;
}

const char* AlarmLabel(AlarmId id) {
  return kNames[static_cast<int>(id)].label;
}

void AlarmLimits::Load(const SettingsStore& store) {
  noDataSeconds = store.Read(keys::kAlarmNoDataSeconds);
  minFlowSpeed = store.ReadReal(keys::kAlarmMinFlowSpeed);
  minLaserMonitor = store.Read(keys::kAlarmMinLaserMonitor);
  maxLaserMonitor = store.Read(keys::kAlarmMaxLaserMonitor);
  maxFrameErrorPercent = store.ReadReal(keys::kAlarmMaxFrameErrorPercent);
  frameErrorWindowSeconds = std::max(1, store.Read(keys::kAlarmFrameErrorWindowSeconds));
  gpsStaleSeconds = store.Read(keys::kAlarmGpsStaleSeconds);
  lowDiskSpaceMb = store.Read(keys::kLowDiskSpaceMb);
  holdSeconds = std::max(0, store.Read(keys::kAlarmHoldSeconds));
}

void AlarmLimits::Store(SettingsStore& store) const {
  store.Write(keys::kAlarmNoDataSeconds, static_cast<int>(noDataSeconds));
  store.WriteReal(keys::kAlarmMinFlowSpeed.section, keys::kAlarmMinFlowSpeed.key, minFlowSpeed);
  store.Write(keys::kAlarmMinLaserMonitor, minLaserMonitor);
  store.Write(keys::kAlarmMaxLaserMonitor, maxLaserMonitor);
  store.WriteReal(keys::kAlarmMaxFrameErrorPercent.section, keys::kAlarmMaxFrameErrorPercent.key,
                  maxFrameErrorPercent);
  store.Write(keys::kAlarmFrameErrorWindowSeconds, static_cast<int>(frameErrorWindowSeconds));
  store.Write(keys::kAlarmGpsStaleSeconds, static_cast<int>(gpsStaleSeconds));
  store.Write(keys::kLowDiskSpaceMb, static_cast<int>(lowDiskSpaceMb));
  store.Write(keys::kAlarmHoldSeconds, static_cast<int>(holdSeconds));
}

std::vector<AlarmId> AlarmMonitor::ActiveAlarms() const {
  std::vector<AlarmId> active;
  for (int i = 0; i < kAlarmCount; ++i) {
    if (state_[i].active) active.push_back(static_cast<AlarmId>(i));
  }
  return active;
}

void AlarmMonitor::StartScan(const AlarmInputs& in) {
  judging_ = true;
  scan_ = in.scan;
  scanStart_ = lastData_ = in.now;
  lastFrames_ = in.lFrames;
  lastErrors_ = in.frameErrors;
  haveL_ = in.lFrames > 0;  // frames may have come before the first look
  window_.clear();
  for (State& s : state_) s = State{false, false, in.now, {}};
}

void AlarmMonitor::ClearAll(std::string_view why, std::vector<AlarmChange>& out) {
  for (int i = 0; i < kAlarmCount; ++i) {
    if (!state_[i].active) continue;
    const auto id = static_cast<AlarmId>(i);
    out.push_back(
        {id, false,
         std::string("Alarm cleared: ") + AlarmLabel(id) + " (" + std::string(why) + ")"});
    state_[i] = State{};
  }
}

void AlarmMonitor::Judge(AlarmId id, bool cause, bool hold, const AlarmInputs& in,
                         const std::string& raise, const std::string& clear,
                         std::vector<AlarmChange>& out) {
  State& s = state_[static_cast<int>(id)];
  if (cause != s.cause) {
    s.cause = cause;
    s.changed = in.now;
  }
  const bool settled = !hold || Seconds(in.now - s.changed) >= limits_.holdSeconds;
  if (!settled || s.cause == s.active) return;
  s.active = s.cause;
  s.text = s.active ? raise : std::string();
  out.push_back({id, s.active, s.active ? raise : clear});
}

void AlarmMonitor::JudgeFrameErrors(const AlarmInputs& in, bool judgeData,
                                    std::vector<AlarmChange>& out) {
  window_.push_back({in.now, in.lFrames, in.frameErrors});
  const auto windowStart =
      in.now - std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                   std::chrono::duration<double>(limits_.frameErrorWindowSeconds));
  while (window_.size() >= 2 && window_[1].at <= windowStart) window_.pop_front();
  if (judgeData) {
    const std::uint32_t errors = in.frameErrors - window_.front().frameErrors;
    const std::uint32_t frames = in.lFrames - window_.front().lFrames;
    const double percent = errors * 100.0 / std::max<std::uint32_t>(frames, 1);
    const double span = Seconds(in.now - window_.front().at);
    // Errors are no part of the L frames: told as a rate, beside the frames that came whole.
    Judge(AlarmId::FrameErrors,
          limits_.maxFrameErrorPercent > 0 && errors > 0 && percent > limits_.maxFrameErrorPercent,
          true, in,
          Format("ALARM: %u frame errors in %.0f s (%.1f a second) beside %u whole L frames "
                 "(limit %.1f per 100 L frames)",
                 errors, span, errors / std::max(span, 1.0), frames, limits_.maxFrameErrorPercent),
          Format("Alarm cleared: %u frame errors in %.0f s beside %u whole L frames", errors, span,
                 frames),
          out);
  }
}

std::vector<AlarmChange> AlarmMonitor::Evaluate(const AlarmInputs& in) {
  std::vector<AlarmChange> out;
  if (!in.live) {
    if (judging_) ClearAll("the scan stopped", out);
    judging_ = false;
    return out;
  }
  if (!judging_ || in.scan != scan_) {
    if (judging_) ClearAll("a new scan started", out);
    StartScan(in);
  }
  if (in.lFrames != lastFrames_ || in.frameErrors != lastErrors_) lastData_ = in.now;
  if (in.lFrames != lastFrames_) haveL_ = true;
  lastFrames_ = in.lFrames;
  lastErrors_ = in.frameErrors;
  const AlarmLimits& l = limits_;

  const double silent = Seconds(in.now - lastData_);
  // Bytes still arrive without a whole frame: the line is there, but not as the counter
  // speaks it.
  const bool bytesArrive = in.lastByte > lastData_ && Seconds(in.now - in.lastByte) < silent / 2;
  Judge(AlarmId::NoCounterData, l.noDataSeconds > 0 && silent >= l.noDataSeconds, false, in,
        bytesArrive ? Format("ALARM: bytes arrive from the counter but no frame has been "
                             "complete for %.0f s - wrong baud rate or cable?",
                             silent)
                    : Format("ALARM: no data from the counter for %.0f s", silent),
        "Alarm cleared: data from the counter again", out);

  // While the counter is silent, the alarms that judge its data keep their state.
  const bool judgeData = !Active(AlarmId::NoCounterData);
  if (judgeData && haveL_) {
    Judge(AlarmId::FlowLow, l.minFlowSpeed > 0 && in.flowSpeed < l.minFlowSpeed, true, in,
          Format("ALARM: flow speed %.2f m/s is below %.2f m/s", in.flowSpeed, l.minFlowSpeed),
          Format("Alarm cleared: flow speed %.2f m/s", in.flowSpeed), out);
    // Each limit of 0 is off by itself: an upper limit of 0 is no upper limit.
    const auto laser = static_cast<long>(in.laserMonitor);
    Judge(AlarmId::LaserMonitor,
          (l.minLaserMonitor > 0 && laser < l.minLaserMonitor) ||
              (l.maxLaserMonitor > 0 && laser > l.maxLaserMonitor),
          true, in,
          Format("ALARM: laser monitor %ld is outside %d to %d", laser, l.minLaserMonitor,
                 l.maxLaserMonitor),
          Format("Alarm cleared: laser monitor %ld", laser), out);
  }

  JudgeFrameErrors(in, judgeData, out);

  const double sinceStart = Seconds(in.now - scanStart_);
  const bool stale =
      in.fixAgeSeconds ? *in.fixAgeSeconds > l.gpsStaleSeconds : sinceStart > l.gpsStaleSeconds;
  Judge(AlarmId::GpsStale, l.gpsStaleSeconds > 0 && in.gpsExpected && stale, false, in,
        in.fixAgeSeconds
            ? Format("ALARM: the GPS fix is %.0f s old (limit %.0f s)", *in.fixAgeSeconds,
                     l.gpsStaleSeconds)
            : Format("ALARM: no GPS fix in the %.0f s since the scan started", sinceStart),
        "Alarm cleared: the GPS fix is fresh again", out);

  // Cleared only once the space rose clearly above the limit, so a disk near it does not flap.
  const bool low = l.lowDiskSpaceMb > 0 && in.freeDiskMb &&
                   *in.freeDiskMb < l.lowDiskSpaceMb * (Active(AlarmId::DiskLow) ? 1.1 : 1.0);
  const double freeMb = in.freeDiskMb.value_or(0);
  Judge(AlarmId::DiskLow, low, true, in,
        Format("ALARM: the data folder %s has %.0f MB free (limit %.0f MB)", in.dataDir.c_str(),
               freeMb, l.lowDiskSpaceMb),
        Format("Alarm cleared: the data folder has %.0f MB free", freeMb), out);
  return out;
}

}  // namespace vesk
