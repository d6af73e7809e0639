#include "web/live_snapshot.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>

#include "acquisition/live_services.h"
#include "control/live_records.h"
#include "instruments/ctd_conversions.h"

namespace vesk {
namespace {

constexpr auto kMepRateWindow = std::chrono::seconds(10);

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

std::uint64_t FileBytes(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return 0;
  return static_cast<std::uint64_t>(st.st_size);
}

// The .bin beside a .dat of the same stem.
std::string BinBeside(const std::string& datPath) {
  const std::size_t dot = datPath.rfind('.');
  return dot == std::string::npos ? std::string() : datPath.substr(0, dot) + ".bin";
}

}  // namespace

const char* WebScanStateName(WebScanState state) {
  switch (state) {
    case WebScanState::Idle: return "idle";
    case WebScanState::Acquiring: return "acquiring";
    case WebScanState::Logging: return "logging";
    case WebScanState::Playback: return "playback";
  }
  return "idle";
}

LiveSnapshotTaker::LiveSnapshotTaker(LiveSources sources)
    : sources_(std::move(sources)), started_(std::chrono::steady_clock::now()) {}

void LiveSnapshotTaker::Follow(TimePoint now) {
  const CVESKDoc& doc = sources_.doc;
  if (doc.ScanNumber() != scanNumber_) {
    scanNumber_ = doc.ScanNumber();
    scanStarted_ = now;
    mepHistory_.clear();
    lastFrames_ = 0;
    frameInterval_ = 0;
  }
  // The time between L frames, shared among those that came since the last look.
  const std::uint32_t frames = doc.Results().LFrames();
  if (frames < lastFrames_) lastFrames_ = 0;
  if (frames != lastFrames_) {
    if (lastFrames_ != 0) frameInterval_ = Seconds(now - lastFrameTime_) / (frames - lastFrames_);
    lastFrames_ = frames;
    lastFrameTime_ = now;
  }
  // Multi-element particles over the last 10 s.
  mepHistory_.emplace_back(now, doc.Results().MepParticles());
  while (mepHistory_.size() > 1 && mepHistory_[1].first <= now - kMepRateWindow) {
    mepHistory_.pop_front();
  }

  const std::vector<AlarmId> raised = sources_.services.Alarms().ActiveAlarms();
  std::erase_if(raisedSince_, [&](const auto& entry) {
    return std::find(raised.begin(), raised.end(), entry.first) == raised.end();
  });
  for (AlarmId id : raised) raisedSince_.try_emplace(id, UtcNow());
}

LiveSnapshot LiveSnapshotTaker::Take(TimePoint now, bool withFiles) {
  Follow(now);
  CVESKDoc& doc = sources_.doc;
  LiveSnapshot s;
  s.timeEpoch = UtcNow();
  s.uptimeSeconds = Seconds(now - started_);
  s.scanNumber = doc.ScanNumber();
  if (doc.Scanning()) {
    s.state = doc.IsPlayback() ? WebScanState::Playback
              : doc.Logging()  ? WebScanState::Logging
                               : WebScanState::Acquiring;
    s.file = doc.IsPlayback() ? doc.PlayedPath() : doc.DatPath();
    s.scanSeconds = Seconds(now - scanStarted_);
  }

  // Each table copied under its own lock, one at a time.
  const ScanResults& results = doc.Results();
  s.status = doc.StatusSnapshot();
  s.bins = results.Bins();
  s.housekeeping = results.Housekeeping();
  s.mepParticles = results.MepParticles();
  const DocumentSettings& settings = doc.Settings();
  s.analog = s.status.ctd.analog * settings.analogScale;
  s.analogCaption = settings.analogCaption;
  s.scaleFactor = settings.scan.gridScalingFactor;
  s.frameInterval = frameInterval_;
  const double span = Seconds(now - mepHistory_.front().first);
  const std::uint32_t mepBefore = mepHistory_.front().second;
  if (span > 0 && s.mepParticles >= mepBefore) s.mepPerSecond = (s.mepParticles - mepBefore) / span;

  const NavDisplay& nav = s.status.nav;
  const FixAge age = FixAgeAt(nav, now, settings.scan.nav.staleFixSeconds);
  s.fixAgeText = age.text;
  s.fixStale = age.stale || !nav.lastFix;
  if (nav.lastFix) s.fixAgeSeconds = Seconds(now - *nav.lastFix);

  const AlarmMonitor& alarms = sources_.services.Alarms();
  for (const auto& [id, since] : raisedSince_) {
    s.alarms.push_back({id, alarms.RaisedText(id), since});
  }
  const std::vector<Mark>& marks = sources_.services.ScanMarks();
  const std::size_t firstMark = marks.size() > kMarksShown ? marks.size() - kMarksShown : 0;
  s.marks.assign(marks.begin() + static_cast<std::ptrdiff_t>(firstMark), marks.end());
  s.lastRemoteCommand =
      sources_.lastRemoteCommand ? sources_.lastRemoteCommand() : std::string("none received");
  if (sources_.profile) s.profile = sources_.profile();

  const RecordPublisher& publisher = sources_.services.Publisher();
  s.published = publisher.Sent();
  s.publishDropped = publisher.Dropped();
  if (withFiles) {
    const std::string dat = doc.DatPath();
    if (!dat.empty()) {
      s.datBytes = FileBytes(dat);
      if (!doc.IsPlayback()) s.binBytes = FileBytes(BinBeside(dat));
    }
    struct statvfs st {};
    if (::statvfs(doc.DataDirectory().c_str(), &st) == 0) {
      s.freeDiskBytes = static_cast<double>(st.f_bavail) * static_cast<double>(st.f_frsize);
    }
  }
  return s;
}

LiveTimeSeries LiveSnapshotTaker::TimeSeries(std::size_t count,
                                             std::optional<std::uint64_t> after) const {
  LiveTimeSeries series;
  sources_.doc.Results().ReadHistory(
      [&](const std::deque<TimeChartSample>& history, std::uint64_t made) {
        const std::uint64_t kept = history.size();
        std::uint64_t take = std::min<std::uint64_t>(count, kept);
        if (after && *after <= made && made - *after <= kept) take = std::min(take, made - *after);
        series.next = made;
        series.first = made - take;
        for (std::size_t i = kept - take; i < kept; ++i) {
          const TimeChartSample& sample = history[i];
          series.depth.push_back(sample[kChDepth]);
          series.temperature.push_back(sample[kChTemperature]);
          series.countsPerSecond.push_back(sample[kChCountsPerSecond]);
          series.flowSpeed.push_back(sample[kChFlowSpeed]);
        }
      });
  return series;
}

}  // namespace vesk
