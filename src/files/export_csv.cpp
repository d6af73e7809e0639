#include "files/export_csv.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "files/mark_log.h"
#include "instruments/ctd_model.h"
#include "seams/settings_keys.h"
#include "seams/settings_store.h"

namespace vesk {
namespace {

// Civil date of a day count since 1970-01-01.
void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(era * 400 + yoe) + (m <= 2);
}

// Numbers go straight into the row buffer: this runs once per L frame for every column. A
// value a float holds exactly is a reading the instrument sent as a 32-bit float: it gets the
// shortest text of that float ("2.02", not "2.0199999809265137").
char* PutReal(char* p, double v) {
  *p++ = ',';
  if (IsMissing(v)) return p;
  const float f = static_cast<float>(v);
  if (static_cast<double>(f) == v) return std::to_chars(p, p + 32, f).ptr;
  return std::to_chars(p, p + 32, v).ptr;
}

constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Bin counts are mostly below 10000: those take no division loop.
char* PutCount(char* p, std::uint32_t v) {
  *p++ = ',';
  if (v < 10) {
    *p++ = static_cast<char>('0' + v);
  } else if (v < 100) {
    std::memcpy(p, kPairs + 2 * v, 2);
    p += 2;
  } else if (v < 1000) {
    *p++ = static_cast<char>('0' + v / 100);
    std::memcpy(p, kPairs + 2 * (v % 100), 2);
    p += 2;
  } else if (v < 10000) {
    std::memcpy(p, kPairs + 2 * (v / 100), 2);
    std::memcpy(p + 2, kPairs + 2 * (v % 100), 2);
    p += 4;
  } else {
    p = std::to_chars(p, p + 10, v).ptr;
  }
  return p;
}

char* PutInt(char* p, std::int32_t v) {
  if (v >= 0) return PutCount(p, static_cast<std::uint32_t>(v));
  *p++ = ',';
  return std::to_chars(p, p + 11, v).ptr;
}

// "hh:mm:ss" and a ".mmm" fraction when there is one, of milliseconds within a day.
int PutClock(char* text, std::size_t size, long long inDay) {
  const int hh = static_cast<int>(inDay / 3600000);
  const int mm = static_cast<int>(inDay / 60000 % 60);
  const int ss = static_cast<int>(inDay / 1000 % 60);
  const int frac = static_cast<int>(inDay % 1000);
  int n = std::snprintf(text, size, "%02d:%02d:%02d", hh, mm, ss);
  if (frac != 0) n += std::snprintf(text + n, size - n, ".%03d", frac);
  return n;
}

}  // namespace

std::string FormatIsoUtc(double epochSeconds) {
  if (IsMissing(epochSeconds)) return {};
  const long long ms = std::llround(epochSeconds * 1000);
  const long long days = (ms >= 0 ? ms : ms - 86399999) / 86400000;
  int y = 0, m = 0, d = 0;
  CivilFromDays(days, y, m, d);
  char text[48];
  int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT", y, m, d);
  n += PutClock(text + n, sizeof text - n, ms - days * 86400000);
  std::snprintf(text + n, sizeof text - n, "Z");
  return text;
}

std::string FormatTimeOfDay(double seconds) {
  if (IsMissing(seconds)) return {};
  const long long ms = std::llround(seconds * 1000) % 86400000;
  char text[24];
  PutClock(text, sizeof text, ms < 0 ? ms + 86400000 : ms);
  return text;
}

std::string CsvExporter::HeaderRow(int ctdModel) {
  std::string h =
      "l_frame_index,utc_time_iso8601,utc_time_of_day,gps_fix_age_l_frames,latitude_deg_north,"
      "longitude_deg_east,pressure_dbar,depth_m,temperature_degC,";
  h += CtdConductivityUnit(ctdModel) == ConductivityUnit::MilliSiemensPerCentimetre
           ? "conductivity_mS_per_cm,"
           : "conductivity_S_per_m,";
  h += "salinity_psu,analog_instrument_units,flow_speed_m_per_s,counts_per_volume_1000_per_m3,"
       "frame_total_counts,window_count_counts,counter_value,laser_monitor";
  h += BinCountColumns();
  h += "\r\n";
  return h;
}

std::string CsvExporter::BinCountColumns() {
  std::string h;
  char name[40];
  for (int k = 0; k < kExportBinCount; ++k) {
    std::snprintf(name, sizeof name, ",bin%03d_%dum_counts", k,
                  static_cast<int>(k * kBinEsdMicrometres));
    h += name;
  }
  return h;
}

