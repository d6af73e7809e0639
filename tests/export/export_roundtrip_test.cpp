// The analysis export end to end: a generated recording through the batch player into the
// .dat, the CSV and the NetCDF; the NetCDF read back through the netCDF library and the CSV
// parsed back, both compared with the .dat records, the recording and the run's summary.

#include <gtest/gtest.h>
#include <netcdf.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/memory_settings_store.h"
#include "files/export_csv.h"
#include "files/export_netcdf.h"
#include "instruments/ctd_conversions.h"
#include "processing/batch_player.h"
#include "processing/frame_processor.h"
#include "test_support/pipeline.h"

namespace vesk::test {
namespace {

constexpr double kNaN = kMissing;
constexpr double kSurveyLat = 30.0;
constexpr double kCounterScale = 0.5 / kCounterReferenceConstant;

std::string Checksummed(const std::string& body) {
  unsigned sum = 0;
  for (char c : body) sum ^= static_cast<unsigned char>(c);
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X", sum);
  return "$" + body + tail;
}

// An L frame: bins, H0..H6, N, T, A, cut to `length`.
struct LFields {
  std::array<std::uint16_t, 128> bins{};
  std::array<std::uint16_t, 7> housekeeping{};
  std::uint8_t n = 0;
  std::uint16_t t = 0;
  std::uint16_t a = 0;
  std::size_t length = 276;
};

Frame LFrame(const LFields& l) {
  Bytes f{'L'};
  for (auto b : l.bins) PutWord(f, b);
  for (auto h : l.housekeeping) PutWord(f, h);
  f.push_back(l.n);
  PutWord(f, l.t);
  PutWord(f, l.a);
  f.resize(l.length, 0);
  return f;
}

struct CtdLine {
  float t, c, p, analog;
};

// What the generator knows about each accepted L frame.
struct Expected {
  std::uint32_t lFrameIndex = 0;
  int ctd = -1;  // index into Recording::ctd of the latest line, -1: none yet
  double epoch = kNaN, timeOfDay = kNaN, lat = kNaN, lon = kNaN, fixAge = kNaN;
};

struct Recording {
  Bytes bin;
  std::vector<CtdLine> ctd;
  std::vector<Expected> rows;
  std::vector<MepEvent> events;
};

constexpr int kMaxFixAge = 20;  // the default

// L frames (some short, one rejected, one aborted) with a CTD line every 50, M frames (some
// ending in a partial event) and, when asked, an RMC every 100 and a GGA (not the configured
// sentence) between them.
Recording MakeRecording(int lFrames, bool gps) {
  Recording r;
  r.bin = ToBytes(
      "# ___  USER SUPPLIED HEADER  ___\r\n# Cruise AB01\r\n# station 4\r\n\r\n"
      "# ___  VESK SOFTWARE CONFIG  ___\r\n# Software_Version: \t1.20\r\n"
      "# External_Instrument: \tSBE 911plus CTD (Sea-Bird)\r\n# Survey_Lat: \t\t30.0000\r\n"
      "# Tunnel_Type: \t\tStandard\r\n# Counter_Constant: \t0.5\r\n");
  std::uint32_t x = 7;
  auto next = [&x] {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x;
  };
  Expected now;
  double fixLat = kNaN, fixLon = kNaN;
  std::int64_t fixFrame = -1;  // L frame count when the latest RMC arrived
  std::uint32_t lCount = 0;
  for (int i = 0; i < lFrames; ++i) {
    if (i == 300) {
      AppendText(r.bin, "~Lab~Mxy~*");  // an aborted L frame still counts
      ++lCount;
    }
    if (i == 400) {
      LFields bad;
      bad.length = 273;  // rejected: no record, no row
      AppendWire(r.bin, LFrame(bad));
    }
    LFields l;
    for (int k = 0; k < 128; ++k) {
      l.bins[k] = static_cast<std::uint16_t>(k < 40 ? next() % 500 : next() % 3);
    }
    l.bins[17] = 0x7E7E;
    if (i % 97 == 5) l.bins.fill(0);
    l.housekeeping = {1,
                      2,
                      3,
                      static_cast<std::uint16_t>(i % 60 == 0 ? 0 : 100),
                      static_cast<std::uint16_t>(400 + next() % 2000),
                      5,
                      static_cast<std::uint16_t>(next() % 4096)};
    l.n = static_cast<std::uint8_t>(i % 23 == 0 ? 0 : next() % 50 + 1);
    l.t = 1000;
    l.a = static_cast<std::uint16_t>(i);
    l.length = i % 3 == 0 ? 274 : 276;
    AppendWire(r.bin, LFrame(l));
    now.lFrameIndex = lCount++;
    if (fixFrame >= 0) {
      now.fixAge = static_cast<double>(now.lFrameIndex - fixFrame);
      now.lat = now.fixAge <= kMaxFixAge ? fixLat : kNaN;
      now.lon = now.fixAge <= kMaxFixAge ? fixLon : kNaN;
    }
    r.rows.push_back(now);
    if (i % 37 == 3) {
      const MEvent events[] = {{static_cast<std::uint32_t>(i % 35), next() % 65536, i % 1000u,
                                next() % 4096, i % 2 == 0},
                               {34, 7, 1000, 4095, true}};
      Frame m = MakeMFrame(events);
      if (i % 111 == 3) m.resize(m.size() - 2);  // the second event's time stamp is lost
      AppendWire(r.bin, m);
      for (const MEvent& e : events) {
        r.events.push_back(MepEvent{lCount, e.e, e.s, e.d, e.size, e.mep});
      }
      if (i % 111 == 3) r.events.back().timeStamp = kPartialEventStamp;
    }
    if (i % 50 == 10) {
      const CtdLine c{10.0f + i * 0.01f, 4.2f - i * 0.001f, 2.5f * i, static_cast<float>(i % 7)};
      char text[96];
      std::snprintf(text, sizeof text, " %.4f %.5f %.3f %.1f", c.t, c.c, c.p, c.analog);
      AppendWire(r.bin, MakeTextFrame('C', text));
      r.ctd.push_back(CtdLine{std::strtof(text, nullptr), 0, 0, 0});
      // The decoder reads what the line says, as 32-bit floats.
      std::sscanf(text, "%f%f%f%f", &r.ctd.back().t, &r.ctd.back().c, &r.ctd.back().p,
                  &r.ctd.back().analog);
      now.ctd = static_cast<int>(r.ctd.size()) - 1;
    }
    if (gps && i % 100 == 20) {
      const int second = i / 100;  // 12:35:19 + n seconds, 23 March 1994
      char body[128];
      std::snprintf(body, sizeof body, "GPRMC,1235%02d.50,A,48%02d.500,N,01131.000,E,0,0,230394,,",
                    19 + second, second);
      AppendWire(r.bin, MakeTextFrame('$', Checksummed(body)));
      now.timeOfDay = 45319.5 + second;
      now.epoch = 8847 * 86400.0 + now.timeOfDay;
      fixLat = 48 + (second + 0.5) / 60;
      fixLon = 11 + 31.0 / 60;
      fixFrame = lCount;
    }
    if (gps && i % 100 == 70) {
      AppendWire(r.bin, MakeTextFrame('$', Checksummed("GPGGA,000000,1000.000,S,02000.000,W,1,08,"
                                                       "0.9,545.4,M,46.9,M,,")));
    }
  }
  return r;
}

// The numbers of the .dat's L records, one vector per record (bins, then the L5 values).
std::vector<std::vector<std::uint32_t>> DatLRecords(const std::string& dat) {
  std::vector<std::vector<std::uint32_t>> records;
  std::istringstream in(dat);
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() < 2 || line[0] != 'L' || line[1] < '1' || line[1] > '5') continue;
    if (line[1] == '1') records.emplace_back();
    std::istringstream values(line.substr(2));
    std::uint32_t v = 0;
    while (values >> v) records.back().push_back(v);
  }
  return records;
}

