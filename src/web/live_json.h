#pragma once
// The web view's JSON (what /api/status, /api/histogram, /api/timeseries and /api/profile
// answer and what /live pushes) and its Prometheus text (/metrics), made from a snapshot.
// Names are those of the published records and the CSV export, units included; a value the
// program does not have is null.

#include <string>

#include "web/live_snapshot.h"

namespace vesk {

inline constexpr double kBinWidthMicrometres = 15;

std::string StatusJson(const LiveSnapshot& s);
std::string HistogramJson(const LiveSnapshot& s);
std::string TimeSeriesJson(const LiveTimeSeries& series);
std::string ProfileJson(const LiveSnapshot& s);

// One push over /live: "type" ("full" for a browser that has just connected, else
// "update"), "status", "histogram", the new "samples" (the whole history when full) and,
// when `withProfile`, "profile".
std::string LiveMessageJson(const LiveSnapshot& s, const LiveTimeSeries& samples, bool full,
                            bool withProfile);

// The counters of the web view itself, for /metrics.
struct WebCounters {
  std::uint64_t requests = 0;
  std::uint64_t refusedHost = 0;
  std::uint64_t refusedMethod = 0;
  std::uint64_t refusedSize = 0;
  std::uint64_t refusedClients = 0;  // WebSockets past MaxClients
  std::uint64_t droppedSlow = 0;     // WebSockets that stopped reading
  std::uint64_t sentBytes = 0;       // over /live
  int clients = 0;
};

std::string MetricsText(const LiveSnapshot& s, const WebCounters& web);

}  // namespace vesk
