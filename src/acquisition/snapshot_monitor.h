#pragma once
// The counter's answer to "r" (take a snapshot), looked for in what the counter sends: by the
// serial source thread during a scan, and by the idle poll between scans.

#include <atomic>
#include <mutex>
#include <string_view>

#include "control/snapshot_reply.h"

namespace vesk {

class SnapshotMonitor {
 public:
  // "r" is on its way: its answer is looked for from now on.
  void Begin() {
    {
      std::lock_guard lock(mutex_);
      watch_ = SnapshotReplyWatch(SnapshotReplyWatch::Command::Take);
      reply_ = {};
    }
    watching_ = true;
  }
  bool Watching() const { return watching_; }
  // Bytes the counter sent.
  void Feed(std::string_view bytes) {
    std::lock_guard lock(mutex_);
    SnapshotReply reply = watch_.Feed(bytes);
    if (reply.outcome == SnapshotOutcome::None) return;
    reply_ = std::move(reply);
    watching_ = false;
  }
  // The answer so far (None: none yet).
  SnapshotReply Reply() const {
    std::lock_guard lock(mutex_);
    return reply_;
  }
  // No longer looked for.
  void End() { watching_ = false; }

 private:
  std::atomic<bool> watching_{false};
  mutable std::mutex mutex_;
  SnapshotReplyWatch watch_{SnapshotReplyWatch::Command::Take};
  SnapshotReply reply_;
};

}  // namespace vesk