const char* CsvExporter::EventHeaderRow() {
  return "l_frame_index,element,time_stamp,duration,digital_size,mep_flag,partial\r\n";
}

CsvExporter::CsvExporter(std::string path, bool buffered)
    : rows_(path),
      events_(ExportPath(path, "_mep.csv")),
      marks_(ExportPath(path, "_marks.csv")),
      buffered_(buffered) {}

bool CsvExporter::Begin(const ExportContext& context) {
  if (!rows_.Create(HeaderRow(context.ctdModel), buffered_)) {
    error_ = rows_.Error();
    return false;
  }
  if (!events_.Create(EventHeaderRow(), buffered_)) {
    error_ = events_.Error();
    rows_.Discard();
    return false;
  }
  if (!marks_.Create(MarkCsvHeader(), true)) {
    error_ = marks_.Error();
    rows_.Discard();
    events_.Discard();
    return false;
  }
  return true;
}

void CsvExporter::WriteMarks(const std::vector<Mark>& marks) {
  for (const Mark& m : marks) marks_.Write(MarkCsvRow(m));
}

void CsvExporter::Write(const ExportRow& row) {
  // 131 integers of at most 11 characters, 15 reals of at most 33, the times: under 2 KiB.
  char line[2048];
  char* p = std::to_chars(line, line + 12, row.lFrameIndex).ptr;
  *p++ = ',';
  if (!IsMissing(row.epochSeconds)) {
    const std::string time = FormatIsoUtc(row.epochSeconds);
    p = std::copy(time.begin(), time.end(), p);
  }
  *p++ = ',';
  if (!IsMissing(row.timeOfDay)) {
    const std::string time = FormatTimeOfDay(row.timeOfDay);
    p = std::copy(time.begin(), time.end(), p);
  }
  for (double v : {row.fixAge, row.latitude, row.longitude, row.pressure, row.depth,
                   row.temperature, row.conductivity, row.salinity, row.analog, row.flowSpeed,
                   row.countsPerVolume, row.frameTotal}) {
    p = PutReal(p, v);
  }
  p = PutInt(p, row.windowCount);
  p = PutReal(p, row.counterValue);
  p = PutCount(p, row.laserMonitor);
  for (std::uint32_t count : row.bins) p = PutCount(p, count);
  *p++ = '\r';
  *p++ = '\n';
  rows_.Write(std::string_view(line, static_cast<std::size_t>(p - line)));
}

void CsvExporter::WriteEvent(const MepEvent& e) {
  char line[96];
  char* p = std::to_chars(line, line + 12, e.lFrameIndex).ptr;
  p = PutCount(p, e.element);
  if (e.Partial()) {
    *p++ = ',';  // the time stamp never arrived
  } else {
    p = PutCount(p, e.timeStamp);
  }
  p = PutCount(p, e.duration);
  p = PutCount(p, e.size);
  p = PutCount(p, e.mepFlag ? 1 : 0);
  p = PutCount(p, e.Partial() ? 1 : 0);
  *p++ = '\r';
  *p++ = '\n';
  events_.Write(std::string_view(line, static_cast<std::size_t>(p - line)));
}

bool CsvExporter::Finish() {
  const bool ok = rows_.Commit() && events_.Commit() && marks_.Commit();
  if (!ok) {
    for (const ExportFile* f : {&rows_, &events_, &marks_}) {
      if (error_.empty()) error_ = f->Error();
    }
    Discard();
  }
  return ok;
}

void CsvExporter::Discard() {
  rows_.Discard();
  events_.Discard();
  marks_.Discard();
}

std::unique_ptr<ExportStage> StartScanCsvExport(const SettingsStore& store,
                                                const std::string& datPath,
                                                const ExportRunInputs& run, std::string* error) {
  if (store.Read(keys::kExportCsv) == 0) return nullptr;
  std::vector<std::unique_ptr<ExportWriter>> writers;
  writers.push_back(std::make_unique<CsvExporter>(ExportPath(datPath, ".csv"), false));
  auto stage = std::make_unique<ExportStage>(std::move(writers));
  if (!stage->Begin(MakeExportContext(run, store))) {
    if (error != nullptr) *error = stage->Error();
    return nullptr;
  }
  return stage;
}

}  // namespace vesk
