#pragma once
// The wall clock seam: local time for file names and headers, so tests can fix the time.

#include <ctime>
#include <string>

namespace vesk {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::tm LocalTime() const = 0;
};

class SystemClock final : public Clock {
 public:
  std::tm LocalTime() const override {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return tm;
  }
};

// Always the same time (tests, reproducible runs).
class FixedClock final : public Clock {
 public:
  explicit FixedClock(std::tm tm) : tm_(tm) {}
  std::tm LocalTime() const override { return tm_; }
  void Set(std::tm tm) { tm_ = tm; }

 private:
  std::tm tm_;
};

// strftime into a std::string.
std::string FormatTime(const std::tm& tm, const char* format);

}  // namespace vesk
