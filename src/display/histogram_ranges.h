#pragma once
// The arithmetic of the histogram's zoom and pan buttons, in whole bins (the size axis shows
// 15 um per bin), kept apart from the widgets.

namespace vesk {

inline constexpr int kHistogramBins = 128;  // x axis end in bins
inline constexpr int kMicronsPerBin = 15;   // size axis: equivalent spherical diameter
inline constexpr int kHistogramXStep = 10;  // bins moved by one x button press
inline constexpr double kHistogramYMinimumTop = 10;
inline constexpr double kHistogramYDefaultTop = 100;

struct BinRange {
  int minimum = 0;
  int maximum = kHistogramBins;
  bool operator==(const BinRange&) const = default;
};

struct YRange {
  double minimum = 0;
  double maximum = kHistogramYDefaultTop;
  bool operator==(const YRange&) const = default;
};

// The x axis range read from the graph in whole bins (axis units / 15 in size mode).
BinRange BinsFromAxis(double axisMinimum, double axisMaximum, bool sizeMode);
// The axis range that shows `bins` (x 15 in size mode).
double AxisFromBin(int bin, bool sizeMode);

// "+" on x: 10 bins more on each side, within 0 .. 128.
BinRange XZoomOut(BinRange r);
// "-" on x: 10 bins less on each side, keeping at least one bin.
BinRange XZoomIn(BinRange r);
// "<<": 10 bins to the left; the last step stops at 0 and keeps the maximum.
BinRange XPanLeft(BinRange r);
// ">>": 10 bins to the right; the last step stops at 128 and keeps the minimum.
BinRange XPanRight(BinRange r);
// "R" on x.
inline BinRange XReset() {
  return {};
}

// "+" on y: the top half as high again.
YRange YZoomOut(YRange r);
// "-" on y: the top halved, but not below 10.
YRange YZoomIn(YRange r);
// "R" on y.
inline YRange YReset() {
  return {};
}

}  // namespace vesk
