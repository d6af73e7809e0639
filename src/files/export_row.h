#pragma once
// One row of the analysis export: everything known about one accepted L frame, merged with
// the latest CTD record and GPS fix. Missing values are NaN (never zero).

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

#include "files/processed_records.h"
#include "instruments/missing.h"

namespace vesk {

struct CtdSample;

inline constexpr int kExportBinCount = 128;
// Equivalent spherical diameter per size bin: bin k reads as 15 x k micrometres.
inline constexpr double kBinEsdMicrometres = 15.0;

struct ExportRow {
  std::uint32_t lFrameIndex = 0;  // the L frame count before this frame (0 for the first)

  // GPS: the latest fix from the configured sentence (filled by the export stage).
  double epochSeconds = kMissing;  // UTC seconds since 1970-01-01, only when a date is known
  double timeOfDay = kMissing;     // UTC seconds since midnight
  double latitude = kMissing;      // degrees north; missing once the fix is too old
  double longitude = kMissing;     // degrees east; likewise
  double fixAge = kMissing;        // L frames since the sentence that gave the fix

  // CTD: the latest decoded instrument line.
  double pressure = kMissing;      // dbar
  double depth = kMissing;         // m, from the pressure and the fix's (or survey) latitude
  double temperature = kMissing;   // degrees Celsius
  double conductivity = kMissing;  // S/m (mS/cm for the Micro CTD)
  double salinity = kMissing;      // PSU
  double analog = kMissing;        // instrument units

  double flowSpeed = 0;        // m/s
  double countsPerVolume = 0;  // 1000 counts per m^3 of this frame alone
  double frameTotal = 0;       // counts per second
  std::int32_t windowCount = 0;
  double counterValue = 0;
  std::uint32_t laserMonitor = 0;  // H6
  std::array<std::uint32_t, kExportBinCount> bins{};
};

// One element event of an M frame, as the .dat writes it, with the L frame count at its
// arrival (the l_frame_index of the next L row).
struct MepEvent {
  std::uint32_t lFrameIndex = 0;
  std::uint32_t element = 0;
  std::uint32_t timeStamp = 0;  // kPartialEventStamp: the event's last words never arrived
  std::uint32_t duration = 0;
  std::uint32_t size = 0;  // digital size, the MEP flag taken out
  bool mepFlag = false;
  bool Partial() const { return timeStamp == kPartialEventStamp; }
};

// The cross-section of the sampling tunnel (m^2): standard or wide (2.5x).
inline double TunnelCrossSection(bool standard) {
  return standard ? 0.0049 : 0.01225;
}

// Counts per volume of one frame (1000 counts per m^3): total / (cross-section x flow) x 0.001,
// 0 when there is no flow.
double FrameCountsPerVolume(double frameTotal, double crossSection, double flowSpeed);

// What an L frame's processing knows besides the bins, for its row.
struct ExportRowInputs {
  std::uint32_t lFrameIndex = 0;
  double crossSection = 0;  // of the tunnel, m^2
  int ctdModel = 0;
  double flowSpeed = 0;
  double frameTotal = 0;
  std::int32_t windowCount = 0;
  double counterValue = 0;
  std::uint32_t laserMonitor = 0;
};

// Fills everything but the bins, the GPS fields and the depth. A CTD record that is all zero
// (no instrument line decoded yet) is missing, and so are the quantities the selected
// instrument does not measure.
void FillExportRow(ExportRow& row, const CtdSample& ctd, const ExportRowInputs& in);

}  // namespace vesk
