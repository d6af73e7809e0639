#pragma once
// A one-slot mailbox for the CTD line that the auxiliary port sends on: the processing thread
// puts each new line and never waits; the auxiliary thread takes the latest one when it can.
// A line not yet taken is replaced by the next, so a slow or vanished device costs lines on
// its own port, never time on the scan.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace vesk {

class LatestLineMailbox {
 public:
  // Never blocks longer than the copy of the line.
  void Put(std::string_view line) {
    {
      std::lock_guard lock(mutex_);
      if (full_) ++replaced_;
      line_.assign(line);
      full_ = true;
    }
    cv_.notify_one();
  }
  // The latest line, waiting up to `timeout` for one; the slot is then empty.
  std::optional<std::string> Take(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!cv_.wait_for(lock, timeout, [this] { return full_; })) return std::nullopt;
    full_ = false;
    return std::move(line_);
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    full_ = false;
    line_.clear();
    replaced_ = 0;
  }
  // Lines replaced before they were taken since the last Clear.
  std::uint64_t Replaced() const {
    std::lock_guard lock(mutex_);
    return replaced_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::string line_;
  bool full_ = false;
  std::uint64_t replaced_ = 0;
};

}  // namespace vesk