// A NetCDF file read back through the library.
class NcFile {
 public:
  explicit NcFile(const std::string& path) {
    ok_ = nc_open(path.c_str(), NC_NOWRITE, &id_) == NC_NOERR;
    file_ = id_;
  }
  ~NcFile() {
    if (ok_) nc_close(file_);
  }
  // Reads from the group `name` from now on.
  void EnterGroup(const char* name) {
    int group = -1;
    ASSERT_EQ(nc_inq_grp_ncid(file_, name, &group), NC_NOERR) << "no group " << name;
    id_ = group;
  }
  bool ok() const { return ok_; }
  std::size_t Dim(const char* name) const {
    int dim = -1;
    std::size_t n = 0;
    if (nc_inq_dimid(id_, name, &dim) != NC_NOERR || nc_inq_dimlen(id_, dim, &n) != NC_NOERR) {
      ADD_FAILURE() << "no dimension " << name;
    }
    return n;
  }
  std::vector<double> Doubles(const char* name, std::size_t n) const {
    std::vector<double> v(n);
    EXPECT_EQ(nc_get_var_double(id_, Var(name), v.data()), NC_NOERR) << name;
    return v;
  }
  std::vector<long long> Ints(const char* name, std::size_t n) const {
    std::vector<long long> v(n);
    EXPECT_EQ(nc_get_var_longlong(id_, Var(name), v.data()), NC_NOERR) << name;
    return v;
  }
  std::string Text(int var, const char* name) const {
    std::size_t n = 0;
    if (nc_inq_attlen(id_, var, name, &n) != NC_NOERR) return "<none>";
    std::string s(n, '\0');
    nc_get_att_text(id_, var, name, s.data());
    return s;
  }
  std::string Text(const char* var, const char* name) const { return Text(Var(var), name); }
  double Real(const char* var, const char* name) const {
    double v = 0;
    EXPECT_EQ(nc_get_att_double(id_, Var(var), name, &v), NC_NOERR) << var << ":" << name;
    return v;
  }
  int Var(const char* name) const {
    int v = -1;
    if (nc_inq_varid(id_, name, &v) != NC_NOERR) ADD_FAILURE() << "no variable " << name;
    return v;
  }

