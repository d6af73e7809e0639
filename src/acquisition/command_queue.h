#pragma once
// Commands for the counter: queued by the user-interface thread, written to the port by the
// serial source thread between its reads.

#include <deque>
#include <mutex>
#include <optional>
#include <string>

namespace vesk {

class CommandQueue {
 public:
  void Push(std::string command) {
    std::lock_guard lock(mutex_);
    commands_.push_back(std::move(command));
  }
  std::optional<std::string> Take() {
    std::lock_guard lock(mutex_);
    if (commands_.empty()) return std::nullopt;
    std::string command = std::move(commands_.front());
    commands_.pop_front();
    return command;
  }
  bool Empty() const {
    std::lock_guard lock(mutex_);
    return commands_.empty();
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    commands_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::deque<std::string> commands_;
};

}  // namespace vesk
