#include "display/axis_ticks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vesk {
namespace {

// Quotients this close to a whole number count as whole: 0.3 / 0.1 is 2.9999999999999996.
constexpr double kSlack = 1e-9;

double FloorMultiple(double value, double step) {
  return std::floor(value / step + kSlack);
}

double CeilMultiple(double value, double step) {
  return std::ceil(value / step - kSlack);
}

}  // namespace

int DecimalsForStep(double step) {
  if (!(step > 0) || !std::isfinite(step)) return 0;
  return std::max(0, static_cast<int>(-std::floor(std::log10(step) + kSlack)));
}

NiceRange ChooseNiceRange(double lo, double hi, int maxLabels) {
  if (!std::isfinite(lo) || !std::isfinite(hi)) return {};
  if (lo > hi) std::swap(lo, hi);
  if (hi - lo <= std::abs(hi) * 1e-12) {
    // A flat line: a range around its value, the line in the middle.
    const double half = lo == 0 ? 0.5 : std::abs(lo) * 0.01;
    lo -= half;
    hi += half;
  }
  maxLabels = std::max(maxLabels, 2);
  // From a step that is surely too fine, the next 1-2-5 step until the labels fit.
  const double span = hi - lo;
  double power = std::pow(10.0, std::floor(std::log10(span / maxLabels)) - 1);
  static constexpr double kMantissas[] = {1, 2, 5};
  for (;;) {
    for (double m : kMantissas) {
      const double step = m * power;
      const double first = FloorMultiple(lo, step);
      const double last = CeilMultiple(hi, step);
      if (last - first + 1 <= maxLabels) {
        return {first * step, last * step, step, DecimalsForStep(step)};
      }
    }
    power *= 10;
  }
}

double ChooseTimeStep(double spanSeconds, int maxLabels) {
  static constexpr double kSteps[] = {1,   2,   5,    10,   15,   30,    60,    120,  300,
                                      600, 900, 1800, 3600, 7200, 10800, 21600, 43200};
  maxLabels = std::max(maxLabels, 2);
  if (!(spanSeconds > 0) || !std::isfinite(spanSeconds)) return kSteps[0];
  for (double step : kSteps) {
    if (spanSeconds / step + 1 <= maxLabels) return step;
  }
  const double day = 86400;
  return day * std::ceil(spanSeconds / day / (maxLabels - 1));
}

std::string ElapsedLabel(double seconds, bool withHours) {
  const long long total = std::llround(std::abs(seconds));
  const char* sign = seconds < 0 && total != 0 ? "-" : "";
  char text[48];
  if (withHours) {
    std::snprintf(text, sizeof text, "%s%lld:%02lld:%02lld", sign, total / 3600, total / 60 % 60,
                  total % 60);
  } else {
    std::snprintf(text, sizeof text, "%s%02lld:%02lld", sign, total / 60, total % 60);
  }
  return text;
}

}  // namespace vesk