 private:
  int id_ = -1;
  int file_ = -1;
  bool ok_ = false;
};

// The CSV as columns by name; an empty field is NaN, the utc_time columns stay text.
struct Csv {
  std::vector<std::string> names;
  std::map<std::string, std::vector<double>> numbers;
  std::map<std::string, std::vector<std::string>> times;
};

Csv ParseCsv(const std::string& text) {
  Csv csv;
  std::size_t start = 0;
  bool header = true;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "every line ends with CR LF";
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 2;
    std::vector<std::string> fields;
    std::size_t f = 0;
    for (;;) {
      const std::size_t comma = line.find(',', f);
      fields.push_back(line.substr(f, comma == std::string::npos ? std::string::npos : comma - f));
      if (comma == std::string::npos) break;
      f = comma + 1;
    }
    if (header) {
      csv.names = fields;
      header = false;
      continue;
    }
    EXPECT_EQ(fields.size(), csv.names.size());
    for (std::size_t i = 0; i < fields.size() && i < csv.names.size(); ++i) {
      if (csv.names[i].rfind("utc_time", 0) == 0) {
        csv.times[csv.names[i]].push_back(fields[i]);
        continue;
      }
      double v = kNaN;
      if (!fields[i].empty()) {
        const auto r = std::from_chars(fields[i].data(), fields[i].data() + fields[i].size(), v);
        EXPECT_TRUE(r.ec == std::errc() && r.ptr == fields[i].data() + fields[i].size())
            << csv.names[i] << " = " << fields[i];
      }
      csv.numbers[csv.names[i]].push_back(v);
    }
  }
  return csv;
}

// The CSV's text of a value: the shortest that reads back to the same double, or to the same
// float for a value a float holds exactly.
bool SameText(double csv, double nc) {
  if (std::isnan(csv) || std::isnan(nc)) return std::isnan(csv) && std::isnan(nc);
  const float f = static_cast<float>(nc);
  return csv == nc || (static_cast<double>(f) == nc && static_cast<float>(csv) == f);
}

// Equal, NaN equal to NaN.
bool Same(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) || a == b;
}

