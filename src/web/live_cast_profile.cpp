#include "web/live_cast_profile.h"

#include "processing/scan_results.h"

namespace vesk {

ProfileSource CastProfileSource(const ScanResults& results) {
  return [&results]() -> std::optional<CastProfile> {
    const std::shared_ptr<const CastSnapshot> s = results.Cast().Latest();
    if (s == nullptr) return std::nullopt;
    const bool open = s->status.direction != CastDirection::kNone;
    const std::vector<LiveDepthBin>& bins = open ? s->current : s->previous;
    if (bins.empty()) return std::nullopt;
    CastProfile p;
    p.number = open ? s->status.profile : s->status.profile - 1;
    p.direction = DirectionName(open ? s->status.direction : s->previousDirection);
    p.bins.reserve(bins.size());
    for (const LiveDepthBin& b : bins) {
      p.bins.push_back({b.depth, b.concentration, b.ciLow, b.ciHigh});
    }
    return p;
  };
}

}  // namespace vesk
