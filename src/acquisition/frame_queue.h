#pragma once
// The queue of deframed frames between a source thread and the processing thread, with its
// own lock. The consumer takes every waiting frame at once; it sleeps up to its poll time
// when the queue is empty and is woken early only when a batch has gathered, so a live line
// costs one wake-up per poll while a file played as fast as it can be read never waits. A
// playback source waits for room when the consumer falls behind.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>

#include "processing/deframer.h"

namespace vesk {

class FrameQueue {
 public:
  // Frames gathered before a waiting consumer is woken.
  static constexpr std::size_t kBatch = 64;

  void Push(std::span<const std::uint8_t> frame) {
    Frame copy(frame.begin(), frame.end());
    bool wake = false;
    {
      std::lock_guard lock(mutex_);
      frames_.push_back(std::move(copy));
      wake = consumerWaiting_ && frames_.size() >= kBatch;
    }
    if (wake) consumer_.notify_one();
  }
  // Moves every queued frame to `out` (emptied first), waiting up to `poll` for one.
  void TakeAll(std::deque<Frame>& out, std::chrono::milliseconds poll) {
    out.clear();
    {
      std::unique_lock lock(mutex_);
      if (frames_.empty()) {
        consumerWaiting_ = true;
        consumer_.wait_for(lock, poll, [this] { return frames_.size() >= kBatch; });
        consumerWaiting_ = false;
      }
      out.swap(frames_);
    }
    producer_.notify_all();
  }
  // Waits up to `timeout` while more than `limit` frames wait; true when there is room.
  bool WaitForRoom(std::size_t limit, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return producer_.wait_for(lock, timeout, [&] { return frames_.size() <= limit; });
  }
  std::size_t Size() const {
    std::lock_guard lock(mutex_);
    return frames_.size();
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    frames_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable consumer_;
  std::condition_variable producer_;
  std::deque<Frame> frames_;
  bool consumerWaiting_ = false;
};

}  // namespace vesk