class ExportRoundTrip : public testing::Test {
 protected:
  ExportRoundTrip() {
    store.WriteInt("Settings", "Model_CTD", 1);
    store.WriteString("Settings", "SurveyLat", "30.0");
    store.WriteString("Settings", "CounterConstant", "0.5");
    store.WriteString("Settings", "FirmwareVer", "2.40");
    store.WriteString("NavSettings", "SentenceToParse", "$GPRMC");
    store.WriteString("Export", "Institution", "Institute of the test");
  }

  BatchOutputs Both() const {
    BatchOutputs o;
    o.exports = [](const std::string& dat) {
      std::vector<std::unique_ptr<ExportWriter>> w;
      w.push_back(std::make_unique<CsvExporter>(ExportPath(dat, ".csv")));
      w.push_back(std::make_unique<NetcdfExporter>(ExportPath(dat, ".nc"), 100));
      return w;
    };
    return o;
  }

  BatchResult Play(const Recording& rec, const std::string& dat, const BatchOutputs& outputs) {
    WriteBytes(dir / "cast.bin", rec.bin);
    return player.Run(dir / "cast.bin", dat, {}, outputs);
  }

  TempDir dir;
  MemorySettingsStore store;
  FixedClock clock{TestTime()};
  BatchPlayer player{store, clock};
};

