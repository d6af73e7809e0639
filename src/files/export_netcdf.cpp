#include "files/export_netcdf.h"

#include <netcdf.h>
#include <netcdf_mem.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "files/export_csv.h"
#include "instruments/ctd_model.h"
#include "seams/settings_store.h"

namespace vesk {

std::mutex& NetcdfLibraryLock() {
  static std::mutex lock;
  return lock;
}

namespace {

std::mutex& LibraryLock() {
  return NetcdfLibraryLock();
}

// ISO 19115 coverage content types (ACDD).
constexpr const char* kCoordinate = "coordinate";
constexpr const char* kMeasurement = "physicalMeasurement";
constexpr const char* kAuxiliary = "auxiliaryInformation";
constexpr const char* kQuality = "qualityInformation";

struct RealVariable {
  const char* name;
  const char* standardName;  // empty: CF has none
  const char* longName;
  const char* units;
  const char* contentType;
  double ExportRow::*member;
  bool coordinate;  // time and place: not given a "coordinates" attribute itself
};

// Conductivity units are set per instrument in Define().
const std::array<RealVariable, NetcdfExporter::kRealVariables> kReal = {{
    {"time", "time", "UTC time of the latest GPS fix", "seconds since 1970-01-01T00:00:00Z",
     kCoordinate, &ExportRow::epochSeconds, true},
    {"time_of_day", "", "UTC time of day of the latest GPS fix", "s", kCoordinate,
     &ExportRow::timeOfDay, true},
    {"gps_fix_age", "", "L frames since the GPS sentence that gave time and position", "1",
     kQuality, &ExportRow::fixAge, false},
    {"latitude", "latitude", "latitude of the latest GPS fix", "degrees_north", kCoordinate,
     &ExportRow::latitude, true},
    {"longitude", "longitude", "longitude of the latest GPS fix", "degrees_east", kCoordinate,
     &ExportRow::longitude, true},
    {"pressure", "sea_water_pressure", "sea pressure from the CTD", "dbar", kMeasurement,
     &ExportRow::pressure, false},
    {"depth", "depth", "depth from the CTD pressure", "m", kCoordinate, &ExportRow::depth, true},
    {"temperature", "sea_water_temperature", "sea water temperature from the CTD", "degree_C",
     kMeasurement, &ExportRow::temperature, false},
    {"conductivity", "sea_water_electrical_conductivity", "sea water conductivity from the CTD",
     "S m-1", kMeasurement, &ExportRow::conductivity, false},
    {"salinity", "sea_water_practical_salinity", "practical salinity (PSS-78)", "1", kMeasurement,
     &ExportRow::salinity, false},
    {"analog", "", "analog channel of the external instrument", "1", kMeasurement,
     &ExportRow::analog, false},
    {"flow_speed", "", "flow speed through the sampling tunnel", "m s-1", kMeasurement,
     &ExportRow::flowSpeed, false},
    {"counts_per_volume", "", "particles counted in the L frame per volume sampled", "1000 m-3",
     kMeasurement, &ExportRow::countsPerVolume, false},
    {"frame_total", "", "particles counted in the L frame (all bins)", "1", kMeasurement,
     &ExportRow::frameTotal, false},
    {"counter_value", "", "counter value", "1", kAuxiliary, &ExportRow::counterValue, false},
}};

constexpr const char* kCoordinates = "time latitude longitude depth";

// The element events, as NC_INT columns of the group "mep" (narrower types on file).
struct EventVariable {
  const char* name;
  nc_type type;
  const char* longName;
  const char* contentType;
};
const std::array<EventVariable, NetcdfExporter::kEventVariables> kEvent = {{
    {"l_frame_index", NC_UINT,
     "L frame count when the event arrived (l_frame_index of the next "
     "L frame)",
     kAuxiliary},
    {"element", NC_UBYTE, "beam element number (0 to 34 valid)", kMeasurement},
    {"time_stamp", NC_INT, "time stamp value S of the event", kMeasurement},
    {"duration", NC_USHORT, "element duration value D (1000 at most valid)", kMeasurement},
    {"digital_size", NC_USHORT, "digital size of the event (12 bits)", kMeasurement},
    {"mep_flag", NC_UBYTE, "multi-element particle flag of the event", kMeasurement},
    {"partial", NC_UBYTE, "the last words of the event never arrived", kQuality},
}};

// Compressed chunks of this many rows (events) along the unlimited dimensions.
constexpr std::size_t kObsChunk = 4096;
constexpr std::size_t kBinChunkRows = 1024;

std::string ShortNumber(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3g", v);
  return text;
}

}  // namespace

void NetcdfExporter::Range::Add(double v) {
  if (IsMissing(v)) return;
  min = IsMissing(min) ? v : std::min(min, v);
  max = IsMissing(max) ? v : std::max(max, v);
}

const std::array<const char*, NetcdfExporter::kRealVariables>& NetcdfExporter::RealVariableNames() {
  static const std::array<const char*, kRealVariables> names = [] {
    std::array<const char*, kRealVariables> n{};
    for (int i = 0; i < kRealVariables; ++i) n[i] = kReal[i].name;
    return n;
  }();
  return names;
}

NetcdfExporter::NetcdfExporter(std::string path, std::size_t blockRows)
    : file_(std::move(path)), blockRows_(blockRows > 0 ? blockRows : 1) {}

NetcdfExporter::~NetcdfExporter() {
  CloseLibrary(nullptr, nullptr);
}

bool NetcdfExporter::Check(int status, const char* what) {
  if (status == NC_NOERR) return true;
  if (!failed_) {
    failed_ = true;
    error_ = file_.Path() + ": " + what + ": " + nc_strerror(status);
  }
  return false;
}

bool NetcdfExporter::CloseLibrary(void** image, std::size_t* size) {
  if (ncid_ < 0) return false;
  std::lock_guard lock(LibraryLock());
  NC_memio memio{};
  const int status = image != nullptr ? nc_close_memio(ncid_, &memio) : nc_abort(ncid_);
  ncid_ = -1;
  if (image != nullptr) {
    *image = memio.memory;
    *size = memio.size;
  } else {
    std::free(memio.memory);
  }
  return Check(status, "closing");
}

bool NetcdfExporter::Begin(const ExportContext& context) {
  failed_ = false;
  error_.clear();
  // The file is created first, so a place that cannot take it fails before any work.
  if (!file_.Create({}, false)) {
    error_ = file_.Error();
    return false;
  }
  for (auto& column : real_) column.reserve(blockRows_);
  index_.reserve(blockRows_);
  window_.reserve(blockRows_);
  laser_.reserve(blockRows_);
  bins_.reserve(blockRows_ * kExportBinCount);
  bool ok = false;
  {
    std::lock_guard lock(LibraryLock());
    ok = Check(nc_create_mem(file_.Path().c_str(), NC_NETCDF4, 1 << 20, &ncid_), "creating");
    ok = ok && Define(context) && DefineEvents() && DefineMarks() &&
         Check(nc_enddef(ncid_), "defining");
  }
  if (ok) {
    double esd[kExportBinCount];
    double bounds[kExportBinCount][2];
    for (int k = 0; k < kExportBinCount; ++k) {
      esd[k] = k * kBinEsdMicrometres;
      bounds[k][0] = esd[k];
      bounds[k][1] = esd[k] + kBinEsdMicrometres;
    }
    std::lock_guard lock(LibraryLock());
    int bin = -1, binBounds = -1, trajectory = -1;
    const char* name = trajectoryName_.c_str();
    ok = Check(nc_inq_varid(ncid_, "bin", &bin), "bin") &&
         Check(nc_inq_varid(ncid_, "bin_bounds", &binBounds), "bin_bounds") &&
         Check(nc_inq_varid(ncid_, "trajectory", &trajectory), "trajectory") &&
         Check(nc_put_var_string(ncid_, trajectory, &name), "trajectory") &&
         Check(nc_put_var_double(ncid_, bin, esd), "bin") &&
         Check(nc_put_var_double(ncid_, binBounds, &bounds[0][0]), "bin_bounds");
  }
  if (!ok) {
    CloseLibrary(nullptr, nullptr);
    file_.Discard();
  }
  return ok;
}

bool NetcdfExporter::Define(const ExportContext& c) {
  auto text = [&](int var, const char* name, const std::string& value) {
    return Check(nc_put_att_text(ncid_, var, name, value.size(), value.c_str()), name);
  };
  auto real = [&](int var, const char* name, double value) {
    return Check(nc_put_att_double(ncid_, var, name, NC_DOUBLE, 1, &value), name);
  };
  auto integer = [&](int var, const char* name, int value) {
    return Check(nc_put_att_int(ncid_, var, name, NC_INT, 1, &value), name);
  };
  auto compressed = [&](int var, const char* name, const std::size_t* chunks) {
    return Check(nc_def_var_chunking(ncid_, var, NC_CHUNKED, chunks), name) &&
           Check(nc_def_var_deflate(ncid_, var, 1, 1, 4), name);
  };
  bool ok = Check(nc_set_fill(ncid_, NC_NOFILL, nullptr), "fill mode");
  int obsDim = -1, binDim = -1, nvDim = -1;
  ok = ok && Check(nc_def_dim(ncid_, "obs", NC_UNLIMITED, &obsDim), "obs dimension");
  ok = ok && Check(nc_def_dim(ncid_, "bin", kExportBinCount, &binDim), "bin dimension");
  ok = ok && Check(nc_def_dim(ncid_, "nv", 2, &nvDim), "nv dimension");
  if (!ok) return false;

  // Global attributes: the conventions, the data set, what the recording's header says, then
  // this processing.
  ok = text(NC_GLOBAL, "Conventions", "CF-1.11, ACDD-1.3") &&
       text(NC_GLOBAL, "featureType", "trajectory") &&
       text(NC_GLOBAL, "cdm_data_type", "Trajectory");
  for (const auto& [name, value] : c.metadata) ok = ok && text(NC_GLOBAL, name.c_str(), value);
  ok =
      ok && text(NC_GLOBAL, "source", "VESK " + c.processingVersion + " processing of " + c.source);
  if (!c.softwareVersion.empty()) ok = ok && text(NC_GLOBAL, "software_version", c.softwareVersion);
  if (!c.instrument.empty()) ok = ok && text(NC_GLOBAL, "instrument", c.instrument);
  if (!c.surveyLatitude.empty()) {
    ok = ok && real(NC_GLOBAL, "survey_latitude", ParseReal(c.surveyLatitude));
  }
  if (!c.tunnel.empty()) ok = ok && text(NC_GLOBAL, "tunnel", c.tunnel);
  if (!c.counterConstant.empty()) ok = ok && text(NC_GLOBAL, "counter_constant", c.counterConstant);
  if (c.headerFound) ok = ok && text(NC_GLOBAL, "user_header", c.userHeader);
  ok = ok && text(NC_GLOBAL, "processing_software_version", c.processingVersion) &&
       real(NC_GLOBAL, "processing_survey_latitude", c.processingSurveyLatitude) &&
       text(NC_GLOBAL, "processing_tunnel", c.standardTunnel ? "Standard" : "2.5x") &&
       text(NC_GLOBAL, "processing_counter_constant", c.processingCounterConstant) &&
       real(NC_GLOBAL, "firmware_version", c.firmwareVersion) &&
       integer(NC_GLOBAL, "window_lower_bound", c.windowLowerBound) &&
       integer(NC_GLOBAL, "window_upper_bound", c.windowUpperBound) &&
       text(NC_GLOBAL, "nmea_sentence",
            c.sentenceToParse.empty() ? "GGA, RMC or GLL" : c.sentenceToParse) &&
       integer(NC_GLOBAL, "max_gps_fix_age", c.maxFixAge);
  if (!ok) return false;

  // The one trajectory of the file: the recording.
  int trajectory = -1;
  trajectoryName_ = c.source;
  const std::size_t dot = trajectoryName_.find_last_of('.');
  if (dot != std::string::npos && dot > 0) trajectoryName_.resize(dot);
  ok = Check(nc_def_var(ncid_, "trajectory", NC_STRING, 0, nullptr, &trajectory), "trajectory") &&
       text(trajectory, "cf_role", "trajectory_id") &&
       text(trajectory, "long_name", "the recording the rows come from") &&
       text(trajectory, "coverage_content_type", "referenceInformation");
  if (!ok) return false;

  // The bin coordinate and its bounds.
  int binVar = -1, boundsVar = -1;
  const int boundsDims[2] = {binDim, nvDim};
  ok = Check(nc_def_var(ncid_, "bin", NC_DOUBLE, 1, &binDim, &binVar), "bin") &&
       text(binVar, "long_name", "equivalent spherical diameter of the size bin") &&
       text(binVar, "units", "um") && text(binVar, "bounds", "bin_bounds") &&
       text(binVar, "coverage_content_type", kCoordinate) &&
       text(binVar, "comment", "bin k reads as 15 x k um, up to 15 x (k + 1) um") &&
       Check(nc_def_var(ncid_, "bin_bounds", NC_DOUBLE, 2, boundsDims, &boundsVar), "bin_bounds");
  if (!ok) return false;

  const double fill = kMissing;
  for (int i = 0; i < kRealVariables; ++i) {
    const RealVariable& v = kReal[i];
    int& id = realIds_[i];
    ok = Check(nc_def_var(ncid_, v.name, NC_DOUBLE, 1, &obsDim, &id), v.name) &&
         compressed(id, v.name, &kObsChunk) && Check(nc_def_var_fill(ncid_, id, 0, &fill), v.name);
    if (!ok) return false;
    if (v.standardName[0] != '\0') ok = text(id, "standard_name", v.standardName);
    std::string units = v.units;
    if (v.member == &ExportRow::conductivity &&
        CtdConductivityUnit(c.ctdModel) == ConductivityUnit::MilliSiemensPerCentimetre) {
      units = "mS cm-1";
    }
    ok = ok && text(id, "long_name", v.longName) && text(id, "units", units) &&
         text(id, "coverage_content_type", v.contentType);
    if (!v.coordinate) ok = ok && text(id, "coordinates", kCoordinates);
    if (v.member == &ExportRow::epochSeconds) {
      ok = ok && text(id, "calendar", "standard") && text(id, "axis", "T") &&
           text(id, "comment",
                "missing until an RMC sentence has given the date; time_of_day holds the time "
                "alone");
    } else if (v.member == &ExportRow::latitude || v.member == &ExportRow::longitude) {
      ok = ok && text(id, "comment",
                      "missing when the receiver has no fix, or when its latest fix is more "
                      "than max_gps_fix_age L frames old");
    } else if (v.member == &ExportRow::depth) {
      char comment[200];
      std::snprintf(comment, sizeof comment,
                    "UNESCO 1983 depth of the pressure at the row's GPS latitude; rows without "
                    "one use the survey latitude %.4f",
                    c.surveyLatitudeForDepth);
      ok = ok && text(id, "positive", "down") && text(id, "axis", "Z") &&
           text(id, "comment", comment);
    } else if (v.member == &ExportRow::countsPerVolume) {
      ok = ok && text(id, "comment",
                      "frame_total / (tunnel cross-section x flow_speed) x 0.001 of this frame "
                      "alone, as the time charts show it (it takes the frame as one second "
                      "long: divide by l_frame_interval for the concentration); 0 when the "
                      "flow speed is 0");
    } else if (v.member == &ExportRow::frameTotal) {
      countIds_[0] = id;
    }
    if (!ok) return false;
  }
  ok = Check(nc_def_var(ncid_, "l_frame_index", NC_UINT, 1, &obsDim, &indexId_), "l_frame_index") &&
       compressed(indexId_, "l_frame_index", &kObsChunk) &&
       text(indexId_, "long_name", "L frame count before this frame (gaps: aborted frames)") &&
       text(indexId_, "units", "1") && text(indexId_, "coverage_content_type", kAuxiliary) &&
       Check(nc_def_var(ncid_, "window_count", NC_INT, 1, &obsDim, &windowId_), "window_count") &&
       compressed(windowId_, "window_count", &kObsChunk) &&
       text(windowId_, "long_name", "particles counted in the window bins of the L frame") &&
       text(windowId_, "units", "1") && text(windowId_, "coordinates", kCoordinates) &&
       text(windowId_, "coverage_content_type", kMeasurement) &&
       Check(nc_def_var(ncid_, "laser_monitor", NC_UINT, 1, &obsDim, &laserId_), "laser_monitor") &&
       compressed(laserId_, "laser_monitor", &kObsChunk) &&
       text(laserId_, "long_name", "laser monitor (housekeeping word H6)") &&
       text(laserId_, "units", "1") && text(laserId_, "coordinates", kCoordinates) &&
       text(laserId_, "coverage_content_type", kAuxiliary);
  if (!ok) return false;
  const int binDims[2] = {obsDim, binDim};
  const std::size_t binChunks[2] = {kBinChunkRows, kExportBinCount};
  // The counter sends each bin as a 16-bit word.
  ok = Check(nc_def_var(ncid_, "bin_counts", NC_USHORT, 2, binDims, &binsId_), "bin_counts") &&
       compressed(binsId_, "bin_counts", binChunks) &&
       text(binsId_, "long_name", "particles counted per size bin in the L frame") &&
       text(binsId_, "units", "1") && text(binsId_, "coordinates", kCoordinates) &&
       text(binsId_, "coverage_content_type", kMeasurement);
  countIds_[1] = windowId_;
  countIds_[2] = binsId_;
  return ok;
}

bool NetcdfExporter::DefineEvents() {
  auto text = [&](int var, const char* name, const std::string& value) {
    return Check(nc_put_att_text(mepId_, var, name, value.size(), value.c_str()), name);
  };
  int eventDim = -1;
  bool ok = Check(nc_def_grp(ncid_, "mep", &mepId_), "mep group") &&
            text(NC_GLOBAL, "title", "element events of the M frames, in arrival order") &&
            Check(nc_def_dim(mepId_, "event", NC_UNLIMITED, &eventDim), "event dimension");
  for (std::size_t i = 0; i < kEvent.size() && ok; ++i) {
    const EventVariable& v = kEvent[i];
    int& id = eventIds_[i];
    ok = Check(nc_def_var(mepId_, v.name, v.type, 1, &eventDim, &id), v.name) &&
         Check(nc_def_var_chunking(mepId_, id, NC_CHUNKED, &kObsChunk), v.name) &&
         Check(nc_def_var_deflate(mepId_, id, 1, 1, 4), v.name) &&
         text(id, "long_name", v.longName) && text(id, "coverage_content_type", v.contentType);
    const bool flag = v.type == NC_UBYTE && std::strcmp(v.name, "element") != 0;
    if (ok && !flag) ok = text(id, "units", "1");
    if (ok && flag) {
      const unsigned char flags[2] = {0, 1};
      ok = Check(nc_put_att_uchar(mepId_, id, "flag_values", NC_UBYTE, 2, flags), v.name) &&
           text(id, "flag_meanings",
                std::strcmp(v.name, "partial") == 0 ? "whole partial" : "unflagged flagged");
    }
    if (ok && std::strcmp(v.name, "time_stamp") == 0) {
      const int fill = -1;
      ok = Check(nc_def_var_fill(mepId_, id, 0, &fill), v.name) &&
           text(id, "comment", "missing for a partial event (the .dat writes 99999)");
    }
  }
  return ok;
}

void NetcdfExporter::Write(const ExportRow& row) {
  if (failed_ || ncid_ < 0) return;
  for (int i = 0; i < kRealVariables; ++i) {
    const double v = row.*kReal[i].member;
    real_[i].push_back(IsMissing(v) ? kMissing : v);
  }
  index_.push_back(row.lFrameIndex);
  window_.push_back(row.windowCount);
  laser_.push_back(row.laserMonitor);
  for (std::uint32_t count : row.bins) bins_.push_back(static_cast<std::uint16_t>(count));

  time_.Add(row.epochSeconds);
  latitude_.Add(row.latitude);
  longitude_.Add(row.longitude);
  depth_.Add(row.depth);
  if (row.fixAge == 0 && !IsMissing(row.timeOfDay)) {
    // The GPS clock against the L frame count, across midnight.
    if (!IsMissing(previousTimeOfDay_) && row.timeOfDay < previousTimeOfDay_ - 43200) {
      dayOffset_ += 86400;
    }
    previousTimeOfDay_ = row.timeOfDay;
    const double t = row.timeOfDay + dayOffset_;
    if (IsMissing(firstFixTime_)) {
      firstFixTime_ = t;
      firstFixFrame_ = row.lFrameIndex;
    }
    lastFixTime_ = t;
    lastFixFrame_ = row.lFrameIndex;
  }
  if (++rows_ >= blockRows_) WriteBlock();
}

bool NetcdfExporter::DefineMarks() {
  auto text = [&](int var, const char* name, const std::string& value) {
    return Check(nc_put_att_text(marksId_, var, name, value.size(), value.c_str()), name);
  };
  struct MarkVariable {
    const char* name;
    nc_type type;
    const char* longName;
    const char* units;  // nullptr: none (the note)
  };
  static const MarkVariable kMarkVariables[kMarkVariableCount] = {
      {"mark", NC_INT, "number of the mark in its recording", "1"},
      {"time", NC_DOUBLE, "UTC time of the mark by the PC clock",
       "seconds since 1970-01-01T00:00:00Z"},
      {"l_frame_index", NC_UINT,
       "L frame count when the mark was made (l_frame_index of the next "
       "L frame)",
       "1"},
      {"latitude", NC_DOUBLE, "latitude of the latest GPS fix at the mark", "degrees_north"},
      {"longitude", NC_DOUBLE, "longitude of the latest GPS fix at the mark", "degrees_east"},
      {"note", NC_STRING, "the operator's note", nullptr},
  };
  int markDim = -1;
  bool ok = Check(nc_def_grp(ncid_, "marks", &marksId_), "marks group") &&
            text(NC_GLOBAL, "title", "the operator's event marks (the recording's .mrk file)") &&
            Check(nc_def_dim(marksId_, "mark", NC_UNLIMITED, &markDim), "mark dimension");
  for (int i = 0; i < kMarkVariableCount && ok; ++i) {
    const MarkVariable& v = kMarkVariables[i];
    ok = Check(nc_def_var(marksId_, v.name, v.type, 1, &markDim, &markIds_[i]), v.name) &&
         text(markIds_[i], "long_name", v.longName) &&
         (v.units == nullptr || text(markIds_[i], "units", v.units));
    if (ok && v.type == NC_DOUBLE) {
      const double fill = kMissing;
      ok = Check(nc_def_var_fill(marksId_, markIds_[i], 0, &fill), v.name);
    }
    if (ok && std::strcmp(v.name, "time") == 0) {
      ok = text(markIds_[i], "standard_name", "time");
    }
  }
  return ok;
}

void NetcdfExporter::WriteMarks(const std::vector<Mark>& marks) {
  marks_ = marks;
}

bool NetcdfExporter::WriteMarksBlock() {
  const std::size_t n = marks_.size();
  if (n == 0) return !failed_;
  std::vector<int> number(n);
  std::vector<double> time(n), latitude(n), longitude(n);
  std::vector<unsigned> frame(n);
  std::vector<const char*> note(n);
  for (std::size_t i = 0; i < n; ++i) {
    number[i] = marks_[i].number;
    time[i] = marks_[i].epochSeconds;
    frame[i] = marks_[i].lFrameIndex;
    latitude[i] = marks_[i].latitude;
    longitude[i] = marks_[i].longitude;
    note[i] = marks_[i].note.c_str();
  }
  const std::size_t start = 0;
  std::lock_guard lock(LibraryLock());
  return Check(nc_put_vara_int(marksId_, markIds_[0], &start, &n, number.data()), "mark") &&
         Check(nc_put_vara_double(marksId_, markIds_[1], &start, &n, time.data()), "time") &&
         Check(nc_put_vara_uint(marksId_, markIds_[2], &start, &n, frame.data()),
               "l_frame_index") &&
         Check(nc_put_vara_double(marksId_, markIds_[3], &start, &n, latitude.data()),
               "latitude") &&
         Check(nc_put_vara_double(marksId_, markIds_[4], &start, &n, longitude.data()),
               "longitude") &&
         Check(nc_put_vara_string(marksId_, markIds_[5], &start, &n, note.data()), "note");
}

void NetcdfExporter::WriteEvent(const MepEvent& e) {
  if (failed_ || ncid_ < 0) return;
  const std::int32_t values[kEventVariables] = {
      static_cast<std::int32_t>(e.lFrameIndex),
      static_cast<std::int32_t>(e.element),
      e.Partial() ? -1 : static_cast<std::int32_t>(e.timeStamp),
      static_cast<std::int32_t>(e.duration),
      static_cast<std::int32_t>(e.size),
      e.mepFlag ? 1 : 0,
      e.Partial() ? 1 : 0};
  for (int i = 0; i < kEventVariables; ++i) events_[i].push_back(values[i]);
  if (events_[0].size() >= blockRows_) WriteEventBlock();
}

bool NetcdfExporter::WriteBlock() {
  if (rows_ == 0) return !failed_;
  std::lock_guard lock(LibraryLock());
  const std::size_t start[2] = {written_, 0};
  const std::size_t count[2] = {rows_, kExportBinCount};
  bool ok = true;
  for (int i = 0; i < kRealVariables && ok; ++i) {
    ok =
        Check(nc_put_vara_double(ncid_, realIds_[i], start, count, real_[i].data()), kReal[i].name);
  }
  ok = ok &&
       Check(nc_put_vara_uint(ncid_, indexId_, start, count, index_.data()), "l_frame_index") &&
       Check(nc_put_vara_int(ncid_, windowId_, start, count, window_.data()), "window_count") &&
       Check(nc_put_vara_uint(ncid_, laserId_, start, count, laser_.data()), "laser_monitor") &&
       Check(nc_put_vara_ushort(ncid_, binsId_, start, count, bins_.data()), "bin_counts");
  written_ += rows_;
  rows_ = 0;
  for (auto& column : real_) column.clear();
  index_.clear();
  window_.clear();
  laser_.clear();
  bins_.clear();
  return ok;
}

bool NetcdfExporter::WriteEventBlock() {
  const std::size_t n = events_[0].size();
  if (n == 0) return !failed_;
  std::lock_guard lock(LibraryLock());
  const std::size_t start = eventsWritten_;
  bool ok = true;
  for (int i = 0; i < kEventVariables && ok; ++i) {
    ok =
        Check(nc_put_vara_int(mepId_, eventIds_[i], &start, &n, events_[i].data()), kEvent[i].name);
    events_[i].clear();
  }
  eventsWritten_ += n;
  return ok;
}

bool NetcdfExporter::WriteCoverage() {
  std::lock_guard lock(LibraryLock());
  auto text = [&](int var, const char* name, const std::string& value) {
    return Check(nc_put_att_text(ncid_, var, name, value.size(), value.c_str()), name);
  };
  auto real = [&](const char* name, double value) {
    return Check(nc_put_att_double(ncid_, NC_GLOBAL, name, NC_DOUBLE, 1, &value), name);
  };
  bool ok = Check(nc_redef(ncid_), "coverage");
  if (ok && !IsMissing(time_.min)) {
    ok = text(NC_GLOBAL, "time_coverage_start", FormatIsoUtc(time_.min)) &&
         text(NC_GLOBAL, "time_coverage_end", FormatIsoUtc(time_.max));
  }
  if (ok && !IsMissing(latitude_.min)) {
    ok = real("geospatial_lat_min", latitude_.min) && real("geospatial_lat_max", latitude_.max) &&
         text(NC_GLOBAL, "geospatial_lat_units", "degrees_north") &&
         real("geospatial_lon_min", longitude_.min) && real("geospatial_lon_max", longitude_.max) &&
         text(NC_GLOBAL, "geospatial_lon_units", "degrees_east");
  }
  if (ok && !IsMissing(depth_.min)) {
    ok = real("geospatial_vertical_min", depth_.min) &&
         real("geospatial_vertical_max", depth_.max) &&
         text(NC_GLOBAL, "geospatial_vertical_units", "m") &&
         text(NC_GLOBAL, "geospatial_vertical_positive", "down");
  }
  // The counts are those of one L frame; the GPS clock tells how long a frame is, once it
  // has run for a while.
  const std::uint32_t frames = lastFixFrame_ - firstFixFrame_;
  const double span = lastFixTime_ - firstFixTime_;
  std::string methods = "time: sum";
  if (!IsMissing(span) && frames >= 20 && span >= 10) {
    const std::string interval = ShortNumber(span / frames);
    ok = ok && real("l_frame_interval", std::strtod(interval.c_str(), nullptr));
    methods += " (interval: " + interval + " s)";
  }
  for (int id : countIds_) {
    ok = ok && text(id, "cell_methods", methods);
    if (methods == "time: sum") {
      ok = ok && text(id, "comment",
                      "counts of one L frame; the recording has no GPS clock to measure the "
                      "frame interval by");
    }
  }
  return Check(nc_enddef(ncid_), "coverage") && ok;
}

bool NetcdfExporter::Finish() {
  if (ncid_ < 0) return false;
  if (!failed_) WriteBlock();
  if (!failed_) WriteEventBlock();
  if (!failed_) WriteMarksBlock();
  if (!failed_) WriteCoverage();
  void* image = nullptr;
  std::size_t size = 0;
  if (failed_) {
    CloseLibrary(nullptr, nullptr);
  } else if (CloseLibrary(&image, &size)) {
    file_.Write(std::string_view(static_cast<const char*>(image), size));
  }
  std::free(image);
  if (!failed_ && !file_.Commit()) {
    failed_ = true;
    error_ = file_.Error();
  }
  if (failed_) file_.Discard();
  return !failed_;
}

void NetcdfExporter::Discard() {
  CloseLibrary(nullptr, nullptr);
  file_.Discard();
}

}  // namespace vesk
