// How the cast products' NetCDF is laid out: dimensions, global attributes, coordinates and
// variables with their attributes, in the file's order.
#include <netcdf.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "files/export_csv.h"
#include "files/export_netcdf.h"
#include "files/profile_netcdf.h"
#include "files/profile_netcdf_variables.h"

namespace vesk {
namespace profile_netcdf {

const std::vector<Variable>& ProfileVariables() {
  using P = const ProfileValues&;
  static const std::vector<Variable> v = {
      {"time", NC_DOUBLE, "UTC time of the profile's first L frame",
       "seconds since 1970-01-01T00:00:00Z", "time", [](P p) { return p.time; }, nullptr},
      {"latitude", NC_DOUBLE, "latitude at the profile's first L frame", "degrees_north",
       "latitude", [](P p) { return p.latitude; }, nullptr},
      {"longitude", NC_DOUBLE, "longitude at the profile's first L frame", "degrees_east",
       "longitude", [](P p) { return p.longitude; }, nullptr},
      {"first_l_frame", NC_INT64, "l_frame_index of the profile's first frame", "1", nullptr,
       [](P p) { return Count(p.firstLFrame); }, nullptr},
      {"last_l_frame", NC_INT64, "l_frame_index of the profile's last frame", "1", nullptr,
       [](P p) { return Count(p.lastLFrame); }, nullptr},
      {"depth_min", NC_DOUBLE, "least depth of the profile's frames", "m", nullptr,
       [](P p) { return p.depthMin; }, nullptr},
      {"depth_max", NC_DOUBLE, "greatest depth of the profile's frames", "m", nullptr,
       [](P p) { return p.depthMax; }, nullptr},
      {"profile_frames_used", NC_INT, "L frames of the profile that were used", "1", nullptr,
       [](P p) { return Count(p.framesUsed); }, nullptr},
      {"loop_edited", NC_INT, "L frames refused by loop editing", "1", nullptr,
       [](P p) { return Count(p.loopEdited); }, nullptr},
      {"no_flow", NC_INT, "L frames refused for a flow speed of 0", "1", nullptr,
       [](P p) { return Count(p.noFlow); }, nullptr},
      {"profile_volume", NC_DOUBLE, "water sampled by the used frames", "m3", nullptr,
       [](P p) { return p.volume; }, nullptr},
      {"profile_count", NC_INT64, "particles counted in the used frames (all size bins)", "1",
       nullptr, [](P p) { return Count(p.count); }, nullptr},
      {"profile_concentration", NC_DOUBLE, "particles per volume sampled over the profile", "m-3",
       nullptr, [](P p) { return p.concentration; }, nullptr},
      {"profile_nbss_slope", NC_DOUBLE, "slope of log10(NBSS) on log10(biovolume), the profile",
       "1", nullptr, [](P p) { return p.fit.slope; }, nullptr},
      {"profile_nbss_intercept", NC_DOUBLE,
       "intercept of log10(NBSS / m-3) on log10(biovolume / mm3), the profile", "1", nullptr,
       [](P p) { return p.fit.intercept; }, nullptr},
      {"profile_nbss_bins_fitted", NC_INT, "size bins the profile's NBSS line is fitted to", "1",
       nullptr, [](P p) { return static_cast<double>(p.fit.bins); }, nullptr},
  };
  return v;
}

const std::vector<Variable>& DepthBinVariables() {
  using B = const DepthBinValues&;
  static const std::vector<Variable> v = {
      {"frames_used", NC_INT, "L frames used in the depth bin", "1", nullptr, nullptr,
       [](B b) { return Count(b.framesUsed); }},
      {"volume", NC_DOUBLE, "water sampled in the depth bin", "m3", nullptr, nullptr,
       [](B b) { return b.volume; }},
      {"count", NC_INT64, "particles counted in the depth bin (all size bins)", "1", nullptr,
       nullptr, [](B b) { return Count(b.count); }},
      {"concentration", NC_DOUBLE, "particles per volume sampled in the depth bin", "m-3", nullptr,
       nullptr, [](B b) { return b.concentration; }},
      {"ci95_low", NC_DOUBLE, "lower limit of the exact 95 % Poisson interval of concentration",
       "m-3", nullptr, nullptr, [](B b) { return b.ciLow; }},
      {"ci95_high", NC_DOUBLE, "upper limit of the exact 95 % Poisson interval of concentration",
       "m-3", nullptr, nullptr, [](B b) { return b.ciHigh; }},
      {"nbss_slope", NC_DOUBLE, "slope of log10(NBSS) on log10(biovolume), the depth bin", "1",
       nullptr, nullptr, [](B b) { return b.fit.slope; }},
      {"nbss_intercept", NC_DOUBLE,
       "intercept of log10(NBSS / m-3) on log10(biovolume / mm3), the depth bin", "1", nullptr,
       nullptr, [](B b) { return b.fit.intercept; }},
      {"nbss_bins_fitted", NC_INT, "size bins the depth bin's NBSS line is fitted to", "1", nullptr,
       nullptr, [](B b) { return static_cast<double>(b.fit.bins); }},
  };
  return v;
}

nc_type CountType(std::size_t width) {
  return width == 2 ? NC_SHORT : width == 4 ? NC_INT : NC_INT64;
}

}  // namespace profile_netcdf

namespace {

using profile_netcdf::DepthBinVariables;
using profile_netcdf::kDirectionLength;
using profile_netcdf::ProfileVariables;
using profile_netcdf::Variable;

constexpr const char* kCoordinates = "time latitude longitude";
const std::string kSummary =
    "Profiles of particle concentration against depth, going down and coming up, and the "
    "normalized biovolume size spectrum of each, from the VESK laser particle counter. "
    "Processed from ";
constexpr const char* kComment =
    "The recording cut into profiles at the turns of the cast, each binned by depth: "
    "concentration = count / volume with its exact 95 % Poisson interval (chi-square "
    "quantiles), volume = tunnel cross-section x flow speed x frame interval summed over the "
    "used frames. NBSS = count x biovolume / volume / biovolume width of each size bin; its "
    "slope is the least-squares line of log10(NBSS) on log10(biovolume) over the size range, "
    "from the largest NBSS onward up to three empty bins in a row, when at least three bins "
    "qualify.";

}  // namespace

bool ProfileNetcdfWriter::Text(int var, const char* name, const std::string& value) {
  return Check(nc_put_att_text(ncid_, var, name, value.size(), value.c_str()), name);
}

bool ProfileNetcdfWriter::Real(int var, const char* name, double value) {
  return Check(nc_put_att_double(ncid_, var, name, NC_DOUBLE, 1, &value), name);
}

// A variable with its fill value (coordinates have none). Every value is written, the missing
// ones as the fill, so the library need not fill the variable first.
bool ProfileNetcdfWriter::DefineVar(const char* name, int type, int rank, const int* dims, int* id,
                                    bool coordinate) {
  if (!Check(nc_def_var(ncid_, name, type, rank, dims, id), name)) return false;
  if (coordinate) return true;
  const double real = kMissing;
  const short small = -1;
  const int integer = -1;
  const long long large = -1;
  const void* fill = type == NC_DOUBLE  ? static_cast<const void*>(&real)
                     : type == NC_SHORT ? static_cast<const void*>(&small)
                     : type == NC_INT   ? static_cast<const void*>(&integer)
                     : type == NC_INT64 ? static_cast<const void*>(&large)
                                        : nullptr;
  return fill == nullptr || (Check(nc_def_var_fill(ncid_, *id, NC_NOFILL, nullptr), name) &&
                             Check(nc_put_att(ncid_, *id, "_FillValue", type, 1, fill), name));
}

bool ProfileNetcdfWriter::Define(const std::vector<double>& depthIndex) {
  Dims dims;
  return Check(nc_set_fill(ncid_, NC_NOFILL, nullptr), "fill mode") &&
         Check(nc_def_dim(ncid_, "profile", profiles_.size(), &dims.profile),
               "profile dimension") &&
         Check(nc_def_dim(ncid_, "depth", depthIndex.size(), &dims.depth), "depth dimension") &&
         Check(nc_def_dim(ncid_, "bin", kExportBinCount, &dims.bin), "bin dimension") &&
         Check(nc_def_dim(ncid_, "nv", 2, &dims.nv), "nv dimension") &&
         Check(nc_def_dim(ncid_, "direction_strlen", kDirectionLength, &dims.direction),
               "direction length dimension") &&
         DefineGlobals() && DefineCoverage() && DefineCoordinates(dims) && DefineVariables(dims) &&
         Check(nc_enddef(ncid_), "defining");
}

// The conventions, the user's metadata, where the products come from and the settings.
bool ProfileNetcdfWriter::DefineGlobals() {
  std::string profileVariables = "profile,direction";
  for (const Variable& v : ProfileVariables()) profileVariables += std::string(",") + v.name;
  bool ok = Text(NC_GLOBAL, "Conventions", "CF-1.11, ACDD-1.3") &&
            Text(NC_GLOBAL, "featureType", "profile") &&
            Text(NC_GLOBAL, "cdm_data_type", "Profile") &&
            Text(NC_GLOBAL, "cdm_profile_variables", profileVariables);
  for (const auto& [name, value] : context_.metadata) {
    const bool ownSummary = name == "summary" && value == DefaultExportSummary(context_.source);
    ok = ok && Text(NC_GLOBAL, name.c_str(), ownSummary ? kSummary + context_.source + "." : value);
  }
  ok = ok && Text(NC_GLOBAL, "comment", kComment) &&
       Text(NC_GLOBAL, "source",
            "VESK " + context_.processingVersion + " cast products of " + context_.source) &&
       Text(NC_GLOBAL, "processing_software_version", context_.processingVersion) &&
       Text(NC_GLOBAL, "processing_tunnel", context_.standardTunnel ? "Standard" : "2.5x") &&
       Real(NC_GLOBAL, "tunnel_cross_section_m2", TunnelCrossSection(context_.standardTunnel)) &&
       Real(NC_GLOBAL, "profiles_depth_bin_m", settings_.depthBin) &&
       Real(NC_GLOBAL, "profiles_turn_hysteresis_m", settings_.turnHysteresis) &&
       Real(NC_GLOBAL, "profiles_min_extent_m", settings_.minExtent) &&
       Real(NC_GLOBAL, "profiles_loop_edit", settings_.loopEdit ? 1 : 0) &&
       Real(NC_GLOBAL, "profiles_frame_interval_s", settings_.frameInterval) &&
       Real(NC_GLOBAL, "profiles_spectrum_min_um", settings_.spectrumMinUm) &&
       Real(NC_GLOBAL, "profiles_spectrum_max_um", settings_.spectrumMaxUm);
  return ok;
}

// The time, place and depth the profiles cover.
bool ProfileNetcdfWriter::DefineCoverage() {
  bool ok = true;
  double t0 = kMissing, t1 = kMissing, lat0 = kMissing, lat1 = kMissing, lon0 = kMissing,
         lon1 = kMissing, z0 = kMissing, z1 = kMissing;
  auto extend = [](double& lo, double& hi, double v) {
    if (IsMissing(v)) return;
    lo = IsMissing(lo) ? v : std::min(lo, v);
    hi = IsMissing(hi) ? v : std::max(hi, v);
  };
  for (const Kept& k : profiles_) {
    const ProfileValues& p = k.profile;
    extend(t0, t1, p.time);
    extend(lat0, lat1, p.latitude);
    extend(lon0, lon1, p.longitude);
    extend(z0, z1, p.depthMin);
    extend(z0, z1, p.depthMax);
  }
  if (!IsMissing(t0)) {
    ok = Text(NC_GLOBAL, "time_coverage_start", FormatIsoUtc(t0)) &&
         Text(NC_GLOBAL, "time_coverage_end", FormatIsoUtc(t1));
  }
  if (ok && !IsMissing(lat0)) {
    ok = Real(NC_GLOBAL, "geospatial_lat_min", lat0) &&
         Real(NC_GLOBAL, "geospatial_lat_max", lat1) &&
         Text(NC_GLOBAL, "geospatial_lat_units", "degrees_north") &&
         Real(NC_GLOBAL, "geospatial_lon_min", lon0) &&
         Real(NC_GLOBAL, "geospatial_lon_max", lon1) &&
         Text(NC_GLOBAL, "geospatial_lon_units", "degrees_east");
  }
  if (ok && !IsMissing(z0)) {
    ok = Real(NC_GLOBAL, "geospatial_vertical_min", z0) &&
         Real(NC_GLOBAL, "geospatial_vertical_max", z1) &&
         Text(NC_GLOBAL, "geospatial_vertical_units", "m") &&
         Text(NC_GLOBAL, "geospatial_vertical_positive", "down");
  }
  return ok;
}

// The profile, the depth bins, the size bins.
bool ProfileNetcdfWriter::DefineCoordinates(const Dims& dims) {
  int id = -1;
  const int directionDims[2] = {dims.profile, dims.direction};
  bool ok = DefineVar("profile", NC_INT, 1, &dims.profile, &id, true) &&
            Text(id, "cf_role", "profile_id") &&
            Text(id, "long_name", "profile number, from 1 in the order of the recording") &&
            Text(id, "coverage_content_type", "referenceInformation") &&
            DefineVar("direction", NC_CHAR, 2, directionDims, &id) &&
            Text(id, "long_name", "direction of the cast in the profile: down or up") &&
            Text(id, "_Encoding", "utf-8") &&
            Text(id, "coverage_content_type", "referenceInformation");
  const int depthBounds[2] = {dims.depth, dims.nv};
  const int binBounds[2] = {dims.bin, dims.nv};
  ok = ok && DefineVar("depth", NC_DOUBLE, 1, &dims.depth, &id, true) &&
       Text(id, "standard_name", "depth") && Text(id, "long_name", "centre of the depth bin") &&
       Text(id, "units", "m") && Text(id, "positive", "down") && Text(id, "axis", "Z") &&
       Text(id, "bounds", "depth_bounds") && Text(id, "coverage_content_type", "coordinate") &&
       DefineVar("depth_bounds", NC_DOUBLE, 2, depthBounds, &id, true) &&
       DefineVar("bin", NC_DOUBLE, 1, &dims.bin, &id, true) &&
       Text(id, "long_name", "equivalent spherical diameter of the size bin (lower edge)") &&
       Text(id, "units", "um") && Text(id, "bounds", "bin_bounds") &&
       Text(id, "coverage_content_type", "coordinate") &&
       DefineVar("bin_bounds", NC_DOUBLE, 2, binBounds, &id, true) &&
       DefineVar("biovolume", NC_DOUBLE, 1, &dims.bin, &id, true) &&
       Text(id, "long_name", "biovolume of a sphere of the size bin's centre diameter") &&
       Text(id, "units", "mm3") && Text(id, "coverage_content_type", "auxiliaryInformation") &&
       DefineVar("biovolume_width", NC_DOUBLE, 1, &dims.bin, &id, true) &&
       Text(id, "long_name", "width of the size bin in biovolume (between its edges)") &&
       Text(id, "units", "mm3") && Text(id, "coverage_content_type", "auxiliaryInformation");
  return ok;
}

bool ProfileNetcdfWriter::DefineVariables(const Dims& dims) {
  auto describe = [&](const Variable& v, int var) {
    bool good = Text(var, "long_name", v.longName) &&
                (v.units == nullptr || Text(var, "units", v.units)) &&
                (v.standardName == nullptr || Text(var, "standard_name", v.standardName));
    const bool place = v.standardName != nullptr;
    good = good && Text(var, "coverage_content_type", place ? "coordinate" : "physicalMeasurement");
    if (good && !place) good = Text(var, "coordinates", kCoordinates);
    return good;
  };
  bool ok = true;
  int id = -1;
  for (const Variable& v : ProfileVariables()) {
    ok = ok && DefineVar(v.name, v.type, 1, &dims.profile, &id) && describe(v, id);
    if (ok && std::string_view(v.name) == "time") {
      ok = Text(id, "calendar", "standard") && Text(id, "axis", "T");
    }
  }
  const int perBin[2] = {dims.profile, dims.depth};
  for (const Variable& v : DepthBinVariables()) {
    ok = ok && DefineVar(v.name, v.type, 2, perBin, &id) && describe(v, id);
  }
  const int profileSpectrum[2] = {dims.profile, dims.bin};
  const int binSpectrum[3] = {dims.profile, dims.depth, dims.bin};
  ok = ok && DefineVar("profile_counts", NC_INT64, 2, profileSpectrum, &id) &&
       Text(id, "long_name", "particles counted per size bin in the profile's used frames") &&
       Text(id, "units", "1") && Text(id, "coordinates", kCoordinates) &&
       Text(id, "coverage_content_type", "physicalMeasurement") &&
       DefineVar("profile_nbss", NC_DOUBLE, 2, profileSpectrum, &id) &&
       Text(id, "long_name", "normalized biovolume size spectrum of the profile") &&
       Text(id, "units", "m-3") && Text(id, "coordinates", kCoordinates) &&
       Text(id, "coverage_content_type", "physicalMeasurement") &&
       DefineVar("counts", profile_netcdf::CountType(countWidth_), 3, binSpectrum, &id) &&
       Text(id, "long_name", "particles counted per size bin in the depth bin") &&
       Text(id, "units", "1") && Text(id, "coordinates", kCoordinates) &&
       Text(id, "coverage_content_type", "physicalMeasurement") &&
       Text(id, "comment",
            "the NBSS of a depth bin is counts x biovolume / volume / biovolume_width");
  return ok;
}

}  // namespace vesk
