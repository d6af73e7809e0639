#pragma once
// What a running document offers beyond its files: every processed record published on the
// ship's network, the alarms of a live scan, and the operator's event marks. The window and
// the headless runner each own one, on the user-interface thread, and tick it on their
// status timers; the processing thread reaches the publisher through the document's record
// sink.

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/alarm_monitor.h"
#include "acquisition/vesk_doc.h"
#include "control/live_records.h"
#include "control/record_publisher.h"
#include "files/mark_log.h"

namespace vesk {

class LiveServices {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  // Attaches the publisher to the document and reads the settings.
  explicit LiveServices(CVESKDoc& doc);
  // Stops a scan that still runs (its processing thread publishes) and detaches.
  ~LiveServices();
  LiveServices(const LiveServices&) = delete;
  LiveServices& operator=(const LiveServices&) = delete;

  // Reads the Publish and Alarms settings again (after their dialogs); an address that
  // cannot be used is told, and publishing stays off.
  void Configure();

  // One look at the scan: the alarms that changed are told (a note), published and
  // returned; what befell the scan since the last look (the counter's link lost and back,
  // logging suspended and resumed) gets its automatic mark.
  std::vector<AlarmChange> Tick(TimePoint now = std::chrono::steady_clock::now());
  const AlarmMonitor& Alarms() const { return alarms_; }
  // "none", or the labels of the raised alarms ("FLOW,GPS").
  std::string AlarmSummary() const;

  // A mark is made at once (Mark), or its moment taken first and its note asked for
  // (BeginMark, then FinishMark). Written to the .mrk beside the scan's .dat and published;
  // `text` says what happened, for the user.
  struct MarkResult {
    bool ok = false;
    vesk::Mark mark;
    std::string text;
  };
  MarkResult AddMark(std::string_view note = {});
  // Nothing when no scan runs.
  std::optional<vesk::Mark> BeginMark();
  MarkResult FinishMark(vesk::Mark mark, std::string_view note);
  // The marks the time charts show: this scan's, and a played recording's own.
  const std::vector<vesk::Mark>& ScanMarks();

  const RecordPublisher& Publisher() const { return publisher_; }
  // "published 1200, dropped 0", or "" while publishing is off.
  std::string PublishSummary() const;

 private:
  void SyncScan();
  LivePosition Position() const;
  // The latest position unless it is older than the display's stale limit.
  void SetFreshPosition(vesk::Mark& mark) const;
  // Appends `mark` to the marks file `path`, publishes it and keeps it for the charts.
  MarkResult WriteMark(vesk::Mark mark, const std::string& path);
  // The scan's events as marks; one the disk refuses waits for the next look.
  void MarkScanEvents();
  std::optional<double> FreeDiskMb(std::string& dir) const;

  CVESKDoc& doc_;
  RecordPublisher publisher_;
  LiveRecordSink sink_;
  AlarmMonitor alarms_;
  MarkLog marks_;
  std::uint64_t scan_ = 0;     // the document's scan these marks belong to
  std::string played_;         // and the recording it plays
  std::uint64_t logScan_ = 0;  // the scan marks_ was begun for
  std::vector<vesk::Mark> scanMarks_;
  std::deque<ScanEvent> unmarkedEvents_;
  std::string toldPublishError_;
};

}  // namespace vesk