TEST_F(ExportRoundTrip, EveryVariableMatchesTheDatAndTheSummary) {
  const Recording rec = MakeRecording(620, true);
  const BatchResult result = Play(rec, dir / "cast.dat", Both());
  ASSERT_TRUE(result.ok) << result.error;
  const auto records = DatLRecords(ReadFile(dir / "cast.dat"));
  ASSERT_EQ(records.size(), rec.rows.size());

  NcFile nc(dir / "cast.nc");
  ASSERT_TRUE(nc.ok());
  const std::size_t n = nc.Dim("obs");
  ASSERT_EQ(n, rec.rows.size());
  ASSERT_EQ(nc.Dim("bin"), 128u);
  const auto esd = nc.Doubles("bin", 128);
  for (int k = 0; k < 128; ++k) EXPECT_EQ(esd[k], 15.0 * k);

  std::map<std::string, std::vector<double>> v;
  for (const char* name : NetcdfExporter::RealVariableNames()) v[name] = nc.Doubles(name, n);
  const auto index = nc.Ints("l_frame_index", n);
  const auto window = nc.Ints("window_count", n);
  const auto laser = nc.Ints("laser_monitor", n);
  const auto bins = nc.Ints("bin_counts", n * 128);

  for (std::size_t i = 0; i < n; ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    const auto& dat = records[i];
    ASSERT_GE(dat.size(), 128u + 7u + 2u);
    const Expected& e = rec.rows[i];
    double total = 0;
    long long windowSum = 0;
    for (int k = 0; k < 128; ++k) {
      EXPECT_EQ(bins[i * 128 + k], dat[k]) << "bin " << k;
      total += dat[k];
      if (k < 127) windowSum += dat[k];
    }
    const std::uint32_t* h = dat.data() + 128;
    const double flow = FlowSpeed(h[3], h[4]);
    EXPECT_EQ(index[i], e.lFrameIndex);
    EXPECT_EQ(laser[i], h[6]);
    EXPECT_EQ(window[i], windowSum);
    EXPECT_EQ(v["frame_total"][i], total);
    EXPECT_EQ(v["flow_speed"][i], flow);
    EXPECT_DOUBLE_EQ(v["counts_per_volume"][i], flow == 0 ? 0 : total / (0.0049 * flow) * 0.001);
    if (h[7] != 0 && h[8] >= 2) {  // a usable counter reading (N, T)
      EXPECT_DOUBLE_EQ(v["counter_value"][i], static_cast<double>(h[7]) / h[8] * kCounterScale);
    }

    if (e.ctd < 0) {
      for (const char* name :
           {"pressure", "depth", "temperature", "conductivity", "salinity", "analog"}) {
        EXPECT_TRUE(std::isnan(v[name][i])) << name << " before the first CTD line";
      }
    } else {
      const CtdLine& c = rec.ctd[e.ctd];
      EXPECT_EQ(v["temperature"][i], static_cast<double>(c.t));
      EXPECT_EQ(v["conductivity"][i], static_cast<double>(c.c));
      EXPECT_EQ(v["pressure"][i], static_cast<double>(c.p));
      EXPECT_EQ(v["analog"][i], static_cast<double>(c.analog));
      // The row's GPS latitude when it has one.
      const double latitude = std::isnan(e.lat) ? kSurveyLat : e.lat;
      EXPECT_DOUBLE_EQ(v["depth"][i], PressureToDepth(c.p, latitude));
      EXPECT_GT(v["salinity"][i], 0);
    }
    EXPECT_TRUE(Same(v["time"][i], e.epoch)) << v["time"][i] << " vs " << e.epoch;
    EXPECT_TRUE(Same(v["time_of_day"][i], e.timeOfDay));
    EXPECT_TRUE(Same(v["latitude"][i], e.lat)) << v["latitude"][i];
    EXPECT_TRUE(Same(v["longitude"][i], e.lon));
    EXPECT_TRUE(Same(v["gps_fix_age"][i], e.fixAge)) << v["gps_fix_age"][i];
  }

  // The summary: the last row carries the final CTD record, and the bins add up.
  const std::size_t last = n - 1;
  EXPECT_EQ(v["temperature"][last], result.ctd.temperature);
  EXPECT_EQ(v["conductivity"][last], result.ctd.conductivity);
  EXPECT_EQ(v["pressure"][last], result.ctd.pressure);
  EXPECT_EQ(v["salinity"][last], result.ctd.salinity);
  EXPECT_EQ(v["analog"][last], result.ctd.analog);
  for (int k = 0; k < 128; ++k) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += static_cast<std::uint64_t>(bins[i * 128 + k]);
    EXPECT_EQ(sum, result.cumulativeBins[k]) << "bin " << k;
  }
  EXPECT_EQ(nc.Text(NC_GLOBAL, "user_header"), "Cruise AB01\nstation 4");
  EXPECT_EQ(nc.Text(NC_GLOBAL, "instrument"), "SBE 911plus CTD (Sea-Bird)");
  EXPECT_EQ(nc.Text(NC_GLOBAL, "counter_constant"), "0.5");
  EXPECT_EQ(nc.Text(NC_GLOBAL, "tunnel"), "Standard");
  EXPECT_EQ(nc.Text(NC_GLOBAL, "software_version"), "1.20");

  // The CSV says the same, to the last digit.
  const Csv csv = ParseCsv(ReadFile(dir / "cast.csv"));
  ASSERT_EQ(csv.times.at("utc_time_iso8601").size(), n);
  const std::pair<const char*, const char*> columns[] = {
      {"gps_fix_age_l_frames", "gps_fix_age"},
      {"latitude_deg_north", "latitude"},
      {"longitude_deg_east", "longitude"},
      {"pressure_dbar", "pressure"},
      {"depth_m", "depth"},
      {"temperature_degC", "temperature"},
      {"conductivity_S_per_m", "conductivity"},
      {"salinity_psu", "salinity"},
      {"analog_instrument_units", "analog"},
      {"flow_speed_m_per_s", "flow_speed"},
      {"counts_per_volume_1000_per_m3", "counts_per_volume"},
      {"frame_total_counts", "frame_total"},
      {"counter_value", "counter_value"},
  };
  for (const auto& [column, variable] : columns) {
    ASSERT_EQ(csv.numbers.count(column), 1u) << column;
    for (std::size_t i = 0; i < n; ++i) {
      ASSERT_TRUE(SameText(csv.numbers.at(column)[i], v[variable][i])) << column << " row " << i;
    }
  }
  for (std::size_t i = 0; i < n; ++i) {
    EXPECT_EQ(csv.numbers.at("l_frame_index")[i], index[i]);
    EXPECT_EQ(csv.numbers.at("window_count_counts")[i], window[i]);
    EXPECT_EQ(csv.numbers.at("laser_monitor")[i], laser[i]);
    for (int k = 0; k < 128; ++k) {
      char name[32];
      std::snprintf(name, sizeof name, "bin%03d_%dum_counts", k, 15 * k);
      ASSERT_EQ(csv.numbers.at(name)[i], records[i][k]) << name << " row " << i;
    }
    EXPECT_EQ(csv.times.at("utc_time_iso8601")[i], FormatIsoUtc(rec.rows[i].epoch));
    EXPECT_EQ(csv.times.at("utc_time_of_day")[i], FormatTimeOfDay(rec.rows[i].timeOfDay));
  }
  // A full date and time, or nothing: never a time of day alone.
  EXPECT_EQ(csv.times.at("utc_time_iso8601")[21], "1994-03-23T12:35:19.500Z");
  EXPECT_EQ(csv.times.at("utc_time_of_day")[21], "12:35:19.500");
  EXPECT_EQ(csv.times.at("utc_time_iso8601")[0], "");
  // The first CTD line's conductivity, as the instrument sent it.
  EXPECT_NE(ReadFile(dir / "cast.csv").find(",4.19,"), std::string::npos);

  // The element events: the NetCDF group and the second CSV say what the .dat's M lines say.
  std::vector<std::vector<std::uint32_t>> datEvents;
  {
    std::istringstream in(ReadFile(dir / "cast.dat"));
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind("&&& ", 0) == 0) line = line.substr(4);
      if (line.rfind("M ", 0) != 0) continue;
      std::istringstream values(line.substr(2));
      auto& e = datEvents.emplace_back(4);
      values >> e[0] >> e[1] >> e[2] >> e[3];
    }
  }
  ASSERT_EQ(datEvents.size(), rec.events.size());
  ASSERT_GT(datEvents.size(), 30u);
  nc.EnterGroup("mep");
  const std::size_t events = nc.Dim("event");
  ASSERT_EQ(events, rec.events.size());
  std::map<std::string, std::vector<long long>> ev;
  for (const char* name : {"l_frame_index", "element", "time_stamp", "duration", "digital_size",
                           "mep_flag", "partial"}) {
    ev[name] = nc.Ints(name, events);
  }
  const Csv mep = ParseCsv(ReadFile(dir / "cast_mep.csv"));
  int partials = 0;
  for (std::size_t i = 0; i < events; ++i) {
    SCOPED_TRACE("event " + std::to_string(i));
    const auto& d = datEvents[i];
    const bool partial = d[1] == kPartialEventStamp;
    partials += partial;
    const long long stamp = partial ? -1LL : static_cast<long long>(d[1]);
    EXPECT_EQ(ev["l_frame_index"][i], rec.events[i].lFrameIndex);
    EXPECT_EQ(ev["element"][i], d[0]);
    EXPECT_EQ(ev["time_stamp"][i], stamp);
    EXPECT_EQ(ev["duration"][i], d[2]);
    EXPECT_EQ(ev["digital_size"][i], d[3] & 0x7FFF);
    EXPECT_EQ(ev["mep_flag"][i], d[3] >> 15);
    EXPECT_EQ(ev["partial"][i], partial ? 1 : 0);
    for (const auto& [name, values] : ev) {
      const double csvValue = mep.numbers.at(name)[i];
      EXPECT_TRUE(name == "time_stamp" && partial ? std::isnan(csvValue)
                                                  : csvValue == static_cast<double>(values[i]))
          << name;
    }
  }
  EXPECT_EQ(partials, 6);
}

