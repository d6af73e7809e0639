#pragma once
// "Log Initial NMEA Sample Only": whether NMEA text may still go into the .dat. The counter's
// "$" frames (processing thread) and the auxiliary port's groups (auxiliary thread) share it.

#include <atomic>

namespace vesk {

class NmeaLogGate {
 public:
  // May NMEA text be written now, with the option `initialOnly`?
  bool Allows(bool initialOnly) const { return !(initialOnly && written_.load()); }
  void Written() { written_ = true; }
  // A new logging run: its first sample is written again.
  void Reset() { written_ = false; }

 private:
  std::atomic<bool> written_{false};
};

}  // namespace vesk
