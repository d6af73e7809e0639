#pragma once
// The live cast products as the views and the status line read them. The processing thread
// publishes a snapshot of its CastProducts now and then (CastBoard::kPublishInterval, and at
// each finished profile); a reader takes the latest without ever making the scan wait. The
// views choose which size bins the concentrations count (all, or the window's).

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "processing/cast_products.h"

namespace vesk {

class CastBoard {
 public:
  static constexpr std::chrono::milliseconds kPublishInterval{500};

  // --- readers (any thread) ------------------------------------------------------------
  // The latest snapshot; null before the scan's first frame with a depth.
  std::shared_ptr<const CastSnapshot> Latest() const {
    std::lock_guard lock(lock_);
    return latest_;
  }
  // The size bins the concentrations count from the next snapshot on (clamped by the
  // products).
  void ChooseBins(int first, int last) {
    first_ = first;
    last_ = last;
  }
  std::pair<int, int> ChosenBins() const { return {first_.load(), last_.load()}; }

  // --- the processing thread ------------------------------------------------------------
  // Whether a snapshot is due at `now` (the first one, or kPublishInterval after the last).
  bool Due(std::chrono::steady_clock::time_point now) const { return now >= next_; }
  void Publish(std::shared_ptr<const CastSnapshot> snapshot,
               std::chrono::steady_clock::time_point now) {
    next_ = now + kPublishInterval;
    std::lock_guard lock(lock_);
    latest_ = std::move(snapshot);
  }
  // A new scan: nothing of the last one is shown.
  void Clear() {
    next_ = {};
    std::lock_guard lock(lock_);
    latest_.reset();
  }

 private:
  mutable std::mutex lock_;
  std::shared_ptr<const CastSnapshot> latest_;
  std::chrono::steady_clock::time_point next_{};  // the processing thread's
  std::atomic<int> first_{0};
  std::atomic<int> last_{kExportBinCount - 1};
};

// What the status line shows of the cast: "3 down 12.5 m" (the open profile's number, its
// direction and the latest frame's depth bin centre), or "-" before a profile has begun.
std::string CastStatusText(const CastSnapshot* snapshot);

}  // namespace vesk