TEST_F(ExportRoundTrip, WithoutGpsTimesAndPositionsAreMissing) {
  const Recording rec = MakeRecording(120, false);
  const BatchResult result = Play(rec, dir / "cast.dat", Both());
  ASSERT_TRUE(result.ok) << result.error;
  NcFile nc(dir / "cast.nc");
  ASSERT_TRUE(nc.ok());
  const std::size_t n = nc.Dim("obs");
  ASSERT_EQ(n, 120u);
  for (const char* name : {"time", "time_of_day", "latitude", "longitude"}) {
    const auto values = nc.Doubles(name, n);
    for (double x : values) ASSERT_TRUE(std::isnan(x)) << name << " = " << x;
    EXPECT_TRUE(std::isnan(nc.Real(name, "_FillValue"))) << name << " declares NaN missing";
  }
  const Csv csv = ParseCsv(ReadFile(dir / "cast.csv"));
  ASSERT_EQ(csv.times.at("utc_time_iso8601").size(), n);
  for (std::size_t i = 0; i < n; ++i) {
    EXPECT_EQ(csv.times.at("utc_time_iso8601")[i], "");
    EXPECT_EQ(csv.times.at("utc_time_of_day")[i], "");
    EXPECT_TRUE(std::isnan(csv.numbers.at("latitude_deg_north")[i]));
    EXPECT_TRUE(std::isnan(csv.numbers.at("longitude_deg_east")[i]));
  }
}

