#pragma once
// A waitable event, auto- or manual-reset, as the threads use to tell each other to stop.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace vesk {

class Event {
 public:
  enum class ResetMode { Auto, Manual };
  explicit Event(ResetMode mode = ResetMode::Auto) : mode_(mode) {}

  void Set() {
    {
      std::lock_guard lock(mutex_);
      signalled_ = true;
    }
    cv_.notify_all();
  }
  void Reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
  }
  // True when the event was signalled within the time (0: only look). An auto-reset event
  // is consumed by the wait that sees it.
  bool Wait(int milliseconds) {
    std::unique_lock lock(mutex_);
    if (milliseconds <= 0) {
      // Only a look: the worker loops ask this for every frame and every read, and a timed
      // wait on the condition costs system calls even when it returns at once.
      if (!signalled_) return false;
      if (mode_ == ResetMode::Auto) signalled_ = false;
      return true;
    }
    if (!cv_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                      [this] { return signalled_; })) {
      return false;
    }
    if (mode_ == ResetMode::Auto) signalled_ = false;
    return true;
  }
  bool IsSet() const {
    std::lock_guard lock(mutex_);
    return signalled_;
  }

 private:
  const ResetMode mode_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool signalled_ = false;
};

}  // namespace vesk
