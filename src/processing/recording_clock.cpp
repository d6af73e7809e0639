#include "processing/recording_clock.h"

#include <cmath>
#include <string_view>

namespace vesk {
namespace {

constexpr double kDay = 86400;

}  // namespace

void RecordingClock::OnFrame(std::span<const std::uint8_t> frame) {
  if (frame.empty()) return;
  if (frame[0] == 'L') {
    seconds_ += kSecondsPerLFrame;
    return;
  }
  if (frame[0] != '$') return;
  // The frame holds one or more sentences, each ending in CR LF.
  const std::string_view text(reinterpret_cast<const char*>(frame.data()) + 1, frame.size() - 1);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    gps_.OnSentence(text.substr(start, end - start));
    if (gps_.Updates() != gpsUpdates_) {
      gpsUpdates_ = gps_.Updates();
      if (!IsMissing(gps_.Fix().timeOfDay)) OnGpsTime(gps_.Fix().timeOfDay);
    }
    start = end + 1;
  }
}

void RecordingClock::OnGpsTime(double timeOfDay) {
  if (!IsMissing(anchorTime_)) {
    double elapsed = timeOfDay - anchorTime_;
    if (elapsed < -kDay / 2) elapsed += kDay;  // past midnight
    const double byGps = anchorSeconds_ + elapsed;
    if (std::abs(byGps - seconds_) <= kMaxGpsCorrection) {
      seconds_ = byGps;
      return;
    }
  }
  anchorTime_ = timeOfDay;
  anchorSeconds_ = seconds_;
}

}  // namespace vesk
