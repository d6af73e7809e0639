#pragma once
// The time a recording tells of itself, which a playback is paced by: its L frames, which the
// counter sends two a second, and the GPS time of its NMEA sentences where it has them (the
// L frames then count the time between two fixes). A jump of the GPS time (a gap in the
// recording, a receiver that lost its fix) is not replayed: the clock goes on from where it
// stood.

#include <cstdint>
#include <span>

#include "instruments/nmea_fields.h"

namespace vesk {

class RecordingClock {
 public:
  static constexpr double kSecondsPerLFrame = 0.5;
  // How far the GPS time may differ from the L frames' count and still set the clock.
  static constexpr double kMaxGpsCorrection = 10.0;

  // One frame as the deframer gives it, type byte first.
  void OnFrame(std::span<const std::uint8_t> frame);
  // Seconds of the recording so far.
  double Seconds() const { return seconds_; }

 private:
  void OnGpsTime(double timeOfDay);

  double seconds_ = 0;
  GpsFixTracker gps_;
  std::uint64_t gpsUpdates_ = 0;
  double anchorTime_ = kMissing;  // the GPS time of day at the anchor
  double anchorSeconds_ = 0;      // the clock at the anchor
};

}  // namespace vesk
