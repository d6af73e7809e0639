// The alarm state machine over a scan's timeline: what each look at the scan raises and
// clears, with the holds, the hysteresis and the silences the end-to-end run cannot time.

#include "acquisition/alarm_monitor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vesk {
namespace {

using namespace std::chrono_literals;

// "+FLOW" raised, "-FLOW" cleared, in the order the monitor reports them.
std::string Changes(const std::vector<AlarmChange>& changes) {
  std::string text;
  for (const AlarmChange& c : changes) {
    if (!text.empty()) text += ' ';
    text += (c.raised ? "+" : "-") + std::string(AlarmLabel(c.id));
  }
  return text;
}

TEST(AlarmMonitor, EachCauseRaisesOnceAfterItsHoldAndClearsWhenGone) {
  AlarmLimits limits;
  limits.noDataSeconds = 10;
  limits.holdSeconds = 5;
  limits.frameErrorWindowSeconds = 20;
  limits.gpsStaleSeconds = 30;
  AlarmMonitor monitor(limits);
  const auto t0 = std::chrono::steady_clock::time_point{} + 1000s;

  // The scan as it goes: at `t` seconds, the counts so far and the latest readings.
  struct Step {
    int t;
    std::uint32_t lFrames;
    std::uint32_t errors;
    double flow;
    std::uint32_t laser;
    double fixAge;  // < 0: no fix yet
    double freeMb;
    const char* changes;
    bool live = true;
    std::uint64_t scan = 1;
  };
  const Step steps[] = {
      // Healthy; a GPS is expected but its first fix may take the stale limit.
      {0, 0, 0, 0, 0, -1, 1000, ""},
      // Low flow shorter than the hold is no alarm; longer is one, raised once.
      {2, 4, 0, 0.05, 2000, 1, 1000, ""},
      {4, 8, 0, 1.0, 2000, 1, 1000, ""},
      {5, 10, 0, 0.05, 2000, 1, 1000, ""},
      {9, 18, 0, 0.05, 2000, 1, 1000, ""},
      {10, 20, 0, 0.05, 2000, 1, 1000, "+FLOW"},
      // The counter falls silent: no data after 10 s; the flow alarm keeps its state, whatever
      // the last value it saw.
      {13, 25, 0, 0.05, 2000, 1, 1000, ""},
      {23, 25, 0, 1.0, 2000, 11, 1000, "+NO DATA"},
      {30, 25, 0, 1.0, 2000, 18, 1000, ""},
      // The GPS stays silent past its limit.
      {44, 25, 0, 1.0, 2000, 32, 1000, "+GPS"},
      // Data again: cleared at once; the flow, good again, clears after the hold.
      {45, 27, 0, 1.0, 2000, 0, 1000, "-NO DATA -GPS"},
      {50, 37, 0, 1.0, 2000, 0, 1000, "-FLOW"},
      // Frame errors: 3 per 10 L frames over the window, held 5 s; the laser out of range.
      {51, 39, 3, 1.0, 100, 0, 1000, ""},
      {56, 49, 6, 1.0, 100, 0, 1000, "+LASER +FRAMES"},
      // The disk falls below 150 MB; it clears only clearly above (165 MB).
      {60, 57, 6, 1.0, 2000, 0, 140, ""},
      {65, 67, 6, 1.0, 2000, 0, 140, "-LASER +DISK"},
      {66, 69, 6, 1.0, 2000, 0, 160, ""},
      {72, 81, 6, 1.0, 2000, 0, 160, ""},
      // The errors have left the 20 s window, and the disk has room again.
      {78, 93, 6, 1.0, 2000, 0, 200, ""},
      {83, 103, 6, 1.0, 2000, 0, 200, "-FRAMES -DISK"},
      {84, 105, 6, 0.0, 2000, 0, 200, ""},
      {89, 115, 6, 0.0, 2000, 0, 200, "+FLOW"},
      // The scan stops: what is raised is cleared, and nothing is judged while idle.
      {90, 115, 6, 0.0, 2000, 0, 200, "-FLOW", false},
      {200, 115, 6, 0.0, 0, 0, 1, "", false},
      // A new scan starts from scratch: no GPS fix within its limit.
      {300, 0, 0, 0.0, 0, -1, 1000, "", true, 2},
      {331, 60, 0, 1.0, 2000, -1, 1000, "+GPS", true, 2},
  };
  for (const Step& s : steps) {
    AlarmInputs in;
    in.now = t0 + std::chrono::seconds(s.t);
    in.live = s.live;
    in.scan = s.scan;
    in.lFrames = s.lFrames;
    in.frameErrors = s.errors;
    in.flowSpeed = s.flow;
    in.laserMonitor = s.laser;
    in.gpsExpected = true;
    if (s.fixAge >= 0) in.fixAgeSeconds = s.fixAge;
    in.freeDiskMb = s.freeMb;
    in.dataDir = "/data/";
    EXPECT_EQ(Changes(monitor.Evaluate(in)), s.changes) << "at " << s.t << " s";
  }
  EXPECT_EQ(monitor.ActiveAlarms(), std::vector<AlarmId>{AlarmId::GpsStale});
  EXPECT_EQ(monitor.RaisedText(AlarmId::GpsStale),
            "ALARM: no GPS fix in the 31 s since the scan started");
}

TEST(AlarmMonitor, LimitsOfZeroTurnAlarmsOff) {
  AlarmLimits off;
  off.noDataSeconds = off.minFlowSpeed = off.maxFrameErrorPercent = 0;
  off.minLaserMonitor = 1000;  // an upper limit of 0 is none, whatever the lower one
  off.maxLaserMonitor = 0;
  off.gpsStaleSeconds = off.lowDiskSpaceMb = off.holdSeconds = 0;
  AlarmMonitor monitor(off);
  const auto t0 = std::chrono::steady_clock::time_point{} + 1000s;
  for (int t = 0; t < 100; t += 10) {
    AlarmInputs in;
    in.now = t0 + std::chrono::seconds(t);
    in.live = true;
    in.lFrames = t == 0 ? 0 : 1;  // one frame, then silence
    in.frameErrors = static_cast<std::uint32_t>(t);
    in.laserMonitor = 4000;
    in.gpsExpected = true;
    in.freeDiskMb = 0;
    EXPECT_TRUE(monitor.Evaluate(in).empty()) << t;
  }
}

}  // namespace
}  // namespace vesk