TEST_F(ExportRoundTrip, TheDatIsTheSameWithAndWithoutExport) {
  const Recording rec = MakeRecording(150, true);
  ASSERT_TRUE(Play(rec, dir / "plain.dat", BatchOutputs{}).ok);
  ASSERT_TRUE(Play(rec, dir / "exported.dat", Both()).ok);
  const std::string plain = ReadFile(dir / "plain.dat");
  EXPECT_GT(plain.size(), 150u * 300);
  EXPECT_EQ(ReadFile(dir / "exported.dat"), plain);

  // Exports alone: no .dat at all.
  BatchOutputs only = Both();
  only.dat = false;
  const BatchResult r = Play(rec, dir / "only.dat", only);
  ASSERT_TRUE(r.ok) << r.error;
  struct stat st {};
  EXPECT_NE(::stat((dir / "only.dat").c_str(), &st), 0);
  EXPECT_EQ(ReadFile(dir / "only.csv"), ReadFile(dir / "exported.csv"));
  EXPECT_EQ(::stat((dir / "only.nc").c_str(), &st), 0);
}

TEST_F(ExportRoundTrip, AFailedExportLeavesNoFiles) {
  const Recording rec = MakeRecording(40, true);
  WriteFile(dir / "plain", "a file, not a directory");
  struct Case {
    const char* name;
    std::string csvPath;
    std::string ncPath;
    const char* named;  // the path the error names
  };
  const Case cases[] = {
      {"CSV cannot be created", dir / "plain/x.csv", dir / "x.nc", "plain/x.csv"},
      {"NetCDF cannot be created", dir / "x.csv", dir / "plain/x.nc", "plain/x.nc"},
      {"NetCDF onto a directory", dir / "x.csv", dir.Path(), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BatchOutputs o;
    o.exports = [&c](const std::string&) {
      std::vector<std::unique_ptr<ExportWriter>> w;
      w.push_back(std::make_unique<CsvExporter>(c.csvPath));
      w.push_back(std::make_unique<NetcdfExporter>(c.ncPath));
      return w;
    };
    const BatchResult r = Play(rec, dir / "cast.dat", o);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find(c.named), std::string::npos) << r.error;
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
      left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"cast.bin", "plain"}));
  }
}

// What `ncdump -h` shows, by variable: its attributes as "name = value".
std::map<std::string, std::map<std::string, std::string>> NcdumpHeader(const std::string& path,
                                                                       bool* ran) {
  std::map<std::string, std::map<std::string, std::string>> vars;
  const std::string command = "ncdump -hs '" + path + "' 2>/dev/null";
  FILE* p = ::popen(command.c_str(), "r");
  std::string text;
  if (p != nullptr) {
    char buf[4096];
    std::size_t got = 0;
    while ((got = std::fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, got);
    *ran = ::pclose(p) == 0 && !text.empty();
  }
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    // "\t\tname:attr = value ;" or "\t\t:global = value ;"
    const std::size_t colon = line.find(':');
    const std::size_t eq = line.find(" = ");
    if (line.rfind("\t\t", 0) != 0 || colon == std::string::npos || eq == std::string::npos ||
        colon > eq) {
      continue;
    }
    const std::string var = line.substr(2, colon - 2);
    std::string value = line.substr(eq + 3);
    if (value.size() >= 2 && value.compare(value.size() - 2, 2, " ;") == 0) {
      value.resize(value.size() - 2);
    }
    vars[var.empty() ? "global" : var][line.substr(colon + 1, eq - colon - 1)] = value;
  }
  return vars;
}

