#pragma once
// A value an instrument did not give: NaN, never zero.

#include <cmath>
#include <limits>

namespace vesk {

inline constexpr double kMissing = std::numeric_limits<double>::quiet_NaN();

inline bool IsMissing(double v) {
  return !std::isfinite(v);
}

}  // namespace vesk
