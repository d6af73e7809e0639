#pragma once
// One look at the running program for the web view: what the control bar and the status bar
// show, the histogram, the alarms with the time each was raised, the marks, the last remote
// command, the cast's profile and the figures of /metrics. Taken on the user-interface
// thread from the document's snapshots (one table lock at a time, none held afterwards) and
// the live services; the page, the JSON and the metrics are then made from the copy.

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/alarm_monitor.h"
#include "acquisition/vesk_doc.h"
#include "files/mark_log.h"
#include "web/cast_profile.h"

namespace vesk {

class LiveServices;

enum class WebScanState { Idle, Acquiring, Logging, Playback };
inline constexpr int kWebScanStateCount = 4;
// "idle", "acquiring", "logging", "playback".
const char* WebScanStateName(WebScanState state);

struct RaisedAlarm {
  AlarmId id = AlarmId::NoCounterData;
  std::string text;       // "ALARM: ..."
  double sinceEpoch = 0;  // UTC seconds when it was first seen raised
};

struct LiveSnapshot {
  double timeEpoch = 0;  // UTC seconds when taken
  WebScanState state = WebScanState::Idle;
  std::string file;  // the .dat written, or the recording played; empty when idle
  std::uint64_t scanNumber = 0;
  double scanSeconds = 0;  // since the running scan started

  ScanStatus status;  // counts, rates, CTD, position (the scan's, kept after it ends)
  BinTable bins;
  HousekeepingTable housekeeping;
  std::uint32_t mepParticles = 0;
  double mepPerSecond = 0;   // multi-element particles over the last 10 s
  double frameInterval = 0;  // seconds between the last L frames, by the PC clock
  double analog = 0;         // scaled as the control bar shows it
  std::string analogCaption;
  double scaleFactor = 0;  // of the shadowgram grid
  double fixAgeSeconds = kMissing;
  bool fixStale = true;
  std::string fixAgeText;  // "4 s", "STALE 3 min", "--"

  std::vector<RaisedAlarm> alarms;
  std::vector<Mark> marks;  // the scan's newest, oldest first
  std::string lastRemoteCommand;
  std::optional<CastProfile> profile;

  // For /metrics.
  std::uint64_t binBytes = 0;  // of the files the scan writes now (0 when it writes none)
  std::uint64_t datBytes = 0;
  std::optional<double> freeDiskBytes;  // of the data directory
  double uptimeSeconds = 0;
  std::uint64_t published = 0;
  std::uint64_t publishDropped = 0;
};

// The time-chart history (one sample for every two L frames) of the four series the page
// draws, from sample number `first` on.
struct LiveTimeSeries {
  std::uint64_t first = 0;  // the number of the first sample since the scan started
  std::uint64_t next = 0;   // the number the next sample will have
  std::vector<double> depth, temperature, countsPerSecond, flowSpeed;
};

struct LiveSources {
  CVESKDoc& doc;
  LiveServices& services;
  std::function<std::string()> lastRemoteCommand;  // "none received" when empty
  ProfileSource profile;                           // none: no profile yet
};

// Takes snapshots, remembering between them what a single look cannot tell: when each alarm
// was raised, when the scan started, and the particle and frame rates.
class LiveSnapshotTaker {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  static constexpr int kMarksShown = 20;

  explicit LiveSnapshotTaker(LiveSources sources);
  CVESKDoc& Doc() const { return sources_.doc; }
  // Whether `withFiles`: the file sizes and free disk space are read (a system call each).
  LiveSnapshot Take(TimePoint now, bool withFiles);
  // One look between snapshots, on the web view's timer: when the scan started, the alarms'
  // raise times and the rates stay right when nobody looks for a while.
  void Follow(TimePoint now);
  // The newest `count` samples (at most those kept), or those after `after` when it is
  // given and still kept.
  LiveTimeSeries TimeSeries(std::size_t count, std::optional<std::uint64_t> after = {}) const;

 private:
  LiveSources sources_;
  TimePoint started_;
  std::uint64_t scanNumber_ = 0;
  TimePoint scanStarted_{};
  std::map<AlarmId, double> raisedSince_;
  std::deque<std::pair<TimePoint, std::uint32_t>> mepHistory_;
  std::uint32_t lastFrames_ = 0;
  TimePoint lastFrameTime_{};
  double frameInterval_ = 0;
};

}  // namespace vesk