TEST_F(ExportRoundTrip, NcdumpShowsTheCfAttributes) {
  ASSERT_TRUE(Play(MakeRecording(30, true), dir / "cast.dat", Both()).ok);
  bool ran = false;
  const auto vars = NcdumpHeader(dir / "cast.nc", &ran);
  if (!ran) GTEST_SKIP() << "ncdump is not installed";
  ASSERT_EQ(vars.count("global"), 1u);
  // CF 1.11 (unsigned types are allowed since 1.9) and the attributes of ACDD 1.3.
  const auto& global = vars.at("global");
  EXPECT_EQ(global.at("Conventions"), "\"CF-1.11, ACDD-1.3\"");
  EXPECT_EQ(global.at("featureType"), "\"trajectory\"");
  for (const char* name :
       {"title", "summary", "keywords", "history", "date_created", "time_coverage_start",
        "time_coverage_end", "geospatial_lat_min", "geospatial_lat_max", "geospatial_lon_min",
        "geospatial_lon_max", "institution", "project", "platform", "creator_name", "license"}) {
    EXPECT_EQ(global.count(name), 1u) << name;
  }
  EXPECT_EQ(global.at("time_coverage_start"), "\"1994-03-23T12:35:19.500Z\"");
  EXPECT_EQ(global.at("institution"), "\"Institute of the test\"");  // from the settings
  EXPECT_EQ(global.at("project"), "\"unknown\"");                    // the default
  EXPECT_EQ(vars.at("trajectory").at("cf_role"), "\"trajectory_id\"");
  EXPECT_EQ(vars.at("bin").at("bounds"), "\"bin_bounds\"");
  // The counts are those of one L frame; this recording's GPS clock runs too short to time it.
  EXPECT_EQ(vars.at("bin_counts").at("cell_methods"), "\"time: sum\"");
  EXPECT_EQ(vars.at("bin_counts").at("units"), "\"1\"");
  EXPECT_EQ(global.count("l_frame_interval"), 0u);
  const std::pair<const char*, const char*> standardNames[] = {
      {"time", "time"},
      {"latitude", "latitude"},
      {"longitude", "longitude"},
      {"pressure", "sea_water_pressure"},
      {"depth", "depth"},
      {"temperature", "sea_water_temperature"},
      {"salinity", "sea_water_practical_salinity"},
      {"conductivity", "sea_water_electrical_conductivity"},
  };
  for (const auto& [var, name] : standardNames) {
    ASSERT_EQ(vars.count(var), 1u) << var;
    EXPECT_EQ(vars.at(var).count("standard_name"), 1u) << var;
    if (vars.at(var).count("standard_name") == 1) {
      EXPECT_EQ(vars.at(var).at("standard_name"), std::string("\"") + name + "\"");
    }
  }
  EXPECT_EQ(vars.at("time").at("units"), "\"seconds since 1970-01-01T00:00:00Z\"");
  EXPECT_EQ(vars.at("latitude").at("units"), "\"degrees_north\"");
  EXPECT_EQ(vars.at("longitude").at("units"), "\"degrees_east\"");
  EXPECT_EQ(vars.at("bin").at("units"), "\"um\"");
  // Every variable says what it is and is compressed; every variable along obs but time and
  // place names them.
  for (const auto& [var, attributes] : vars) {
    if (var == "global" || var == "bin_bounds") continue;
    EXPECT_EQ(attributes.count("long_name"), 1u) << var;
    EXPECT_EQ(attributes.count("coverage_content_type"), 1u) << var;
    if (var == "trajectory") continue;
    EXPECT_EQ(attributes.count("units"), 1u) << var;
    if (var == "bin") continue;  // 128 numbers
    EXPECT_EQ(attributes.count("_DeflateLevel") == 1 ? attributes.at("_DeflateLevel") : "", "4")
        << var;
    EXPECT_EQ(attributes.count("_Shuffle") == 1 ? attributes.at("_Shuffle") : "", "\"true\"")
        << var;
  }
  for (const char* var : {"bin_counts", "temperature", "salinity", "frame_total"}) {
    EXPECT_EQ(vars.at(var).at("coordinates"), "\"time latitude longitude depth\"") << var;
  }
}

}  // namespace
}  // namespace vesk::test
