#pragma once
// Where the labels of a plot axis go: "nice" steps (1, 2 or 5 times a power of ten) for a
// value axis that follows its data, and round times for an axis of elapsed time.

#include <string>

namespace vesk {

struct NiceRange {
  double minimum = 0;
  double maximum = 1;
  double step = 1;   // between two labels
  int decimals = 0;  // that a label of this step needs
};

// The data range `lo`..`hi` widened to whole multiples of the smallest 1-2-5 step that puts
// at most `maxLabels` labels on the axis. With the default of 7 every range gets 4 to 7
// labels. A flat range is first widened around its value; a non-finite one gives 0..1.
NiceRange ChooseNiceRange(double lo, double hi, int maxLabels = 7);

// The digits after the point that labels `step` apart need (0 for a step of 1 or more).
int DecimalsForStep(double step);

// The smallest round time step (1, 2, 5, 10, 15, 30 s; 1, 2, 5, 10, 15, 30 min; 1, 2, 3, 6,
// 12 h; then whole days) that puts at most `maxLabels` labels on a span of `spanSeconds`.
double ChooseTimeStep(double spanSeconds, int maxLabels);

// An elapsed time as "mm:ss", or "h:mm:ss" when `withHours`; negative times keep their sign.
std::string ElapsedLabel(double seconds, bool withHours);

}  // namespace vesk
