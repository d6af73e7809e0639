#pragma once
// The published records as JSON, one object per datagram: every object has "type" ("L", "C",
// "M", "alarm", "mark", "profile"), "seq" (one sequence over all datagrams of the run, so a gap is
// a datagram lost), "utc" (the PC's UTC time, ISO 8601 with milliseconds) and "source" ("live" or
// "playback"). Field names are those of the CSV export, units included; a missing value is null.
// LiveRecordSink takes the frame processor's records and publishes them.

#include <atomic>
#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <span>
#include <string>
#include <string_view>

#include "control/record_publisher.h"
#include "files/export_row.h"
#include "files/mark_log.h"
#include "processing/record_sink.h"

namespace vesk {

// The latest position when a record is made.
struct LivePosition {
  double latitude = kMissing;  // degrees north
  double longitude = kMissing;
  double fixAgeSeconds = kMissing;  // since the sentence that gave it
};

struct RecordHeader {
  std::uint64_t sequence = 0;
  double epochSeconds = 0;  // the PC's UTC time, seconds since 1970
  bool playback = false;
};

// Seconds since 1970 by the PC's clock, with the fraction.
double UtcNow();

std::string LRecordJson(const RecordHeader& header, const RecordScanInfo& scan,
                        const ExportRow& row, const LivePosition& position);
std::string CRecordJson(const RecordHeader& header, const RecordScanInfo& scan,
                        std::string_view line, const ExportRow& ctd, const LivePosition& position);
// A summary of an M frame: its events, how many carry the MEP flag, and whether the last one
// is partial.
std::string MRecordJson(const RecordHeader& header, std::span<const std::uint32_t> events,
                        std::uint32_t lFrameCount);
// `alarm`: its name ("flow_low"); `raised` false when it was cleared.
std::string AlarmRecordJson(const RecordHeader& header, std::string_view alarm, bool raised,
                            std::string_view text);
std::string MarkRecordJson(const RecordHeader& header, const Mark& mark);
// A finished profile of the cast products: the fields of vesk-process's summary.
std::string ProfileRecordJson(const RecordHeader& header, const ProfileValues& profile);
// Those fields (profile, direction, first_l_frame, ..., nbss_bins_fitted); no slope is null.
nlohmann::ordered_json ProfileSummaryJson(const ProfileValues& profile);

class LiveRecordSink final : public RecordSink {
 public:
  using PositionReader = std::function<LivePosition()>;
  LiveRecordSink(RecordPublisher& publisher, PositionReader position)
      : publisher_(publisher), position_(std::move(position)) {}

  void OnScanStart(const RecordScanInfo& info) override {
    scan_ = info;
    playback_ = info.playback;
  }
  void OnLRecord(const ExportRow& row) override;
  void OnCRecord(std::string_view line, const ExportRow& ctd) override;
  void OnMEvents(std::span<const std::uint32_t> events, std::uint32_t lFrameCount) override;
  void OnProfile(const ProfileValues& profile) override;

  // Alarms and marks, from the user-interface thread.
  void PublishAlarm(std::string_view alarm, bool raised, std::string_view text);
  void PublishMark(const Mark& mark);

 private:
  RecordHeader Header(double epochSeconds);

  RecordPublisher& publisher_;
  PositionReader position_;
  RecordScanInfo scan_;                // processing thread
  std::atomic<bool> playback_{false};  // for the user-interface thread's records
};

}  // namespace vesk
