#include "web/live_json.h"

#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

#include "files/export_csv.h"

namespace vesk {
namespace {

using Json = nlohmann::ordered_json;

Json Value(double v) {
  return IsMissing(v) ? Json(nullptr) : Json(v);
}

// A reading to the digits the page shows and a little more: a 32-bit float read as
// 15.961999893188477 goes out as 15.962.
Json Value(double v, int decimals) {
  if (IsMissing(v)) return nullptr;
  const double scale = std::pow(10.0, decimals);
  return std::round(v * scale) / scale;
}

// Texts from instruments and files are single bytes (Windows-1252 as the control bar has
// them, a degree sign 0xB0): shown as the same characters in UTF-8.
std::string Utf8(const std::string& text) {
  std::string out;
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return out;
}

std::string Dump(const Json& j) {
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json Series(const std::vector<double>& values, int decimals) {
  Json a = Json::array();
  for (const double v : values) a.push_back(Value(v, decimals));
  return a;
}

Json ProfileSummary(const LiveSnapshot& s) {
  if (!s.profile) return nullptr;
  Json p;
  p["number"] = s.profile->number;
  p["direction"] = s.profile->direction;
  // The bin the instrument is in now: the one whose centre is nearest its depth.
  Json bin = nullptr;
  double nearest = INFINITY;
  for (const ProfileBin& b : s.profile->bins) {
    if (std::abs(b.depthM - s.status.depth) < nearest) {
      nearest = std::abs(b.depthM - s.status.depth);
      bin = b.depthM;
    }
  }
  p["depth_bin_m"] = bin;
  return p;
}

Json Status(const LiveSnapshot& s) {
  const ScanStatus& st = s.status;
  const auto& hk = s.housekeeping.words;
  Json j;
  j["state"] = WebScanStateName(s.state);
  j["file"] = Utf8(s.file);
  j["scan_number"] = s.scanNumber;
  j["scan_elapsed_s"] = Value(s.scanSeconds, 1);
  j["l_frames"] = st.lFrames;
  j["frame_interval_s"] = Value(s.frameInterval, 3);
  j["frame_errors"] = st.frameErrors;
  j["total_count"] = st.cumulativeTotal;
  j["total_cps"] = st.countsPerSecond;
  j["window_count"] = s.bins.cumulativeWindowCount;
  j["mep_count"] = s.mepParticles;
  j["mep_cps"] = Value(s.mepPerSecond, 1);
  j["depth_m"] = Value(st.depth, 3);
  j["temperature_degC"] = Value(st.ctd.temperature, 4);
  j["salinity_psu"] = Value(st.ctd.salinity, 4);
  j["analog"] = Value(s.analog, 4);
  j["analog_caption"] = Utf8(s.analogCaption);
  j["counter_value"] = Value(s.housekeeping.counterValue, 3);
  j["flow_speed_m_per_s"] = Value(st.flowSpeed, 4);
  j["flow_counts"] = Json::array({hk[3], hk[4]});
  j["laser_monitor"] = hk[6];
  j["laser_voltage"] = hk[5];
  j["sensor"] = hk[0];
  j["scale_factor"] = s.scaleFactor;
  const bool fix = st.nav.lastFix.has_value();
  j["latitude_deg_north"] = fix ? Value(st.nav.latitudeDegrees, 6) : Json(nullptr);
  j["longitude_deg_east"] = fix ? Value(st.nav.longitudeDegrees, 6) : Json(nullptr);
  j["latitude_text"] = Utf8(st.nav.latitude);
  j["longitude_text"] = Utf8(st.nav.longitude);
  j["gps_time"] = Utf8(st.nav.time);
  j["fix_age_s"] = Value(s.fixAgeSeconds, 1);
  j["fix_age_text"] = s.fixAgeText;
  j["fix_stale"] = s.fixStale;
  Json names = Json::array();
  Json details = Json::array();
  for (const RaisedAlarm& a : s.alarms) {
    names.push_back(AlarmName(a.id));
    details.push_back({{"name", AlarmName(a.id)},
                       {"label", AlarmLabel(a.id)},
                       {"text", a.text},
                       {"since_utc", FormatIsoUtc(a.sinceEpoch)}});
  }
  j["alarms"] = names;
  j["alarm_details"] = details;
  Json marks = Json::array();
  for (const Mark& m : s.marks) {
    marks.push_back({{"mark", m.number},
                     {"utc", FormatIsoUtc(m.epochSeconds)},
                     {"l_frame_index", m.lFrameIndex},
                     {"note", m.note}});
  }
  j["marks"] = marks;
  j["profile"] = ProfileSummary(s);
  j["last_remote_command"] = s.lastRemoteCommand;
  j["time_utc"] = FormatIsoUtc(s.timeEpoch);
  return j;
}

Json Histogram(const LiveSnapshot& s) {
  Json j;
  j["bin_width_um"] = kBinWidthMicrometres;
  j["total_count"] = s.status.cumulativeTotal;
  j["counts"] = s.bins.cumulative;
  return j;
}

Json TimeSeries(const LiveTimeSeries& t) {
  Json j;
  j["first"] = t.first;
  j["next"] = t.next;
  j["seconds_per_sample"] = 1;
  j["depth_m"] = Series(t.depth, 3);
  j["temperature_degC"] = Series(t.temperature, 4);
  j["total_cps"] = Series(t.countsPerSecond, 1);
  j["flow_speed_m_per_s"] = Series(t.flowSpeed, 4);
  return j;
}

Json Profile(const LiveSnapshot& s) {
  if (!s.profile) return nullptr;
  Json j;
  j["number"] = s.profile->number;
  j["direction"] = s.profile->direction;
  Json bins = Json::array();
  for (const ProfileBin& b : s.profile->bins) {
    bins.push_back({{"depth_m", Value(b.depthM)},
                    {"concentration_per_m3", Value(b.concentrationPerM3)},
                    {"ci95_low", Value(b.ci95Low)},
                    {"ci95_high", Value(b.ci95High)}});
  }
  j["bins"] = bins;
  return j;
}

// One metric family: its help and type lines, then its samples.
class Metrics {
 public:
  void Family(const char* name, const char* type, const char* help) {
    name_ = name;
    text_ += std::string("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
  }
  void Sample(double value, const std::string& labels = {}) {
    char number[40] = "NaN";
    std::size_t length = 3;
    if (!std::isnan(value)) {
      length = static_cast<std::size_t>(std::to_chars(number, number + sizeof number, value).ptr -
                                        number);
    }
    text_ += name_ + (labels.empty() ? "" : "{" + labels + "}") + ' ' +
             std::string(number, length) + '\n';
  }
  void One(const char* name, const char* type, const char* help, double value) {
    Family(name, type, help);
    Sample(value);
  }
  std::string Text() && { return std::move(text_); }

 private:
  std::string name_;
  std::string text_;
};

}  // namespace

std::string StatusJson(const LiveSnapshot& s) {
  return Dump(Status(s));
}

std::string HistogramJson(const LiveSnapshot& s) {
  return Dump(Histogram(s));
}

std::string TimeSeriesJson(const LiveTimeSeries& series) {
  return Dump(TimeSeries(series));
}

std::string ProfileJson(const LiveSnapshot& s) {
  return Dump(Profile(s));
}

std::string LiveMessageJson(const LiveSnapshot& s, const LiveTimeSeries& samples, bool full,
                            bool withProfile) {
  Json j;
  j["type"] = full ? "full" : "update";
  j["status"] = Status(s);
  j["histogram"] = Histogram(s);
  j["samples"] = TimeSeries(samples);
  if (withProfile) j["profile"] = Profile(s);
  return Dump(j);
}

std::string MetricsText(const LiveSnapshot& s, const WebCounters& web) {
  const ScanStatus& st = s.status;
  Metrics m;
  m.Family("vesk_info", "gauge", "The program's version.");
  m.Sample(1, std::string("version=\"") + CVESKDoc::kVersion + "\"");
  m.One("vesk_uptime_seconds", "gauge", "Seconds since the program started.", s.uptimeSeconds);
  m.Family("vesk_scan_state", "gauge", "1 for the scan state the program is in, else 0.");
  for (int i = 0; i < kWebScanStateCount; ++i) {
    const auto state = static_cast<WebScanState>(i);
    m.Sample(state == s.state ? 1 : 0, std::string("state=\"") + WebScanStateName(state) + "\"");
  }
  m.One("vesk_scans_started_total", "counter", "Scans started since the program started.",
        static_cast<double>(s.scanNumber));
  m.One("vesk_l_frames_total", "counter",
        "L frames processed in the scan (the L records of its .dat); a new scan starts at 0.",
        st.lFrames);
  m.One("vesk_counts_total", "counter",
        "Particles counted in the scan (the control bar's Total Count; reset by its button).",
        st.cumulativeTotal);
  m.One("vesk_window_counts_total", "counter",
        "Particles counted in the size window in the scan (reset by the control bar's button).",
        s.bins.cumulativeWindowCount);
  m.One("vesk_mep_particles_total", "counter", "Multi-element particles assembled in the scan.",
        s.mepParticles);
  m.One("vesk_frame_errors_total", "counter", "Frames of the scan that failed their checks.",
        st.frameErrors);
  m.One("vesk_counts_per_second", "gauge", "Particles of the latest L frame.", st.countsPerSecond);
  m.One("vesk_flow_speed_meters_per_second", "gauge", "Flow speed of the latest L frame.",
        st.flowSpeed);
  m.One("vesk_laser_monitor", "gauge", "Laser monitor word of the latest L frame.",
        s.housekeeping.words[6]);
  m.One("vesk_depth_meters", "gauge", "Depth of the latest CTD reading.", st.depth);
  m.One("vesk_temperature_celsius", "gauge", "Temperature of the latest CTD reading.",
        st.ctd.temperature);
  m.One("vesk_salinity_psu", "gauge", "Salinity of the latest CTD reading.", st.ctd.salinity);
  m.One("vesk_gps_fix_age_seconds", "gauge", "Age of the latest position (NaN before one).",
        s.fixAgeSeconds);
  m.Family("vesk_logged_bytes_total", "counter",
           "Bytes in the files the scan writes (file=\"bin\" raw, \"dat\" processed).");
  m.Sample(static_cast<double>(s.binBytes), "file=\"bin\"");
  m.Sample(static_cast<double>(s.datBytes), "file=\"dat\"");
  m.One("vesk_data_directory_free_bytes", "gauge",
        "Free space of the data directory (NaN when it cannot be read).",
        s.freeDiskBytes ? *s.freeDiskBytes : NAN);
  m.Family("vesk_alarm", "gauge", "1 while the alarm is raised, else 0.");
  for (int i = 0; i < kAlarmCount; ++i) {
    const auto id = static_cast<AlarmId>(i);
    bool raised = false;
    for (const RaisedAlarm& a : s.alarms) raised = raised || a.id == id;
    m.Sample(raised ? 1 : 0, std::string("alarm=\"") + AlarmName(id) + "\"");
  }
  m.One("vesk_published_records_total", "counter", "Records published on the network.",
        static_cast<double>(s.published));
  m.One("vesk_published_dropped_total", "counter", "Records the network refused.",
        static_cast<double>(s.publishDropped));
  m.One("vesk_web_clients", "gauge", "Browsers connected to /live.", web.clients);
  m.One("vesk_web_requests_total", "counter", "HTTP requests answered.",
        static_cast<double>(web.requests));
  m.Family("vesk_web_refused_total", "counter",
           "Connections and requests refused: a host not allowed, a method other than GET or "
           "HEAD, a request too large, a browser past MaxClients, a browser that stopped "
           "reading.");
  m.Sample(static_cast<double>(web.refusedHost), "reason=\"host\"");
  m.Sample(static_cast<double>(web.refusedMethod), "reason=\"method\"");
  m.Sample(static_cast<double>(web.refusedSize), "reason=\"size\"");
  m.Sample(static_cast<double>(web.refusedClients), "reason=\"clients\"");
  m.Sample(static_cast<double>(web.droppedSlow), "reason=\"slow\"");
  m.One("vesk_web_sent_bytes_total", "counter", "Bytes pushed to the browsers over /live.",
        static_cast<double>(web.sentBytes));
  return std::move(m).Text();
}

}  // namespace vesk
