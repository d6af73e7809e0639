#pragma once
// Where the frame processor hands what the analysis export needs: every accepted L frame as a
// row, and every NMEA sentence of a $ frame (for the GPS time and position).

#include <string_view>

#include "files/export_row.h"

namespace vesk {

class ExportSink {
 public:
  virtual ~ExportSink() = default;
  // After the L frame's .dat record and time chart sample; GPS fields are not filled yet.
  virtual void OnLRecord(const ExportRow& row) = 0;
  // The sentence as the $ frame carried it, with "\r\n" appended.
  virtual void OnNmeaSentence(std::string_view sentence) = 0;
};

}  // namespace vesk
