#include "files/export_netcdf.h"

#include <netcdf.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "app/settings_store.h"
#include "instruments/ctd_catalogue.h"

namespace vesk {
namespace {

// The netCDF library is not thread-safe, and vesk-process writes several files at once.
std::mutex& LibraryLock() {
  static std::mutex lock;
  return lock;
}

struct RealVariable {
  const char* name;
  const char* standardName;  // empty: CF has none
  const char* longName;
  const char* units;
  double ExportRow::*member;
  bool coordinate;  // time and place: not given a "coordinates" attribute itself
};

// Conductivity units are set per instrument in Define().
const std::array<RealVariable, NetcdfExporter::kRealVariables> kReal = {{
    {"time", "time", "UTC time of the latest GPS fix", "seconds since 1970-01-01T00:00:00Z",
     &ExportRow::epochSeconds, true},
    {"time_of_day", "", "UTC time of day of the latest GPS fix", "s", &ExportRow::timeOfDay, true},
    {"latitude", "latitude", "latitude of the latest GPS fix", "degrees_north",
     &ExportRow::latitude, true},
    {"longitude", "longitude", "longitude of the latest GPS fix", "degrees_east",
     &ExportRow::longitude, true},
    {"pressure", "sea_water_pressure", "sea pressure from the CTD", "dbar", &ExportRow::pressure,
     false},
    {"depth", "depth", "depth from the CTD pressure and the survey latitude", "m",
     &ExportRow::depth, true},
    {"temperature", "sea_water_temperature", "sea water temperature from the CTD", "degree_C",
     &ExportRow::temperature, false},
    {"conductivity", "sea_water_electrical_conductivity", "sea water conductivity from the CTD",
     "S m-1", &ExportRow::conductivity, false},
    {"salinity", "sea_water_practical_salinity", "practical salinity (PSS-78)", "1",
     &ExportRow::salinity, false},
    {"analog", "", "analog channel of the external instrument", "1", &ExportRow::analog, false},
    {"flow_speed", "", "flow speed through the sampling tunnel", "m s-1", &ExportRow::flowSpeed,
     false},
    {"counts_per_volume", "", "particles counted in the frame per volume sampled", "1000 m-3",
     &ExportRow::countsPerVolume, false},
    {"frame_total", "", "particles counted in the frame (all bins)", "s-1", &ExportRow::frameTotal,
     false},
    {"counter_value", "", "counter value", "1", &ExportRow::counterValue, false},
}};

constexpr const char* kCoordinates = "time latitude longitude depth";

}  // namespace

const std::array<const char*, NetcdfExporter::kRealVariables>& NetcdfExporter::RealVariableNames() {
  static const std::array<const char*, kRealVariables> names = [] {
    std::array<const char*, kRealVariables> n{};
    for (int i = 0; i < kRealVariables; ++i) n[i] = kReal[i].name;
    return n;
  }();
  return names;
}

NetcdfExporter::NetcdfExporter(std::string path, std::size_t blockRows)
    : path_(std::move(path)), blockRows_(blockRows > 0 ? blockRows : 1) {}

NetcdfExporter::~NetcdfExporter() {
  if (!partial_.empty() && !finished_) Discard();
}

bool NetcdfExporter::Check(int status, const char* what) {
  if (status == NC_NOERR) return true;
  if (!failed_) {
    failed_ = true;
    error_ = path_ + ": " + what + ": " + nc_strerror(status);
  }
  return false;
}

void NetcdfExporter::CloseFile() {
  if (ncid_ < 0) return;
  std::lock_guard lock(LibraryLock());
  Check(nc_close(ncid_), "closing");
  ncid_ = -1;
}

bool NetcdfExporter::Begin(const ExportContext& context) {
  partial_ = path_ + ".partial";
  for (auto& column : real_) column.reserve(blockRows_);
  index_.reserve(blockRows_);
  window_.reserve(blockRows_);
  laser_.reserve(blockRows_);
  bins_.reserve(blockRows_ * kExportBinCount);
  bool ok = false;
  {
    std::lock_guard lock(LibraryLock());
    ok = Check(nc_create(partial_.c_str(), NC_NETCDF4 | NC_CLOBBER, &ncid_), "creating");
    if (ok) ok = Define(context);
  }
  if (!ok) {
    CloseFile();
    ::unlink(partial_.c_str());
    partial_.clear();
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
  bool ok = Check(nc_set_fill(ncid_, NC_NOFILL, nullptr), "fill mode");
  int obsDim = -1, binDim = -1;
  ok = ok && Check(nc_def_dim(ncid_, "obs", NC_UNLIMITED, &obsDim), "obs dimension");
  ok = ok && Check(nc_def_dim(ncid_, "bin", kExportBinCount, &binDim), "bin dimension");
  if (!ok) return false;
  // Small chunks keep short recordings small. No compression: it would cost more than the
  // whole processing of a frame (the file is still smaller than the .dat).
  const std::size_t obsChunk = 1024;
  const std::size_t binChunkRows = 256;

  // Global attributes: what the recording's header says, then this processing.
  ok = text(NC_GLOBAL, "Conventions", "CF-1.8") &&
       text(NC_GLOBAL, "title", "VESK laser particle counter record") &&
       text(NC_GLOBAL, "source", "VESK " + c.processingVersion + " processing of " + c.source);
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
            c.sentenceToParse.empty() ? "GGA, RMC or GLL" : c.sentenceToParse);
  if (!ok) return false;

  // The bin coordinate.
  int binVar = -1;
  ok = Check(nc_def_var(ncid_, "bin", NC_DOUBLE, 1, &binDim, &binVar), "bin") &&
       text(binVar, "long_name", "equivalent spherical diameter of the size bin") &&
       text(binVar, "units", "um") && text(binVar, "comment", "bin k reads as 15 x k um");
  if (!ok) return false;

  const double fill = kMissing;
  for (int i = 0; i < kRealVariables; ++i) {
    const RealVariable& v = kReal[i];
    int& id = realIds_[i];
    ok = Check(nc_def_var(ncid_, v.name, NC_DOUBLE, 1, &obsDim, &id), v.name) &&
         Check(nc_def_var_chunking(ncid_, id, NC_CHUNKED, &obsChunk), v.name) &&
         Check(nc_def_var_fill(ncid_, id, 0, &fill), v.name);
    if (!ok) return false;
    if (v.standardName[0] != '\0') ok = text(id, "standard_name", v.standardName);
    std::string units = v.units;
    if (v.member == &ExportRow::conductivity && c.ctdModel == CtdCatalogue::kMicroCtd) {
      units = "mS cm-1";
    }
    ok = ok && text(id, "long_name", v.longName) && text(id, "units", units);
    if (v.member == &ExportRow::epochSeconds) {
      ok = ok && text(id, "calendar", "standard") && text(id, "axis", "T");
    }
    if (v.member == &ExportRow::depth) {
      ok = ok && text(id, "positive", "down") && text(id, "axis", "Z");
    }
    if (!v.coordinate) ok = ok && text(id, "coordinates", kCoordinates);
    if (v.member == &ExportRow::epochSeconds) {
      ok = ok && text(id, "comment",
                      "missing until an RMC sentence has given the date; time_of_day holds the "
                      "time alone");
    }
    if (v.member == &ExportRow::countsPerVolume) {
      ok = ok && text(id, "comment",
                      "frame_total / (tunnel cross-section x flow_speed) x 0.001 of this frame "
                      "alone; 0 when the flow speed is 0");
    }
    if (!ok) return false;
  }
  ok = Check(nc_def_var(ncid_, "l_frame_index", NC_UINT, 1, &obsDim, &indexId_), "l_frame_index") &&
       Check(nc_def_var_chunking(ncid_, indexId_, NC_CHUNKED, &obsChunk), "l_frame_index") &&
       text(indexId_, "long_name", "L frame count before this frame (gaps: aborted frames)") &&
       text(indexId_, "units", "1") &&
       Check(nc_def_var(ncid_, "window_count", NC_INT, 1, &obsDim, &windowId_), "window_count") &&
       Check(nc_def_var_chunking(ncid_, windowId_, NC_CHUNKED, &obsChunk), "window_count") &&
       text(windowId_, "long_name", "particles counted in the window bins of the frame") &&
       text(windowId_, "units", "s-1") && text(windowId_, "coordinates", kCoordinates) &&
       Check(nc_def_var(ncid_, "laser_monitor", NC_UINT, 1, &obsDim, &laserId_), "laser_monitor") &&
       Check(nc_def_var_chunking(ncid_, laserId_, NC_CHUNKED, &obsChunk), "laser_monitor") &&
       text(laserId_, "long_name", "laser monitor (housekeeping word H6)") &&
       text(laserId_, "units", "1") && text(laserId_, "coordinates", kCoordinates);
  if (!ok) return false;
  const int binDims[2] = {obsDim, binDim};
  const std::size_t binChunks[2] = {binChunkRows, kExportBinCount};
  // The counter sends each bin as a 16-bit word.
  ok = Check(nc_def_var(ncid_, "bin_counts", NC_USHORT, 2, binDims, &binsId_), "bin_counts") &&
       Check(nc_def_var_chunking(ncid_, binsId_, NC_CHUNKED, binChunks), "bin_counts") &&
       text(binsId_, "long_name", "particles counted per size bin in the frame") &&
       text(binsId_, "units", "s-1") && text(binsId_, "coordinates", kCoordinates);
  if (!ok) return false;
  // A small chunk cache writes each block out as it fills, on the writer's thread, rather
  // than all of it when the file is closed.
  int ids[kRealVariables + 4];
  std::copy(realIds_.begin(), realIds_.end(), ids);
  ids[kRealVariables] = indexId_;
  ids[kRealVariables + 1] = windowId_;
  ids[kRealVariables + 2] = laserId_;
  ids[kRealVariables + 3] = binsId_;
  for (int id : ids) {
    if (!Check(nc_set_var_chunk_cache(ncid_, id, 256 * 1024, 7, 1.0f), "chunk cache")) {
      return false;
    }
  }
  if (!Check(nc_enddef(ncid_), "defining")) return false;

  double esd[kExportBinCount];
  for (int k = 0; k < kExportBinCount; ++k) esd[k] = k * kBinEsdMicrometres;
  return Check(nc_put_var_double(ncid_, binVar, esd), "bin");
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
  if (++rows_ >= blockRows_) WriteBlock();
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

bool NetcdfExporter::Finish() {
  if (partial_.empty()) return false;
  if (ncid_ >= 0 && !failed_) WriteBlock();
  CloseFile();
  if (!failed_ && ::rename(partial_.c_str(), path_.c_str()) != 0) {
    failed_ = true;
    error_ = path_ + ": " + std::strerror(errno);
  }
  if (failed_) {
    ::unlink(partial_.c_str());
    partial_.clear();
    return false;
  }
  finished_ = true;
  return true;
}

void NetcdfExporter::Discard() {
  CloseFile();
  if (partial_.empty()) return;
  ::unlink((finished_ ? path_ : partial_).c_str());
  partial_.clear();
  finished_ = false;
}

}  // namespace vesk
