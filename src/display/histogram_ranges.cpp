#include "display/histogram_ranges.h"

#include <algorithm>

namespace vesk {

BinRange BinsFromAxis(double axisMinimum, double axisMaximum, bool sizeMode) {
  const double scale = sizeMode ? kMicronsPerBin : 1;
  return {static_cast<int>(axisMinimum / scale), static_cast<int>(axisMaximum / scale)};
}

double AxisFromBin(int bin, bool sizeMode) {
  return static_cast<double>(bin) * (sizeMode ? kMicronsPerBin : 1);
}

BinRange XZoomOut(BinRange r) {
  return {std::max(r.minimum - kHistogramXStep, 0),
          std::min(r.maximum + kHistogramXStep, kHistogramBins)};
}

BinRange XZoomIn(BinRange r) {
  // Never past the last bin, so that the axis always shows some of the histogram.
  const int minimum = std::min(r.minimum + kHistogramXStep, kHistogramBins - 1);
  return {minimum, std::max(r.maximum - kHistogramXStep, minimum + 1)};
}

BinRange XPanLeft(BinRange r) {
  if (r.minimum <= 0) return r;
  if (r.minimum - kHistogramXStep < 1) return {0, r.maximum};
  return {r.minimum - kHistogramXStep, r.maximum - kHistogramXStep};
}

BinRange XPanRight(BinRange r) {
  if (r.maximum >= kHistogramBins) return r;
  if (r.maximum + kHistogramXStep < kHistogramBins) {
    return {r.minimum + kHistogramXStep, r.maximum + kHistogramXStep};
  }
  return {r.minimum, kHistogramBins};
}

YRange YZoomOut(YRange r) {
  return {r.minimum, r.maximum * 1.5};
}

YRange YZoomIn(YRange r) {
  const double half = r.maximum * 0.5;
  return {r.minimum, half > kHistogramYMinimumTop ? half : kHistogramYMinimumTop};
}

}  // namespace vesk
