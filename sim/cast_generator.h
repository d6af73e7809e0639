#pragma once
// The byte stream a counter and its deck unit send during a cast: "L" frames twice a
// second, "M" frames of particle element events, "C" frames of CTD lines, "$" frames of
// NMEA sentences from a drifting ship, and some start-up text before the first frame. The
// same seed and options always give the same bytes, however the stream is cut into calls.

#include <cstdint>
#include <string>
#include <vector>

#include "instruments/ctd_model.h"
#include "sim/ocean_model.h"
#include "sim/sim_random.h"

namespace vesk {

struct CastOptions {
  std::uint64_t seed = 1;
  int ctdModel = CtdCode::kMicroCtd;  // or CtdCode::kSbe19 (hex words)
  int sbeAnalogChannels = 0;          // model 4: analog channels in the hex word (0, 2 or 4)
  double ctdRateHz = 0;               // 0: the model's own rate
  int lFrameLength = 274;             // 271, 274 (with N and T) or 276 (with A as well)
  double maxDepth = 80.0;             // m
  double descentRate = 1.0;           // m/s, also the ascent rate
  double surfaceSeconds = 20;         // soak near the surface before each descent and after ascent
  double bottomSeconds = 10;          // held at the deepest point
  double latitude = 44.65;            // start of the ship's drift, degrees
  double longitude = -63.50;
  double driftKnots = 0.4;
  double driftCourse = 75.0;           // degrees true
  std::int64_t startUtc = 1781524800;  // 2026-06-15 12:00:00 UTC, the NMEA clock at t = 0
  bool withStartupText = true;
  bool withCtd = true;
  bool withNmea = true;
  bool withMep = true;
  SimSbe19Calibration sbe19;
};

// The sea the instrument is in at one moment of the cast.
struct CastState {
  double depth = 0;         // m
  double pressure = 0;      // dbar
  double temperature = 0;   // deg C
  double salinity = 0;      // PSU
  double conductivity = 0;  // S/m
  double speed = 0;         // m/s through the water
};

class CastGenerator {
 public:
  explicit CastGenerator(const CastOptions& options);
  // Whether the C frames can be the lines of this instrument model.
  static bool Speaks(int ctdModel) {
    return ctdModel == CtdCode::kMicroCtd || ctdModel == CtdCode::kSbe19;
  }

  // Appends everything sent from the current time up to `untilSeconds` (simulated time
  // from the start of the scan). Returns the number of bytes appended.
  std::size_t AdvanceTo(double untilSeconds, std::vector<std::uint8_t>& out);
  double Time() const { return now_; }
  const CastOptions& Options() const { return options_; }

  // The cast at time t, and the pieces of the stream (no framing) for it.
  CastState StateAt(double t) const;
  std::string CtdLine(const CastState& s, double analog) const;
  std::string GgaSentence(double t) const;
  std::string RmcSentence(double t) const;
  // The counter's text when it starts scanning (contains no "~").
  static std::string StartupText();

 private:
  void EmitL(double t, std::vector<std::uint8_t>& out);
  void EmitM(double t, std::vector<std::uint8_t>& out);
  void EmitC(double t, std::vector<std::uint8_t>& out);
  void EmitNmea(double t, std::vector<std::uint8_t>& out);
  // Ship position (degrees) at time t.
  void PositionAt(double t, double& lat, double& lon) const;
  // What the GGA and RMC sentences of second t share, as they write it: the UTC time
  // ("hhmmss.00"), the position ("ddmm.mmmm,N,dddmm.mmmm,E") and the date ("ddmmyy").
  struct NmeaFix {
    std::string time, position, date;
  };
  NmeaFix FixAt(double t) const;

  CastOptions options_;
  double ctdPeriod_;
  double now_ = 0;
  bool startupSent_ = false;
  std::int64_t lCount_ = 0, mCount_ = 0, cCount_ = 0, nmeaCount_ = 0;
  SimRandom rngL_, rngM_, rngC_;
};

// Appends "*hh" after the sentence's checksum (XOR of the characters between "$" and "*").
std::string WithNmeaChecksum(const std::string& sentenceWithoutChecksum);

// Writes a synthetic raw file: a text header ("# ..." lines, no "~") and then the stream of
// `durationSeconds` of simulated time. Throws std::runtime_error when the file cannot be
// written. Returns the number of stream bytes written after the header.
std::size_t WriteSyntheticRecording(const std::string& path, const CastOptions& options,
                                    double durationSeconds);

}  // namespace vesk
