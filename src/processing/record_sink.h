#pragma once
// Where the frame processor hands each processed record as it goes into the .dat, for whoever
// takes the records live (the network publisher). Called on the processing thread, with no
// lock held but the CTD lock around a C record; an implementation never waits.

#include <cstdint>
#include <span>
#include <string_view>

#include "files/export_row.h"
#include "files/profile_record.h"

namespace vesk {

// What the records of one scan are read against.
struct RecordScanInfo {
  bool playback = false;  // the records come from a recording, not the counter
  int ctdModel = 0;
  double surveyLatitude = 0;  // for the depth when no fix gives one
};

class RecordSink {
 public:
  virtual ~RecordSink() = default;
  // Before the scan's first frame.
  virtual void OnScanStart(const RecordScanInfo& info) = 0;
  // After the L frame's .dat record; GPS fields and the depth are not filled.
  virtual void OnLRecord(const ExportRow& row) = 0;
  // After the C frame's .dat record: the CTD line and the row's CTD fields decoded from it.
  virtual void OnCRecord(std::string_view line, const ExportRow& ctd) = 0;
  // The events of one M frame (E, S, D, Z each) and the L frame count at its arrival.
  virtual void OnMEvents(std::span<const std::uint32_t> events, std::uint32_t lFrameCount) = 0;
  // A profile of the cast products as it is finished (its depth bins are not published).
  virtual void OnProfile(const ProfileValues& /*profile*/) {}
};

}  // namespace vesk
