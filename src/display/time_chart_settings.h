#pragma once
// The ten time chart series (captions, selection texts, default y scaling) and the stored
// settings of the time charts ("Time Plots"), with the arithmetic of the x buttons.

#include <QString>
#include <array>
#include <optional>

#include "seams/settings_store.h"

namespace vesk {

inline constexpr int kTimeSeriesCount = 10;
inline constexpr int kSelectableSeries = 9;  // the laser monitor is not offered
inline constexpr int kTimeCharts = 3;
// A time chart sample is made of two L frames, which the counter sends half a second apart.
inline constexpr double kTimeChartSampleSeconds = 1.0;

struct TimeSeriesInfo {
  const char* caption;    // Latin-1
  const char* selection;  // nullptr when not offered
  int minY;
  int maxY;
  int scaling;
};

// The series of index 0..9.
const TimeSeriesInfo& SeriesInfo(int index);
// The y axis caption of a series; "Plot %d" for an unknown index.
QString SeriesCaption(int index);

// A series' y scaling: range and tick spacing.
struct SeriesScale {
  int minY = 0;
  int maxY = 0;
  int scaling = 0;
  bool operator==(const SeriesScale&) const = default;
};
SeriesScale LoadSeriesScale(const SettingsStore& store, int index);
void StoreSeriesScale(SettingsStore& store, int index, const SeriesScale& scale);
void StoreSeriesRange(SettingsStore& store, int index, int minY, int maxY);

struct XWindow {
  double minimum = 0;
  double maximum = 0;
  bool operator==(const XWindow&) const = default;
};

// The x buttons; `span` is "DefaultMaxX".
XWindow XPlus(XWindow x, int span);
XWindow XMinus(XWindow x, int span);
// "<<" moves half the default span towards older samples, only while the minimum stays at
// 0 or above; ">>" moves as far towards newer ones.
std::optional<XWindow> XOlder(XWindow x, int defaultMinX, int defaultMaxX);
XWindow XNewer(XWindow x, int defaultMinX, int defaultMaxX);
// The label beside the x buttons, the step they move by: the time `samples` samples span
// ("step 10 min", "step 45 s", "step 1 min 30 s").
QString StepLabel(int samples);
// A time since the scan started as typed: "ss", "mm:ss" or "h:mm:ss", in seconds.
std::optional<int> ParseElapsedTime(const QString& text);

}  // namespace vesk
