#pragma once
// `vesk --simulate`: the built-in virtual counter on a pseudo-terminal, with the counter port
// (and the auxiliary port in NMEA mode) pointed at it for this run only.

#include <memory>
#include <string>

#include "seams/overlay_settings_store.h"

namespace vesk {

class CounterSimulator;
class OverlaySettingsStore;

class SimulatedCounter {
 public:
  SimulatedCounter(OverlaySettingsStore& store, unsigned seed);
  ~SimulatedCounter();
  bool Start();
  void Stop();
  std::string CounterDevice() const;
  std::string Error() const { return error_; }

 private:
  OverlaySettingsStore& store_;
  unsigned seed_;
  std::unique_ptr<CounterSimulator> simulator_;
  std::string error_;
};

}  // namespace vesk
