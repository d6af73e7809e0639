#pragma once
// The settings a scan's processing reads, as one value. The document copies its settings at
// the start of a scan; the threads read that copy without locks. A change the user makes
// during the scan reaches the processing as a new value, taken at the next frame.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "files/export_stage.h"
#include "instruments/nav_display.h"

namespace vesk {

// Reference constant of the counter: the counter scale K is CounterConstant divided by it.
inline constexpr double kCounterReferenceConstant = 3.47826e-05;

class SettingsStore;

struct ScanSettings {
  double firmwareVersion = 2.25;            // decides which L frame fields exist
  std::string counterConstantText = "0.0";  // as stored
  double counterScale = 0;                  // K: CounterConstant / the counter's reference constant
  double surveyLat = 99.9999;               // for pressure to depth
  int windowLowerBound = 0;                 // the window count's bins: lower <= k < upper
  int windowUpperBound = 127;
  int bufferLength = 3600;     // time chart history capacity
  int maxMepLength = 1000;     // the longest particle, in time stamp units
  int gridScalingFactor = 1;   // time stamp units per grid row
  bool standardTunnel = true;  // the wide (2.5x) tunnel otherwise
  bool gridPaused = false;     // M frames not used for the grid
  bool logInitialNmeaOnly = false;
  int ctdModel = 0;               // the CTD catalogue's model code
  bool instrInputViaMux = false;  // CTD lines come through the deck unit's multiplexer
  NavSettings nav;

  // Everything above as the store holds it.
  static ScanSettings Load(const SettingsStore& store);

  // The tunnel's cross section (m^2).
  double CrossSection() const { return TunnelCrossSection(standardTunnel); }
  // What the analysis export of a run with these settings records of them; the caller adds
  // the header, the recording and the marks.
  ExportRunInputs ExportInputs(int decodedCtdModel) const;
};

// The settings value of a running scan and its later changes: the user-interface thread
// publishes a new value, the processing thread takes the newest at a frame boundary (one
// atomic load a frame when nothing changed).
class ScanSettingsChannel {
 public:
  explicit ScanSettingsChannel(const ScanSettings& initial = {})
      : current_(std::make_shared<const ScanSettings>(initial)) {}

  void Publish(const ScanSettings& settings) {
    auto value = std::make_shared<const ScanSettings>(settings);
    std::lock_guard lock(mutex_);
    current_ = std::move(value);
    version_.fetch_add(1, std::memory_order_release);
  }
  // The newest value; `seen` is the version the caller holds (updated).
  std::shared_ptr<const ScanSettings> Newest(std::uint64_t& seen) const {
    seen = version_.load(std::memory_order_acquire);
    std::lock_guard lock(mutex_);
    return current_;
  }
  bool ChangedSince(std::uint64_t seen) const {
    return version_.load(std::memory_order_acquire) != seen;
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<const ScanSettings> current_;
  std::atomic<std::uint64_t> version_{0};
};

}  // namespace vesk
