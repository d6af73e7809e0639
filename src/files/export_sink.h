#pragma once
// Where the frame processor hands what the analysis export needs: every accepted L frame as a
// row, the element events of every M frame, and every NMEA sentence of a $ frame (for the GPS
// time and position).

#include <cstdint>
#include <span>
#include <string_view>

#include "files/export_row.h"

namespace vesk {

class ExportSink {
 public:
  virtual ~ExportSink() = default;
  // After the L frame's .dat record and time chart sample; GPS fields are not filled yet.
  virtual void OnLRecord(const ExportRow& row) = 0;
  // The events of one M frame, four values each (E, S, D, Z) as the .dat has them, and the
  // L frame count at its arrival.
  virtual void OnMEvents(std::span<const std::uint32_t> events, std::uint32_t lFrameCount) = 0;
  // The sentence as the $ frame carried it, with "\r\n" appended.
  virtual void OnNmeaSentence(std::string_view sentence) = 0;
};

}  // namespace vesk
