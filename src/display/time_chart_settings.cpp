#include "display/time_chart_settings.h"

#include <QStringList>
#include <cmath>
#include <cstdio>

namespace vesk {
namespace {

constexpr const char* kSection = "Time Plots";

// The temperature caption carries the degree sign as the single byte 0xB0.
constexpr TimeSeriesInfo kSeries[kTimeSeriesCount] = {
    {"Depth (m)", "Depth vs Time", 0, 100, 25},
    {"Temperature (\xB0"
     "C)",
     "Temperature vs Time", 0, 25, 2},
    {"Counts Per Second (Counts/sec)", "Counts Per Second", 0, 100, 50},
    {"Salinity (psu)", "Salinity vs Time", 0, 40, 2},
    {"CPS - Window (Counts/sec)", "Counts Per Second (Window)", 0, 100, 50},
    {"Counts / Volume (1000 Cts/m^3)", "Counts Per Volume", 0, 50, 25},
    {"Flow Speed (m/s)", "Flow Speed vs Time", 0, 8, 1},
    {"Analog Instr (A/D Counts)", "Analog Instr vs Time", 0, 4095, 100},
    {"Counter", "Counter vs Time", 0, 10, 1},
    {"Laser Monitor", nullptr, 1000, 4000, 100},
};

std::string SeriesKey(const char* stem, int index) {
  char key[32];
  std::snprintf(key, sizeof key, "%s%d", stem, index);
  return key;
}

}  // namespace

const TimeSeriesInfo& SeriesInfo(int index) {
  return kSeries[index >= 0 && index < kTimeSeriesCount ? index : 0];
}

QString SeriesCaption(int index) {
  if (index >= 0 && index < kTimeSeriesCount) return QString::fromLatin1(kSeries[index].caption);
  char text[32];
  std::snprintf(text, sizeof text, "Plot %d", index);
  return QString::fromLatin1(text);
}

SeriesScale LoadSeriesScale(const SettingsStore& store, int index) {
  const TimeSeriesInfo& info = SeriesInfo(index);
  return {store.ReadInt(kSection, SeriesKey("DefMinY", index), info.minY),
          store.ReadInt(kSection, SeriesKey("DefMaxY", index), info.maxY),
          store.ReadInt(kSection, SeriesKey("DefSFY", index), info.scaling)};
}

void StoreSeriesScale(SettingsStore& store, int index, const SeriesScale& scale) {
  StoreSeriesRange(store, index, scale.minY, scale.maxY);
  store.WriteInt(kSection, SeriesKey("DefSFY", index), scale.scaling);
}

void StoreSeriesRange(SettingsStore& store, int index, int minY, int maxY) {
  store.WriteInt(kSection, SeriesKey("DefMinY", index), minY);
  store.WriteInt(kSection, SeriesKey("DefMaxY", index), maxY);
}

XWindow XPlus(XWindow x, int span) {
  return {x.minimum, x.maximum + span};
}

XWindow XMinus(XWindow x, int span) {
  if (x.maximum > span) x.maximum -= span;
  return x;
}

std::optional<XWindow> XOlder(XWindow x, int defaultMinX, int defaultMaxX) {
  const double step = (defaultMaxX - defaultMinX) / 2;
  if (x.minimum - step < 0) return std::nullopt;
  return XWindow{x.minimum - step, x.maximum - step};
}

XWindow XNewer(XWindow x, int defaultMinX, int defaultMaxX) {
  const double step = (defaultMaxX - defaultMinX) / 2;
  return {x.minimum + step, x.maximum + step};
}

QString StepLabel(int samples) {
  const long seconds = std::lround(samples * kTimeChartSampleSeconds);
  char text[48];
  if (seconds < 60) {
    std::snprintf(text, sizeof text, "step %ld s", seconds);
  } else if (seconds % 60 == 0) {
    std::snprintf(text, sizeof text, "step %ld min", seconds / 60);
  } else {
    std::snprintf(text, sizeof text, "step %ld min %ld s", seconds / 60, seconds % 60);
  }
  return QString::fromLatin1(text);
}

std::optional<int> ParseElapsedTime(const QString& text) {
  const QStringList parts = text.trimmed().split(QLatin1Char(':'));
  if (parts.size() > 3) return std::nullopt;
  int seconds = 0;
  for (int i = 0; i < parts.size(); ++i) {
    bool ok = false;
    const int value = parts[i].toInt(&ok);
    // Minutes and seconds after the first field are two digits at most and below 60.
    if (!ok || value < 0 || (i > 0 && (value >= 60 || parts[i].size() > 2))) return std::nullopt;
    seconds = seconds * 60 + value;
  }
  return seconds;
}

}  // namespace vesk
