#include "files/profile_netcdf.h"

#include <netcdf.h>
#include <netcdf_mem.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <string_view>

#include "files/export_csv.h"
#include "files/export_netcdf.h"

namespace vesk {
namespace {

// Integer variables are missing as -1, reals as NaN.
constexpr double kIntegerFill = -1;
// The direction is text of this many characters ("down", "up" padded with NULs): a variable
// of strings would cost the library megabytes of conversion buffers for a few words.
constexpr std::size_t kDirectionLength = 4;

// A variable along the profile dimension (`perProfile`) or along profile x depth.
struct Variable {
  const char* name;
  nc_type type;
  const char* longName;
  const char* units;  // nullptr: none
  const char* standardName;
  std::function<double(const ProfileValues&)> perProfile;
  std::function<double(const DepthBinValues&)> perBin;
};

double Count(std::uint64_t n) {
  return static_cast<double>(n);
}

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

// The bytes of the narrowest of short, int and int64 that holds `largest`.
std::size_t CountWidth(std::uint64_t largest) {
  if (largest <= static_cast<std::uint64_t>(std::numeric_limits<std::int16_t>::max())) return 2;
  if (largest <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) return 4;
  return 8;
}

nc_type CountType(std::size_t width) {
  return width == 2 ? NC_SHORT : width == 4 ? NC_INT : NC_INT64;
}

template <typename T>
void StoreAs(const std::uint64_t* from, std::size_t n, unsigned char* to) {
  for (std::size_t i = 0; i < n; ++i) {
    const T v = static_cast<T>(from[i]);
    std::memcpy(to + i * sizeof(T), &v, sizeof(T));
  }
}

// `n` counts as signed integers of `width` bytes.
void StoreCounts(const std::uint64_t* from, std::size_t n, std::size_t width, unsigned char* to) {
  if (width == 2) {
    StoreAs<std::int16_t>(from, n, to);
  } else if (width == 4) {
    StoreAs<std::int32_t>(from, n, to);
  } else {
    StoreAs<std::int64_t>(from, n, to);
  }
}

void PackCounts(const SizeCounts& counts, std::vector<std::uint8_t>& to) {
  int n = kExportBinCount;
  while (n > 0 && counts[n - 1] == 0) --n;
  to.push_back(static_cast<std::uint8_t>(n));
  for (int k = 0; k < n; ++k) {
    std::uint64_t v = counts[k];
    for (; v >= 0x80; v >>= 7) to.push_back(static_cast<std::uint8_t>(v | 0x80));
    to.push_back(static_cast<std::uint8_t>(v));
  }
}

// One depth bin's counts from `from`; where the next begins.
const std::uint8_t* UnpackCounts(const std::uint8_t* from, SizeCounts& counts) {
  const int n = *from++;
  for (int k = 0; k < n; ++k) {
    std::uint64_t v = 0;
    for (int shift = 0;; shift += 7) {
      const std::uint8_t b = *from++;
      v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
      if (b < 0x80) break;
    }
    counts[k] = v;
  }
  std::fill(counts.begin() + n, counts.end(), 0);
  return from;
}

}  // namespace

ProfileNetcdfWriter::ProfileNetcdfWriter(const std::string& datPath)
    : file_(ExportPath(datPath, "_profiles.nc")) {}

ProfileNetcdfWriter::~ProfileNetcdfWriter() {
  Close();
}

bool ProfileNetcdfWriter::Check(int status, const char* what) {
  if (status == NC_NOERR) return true;
  if (!failed_) {
    failed_ = true;
    error_ = file_.Path() + ": " + what + ": " + nc_strerror(status);
  }
  return false;
}

void ProfileNetcdfWriter::Close() {
  if (ncid_ < 0) return;
  std::lock_guard lock(NetcdfLibraryLock());
  nc_abort(ncid_);
  ncid_ = -1;
}

bool ProfileNetcdfWriter::Begin(const ExportContext& context, const ProfileSettings& settings) {
  failed_ = false;
  error_.clear();
  profiles_.clear();
  countWidth_ = 2;
  context_ = context;
  settings_ = settings;
  // Created first, so that a place that cannot take the file fails before any work.
  if (!file_.Create({}, false)) {
    error_ = file_.Error();
    return false;
  }
  return true;
}

void ProfileNetcdfWriter::Write(const std::shared_ptr<const ProfileRecord>& profile) {
  const ProfileRecord& p = *profile;
  Kept& k = profiles_.emplace_back();
  k.profile = p;
  k.bins.assign(p.bins.begin(), p.bins.end());
  std::uint64_t largest = 0;
  for (const DepthBinRecord& b : p.bins) {
    for (std::uint64_t c : b.counts) largest = std::max(largest, c);
    PackCounts(b.counts, k.counts);
  }
  k.counts.shrink_to_fit();
  countWidth_ = std::max(countWidth_, CountWidth(largest));
}

bool ProfileNetcdfWriter::Define(const std::vector<double>& depthIndex) {
  const std::size_t np = profiles_.size();
  const std::size_t nd = depthIndex.size();
  auto text = [&](int var, const char* name, const std::string& value) {
    return Check(nc_put_att_text(ncid_, var, name, value.size(), value.c_str()), name);
  };
  auto real = [&](int var, const char* name, double value) {
    return Check(nc_put_att_double(ncid_, var, name, NC_DOUBLE, 1, &value), name);
  };
  // A variable with its fill value (coordinates have none). Every value is written, the
  // missing ones as the fill, so the library need not fill the variable first.
  auto define = [&](const char* name, nc_type type, int rank, const int* dims, int* id,
                    bool coordinate = false) {
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
  };
  int profileDim = -1, depthDim = -1, binDim = -1, nvDim = -1, directionDim = -1;
  bool ok = Check(nc_set_fill(ncid_, NC_NOFILL, nullptr), "fill mode") &&
            Check(nc_def_dim(ncid_, "profile", np, &profileDim), "profile dimension") &&
            Check(nc_def_dim(ncid_, "depth", nd, &depthDim), "depth dimension") &&
            Check(nc_def_dim(ncid_, "bin", kExportBinCount, &binDim), "bin dimension") &&
            Check(nc_def_dim(ncid_, "nv", 2, &nvDim), "nv dimension") &&
            Check(nc_def_dim(ncid_, "direction_strlen", kDirectionLength, &directionDim),
                  "direction length dimension");
  if (!ok) return false;

  std::string profileVariables = "profile,direction";
  for (const Variable& v : ProfileVariables()) profileVariables += std::string(",") + v.name;
  ok = text(NC_GLOBAL, "Conventions", "CF-1.11, ACDD-1.3") &&
       text(NC_GLOBAL, "featureType", "profile") && text(NC_GLOBAL, "cdm_data_type", "Profile") &&
       text(NC_GLOBAL, "cdm_profile_variables", profileVariables);
  for (const auto& [name, value] : context_.metadata) {
    const bool ownSummary = name == "summary" && value == DefaultExportSummary(context_.source);
    ok = ok && text(NC_GLOBAL, name.c_str(), ownSummary ? kSummary + context_.source + "." : value);
  }
  ok = ok && text(NC_GLOBAL, "comment", kComment) &&
       text(NC_GLOBAL, "source",
            "VESK " + context_.processingVersion + " cast products of " + context_.source) &&
       text(NC_GLOBAL, "processing_software_version", context_.processingVersion) &&
       text(NC_GLOBAL, "processing_tunnel", context_.standardTunnel ? "Standard" : "2.5x") &&
       real(NC_GLOBAL, "tunnel_cross_section_m2", TunnelCrossSection(context_.standardTunnel)) &&
       real(NC_GLOBAL, "profiles_depth_bin_m", settings_.depthBin) &&
       real(NC_GLOBAL, "profiles_turn_hysteresis_m", settings_.turnHysteresis) &&
       real(NC_GLOBAL, "profiles_min_extent_m", settings_.minExtent) &&
       real(NC_GLOBAL, "profiles_loop_edit", settings_.loopEdit ? 1 : 0) &&
       real(NC_GLOBAL, "profiles_frame_interval_s", settings_.frameInterval) &&
       real(NC_GLOBAL, "profiles_spectrum_min_um", settings_.spectrumMinUm) &&
       real(NC_GLOBAL, "profiles_spectrum_max_um", settings_.spectrumMaxUm);
  if (!ok) return false;

  // Coverage of the profiles.
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
    ok = text(NC_GLOBAL, "time_coverage_start", FormatIsoUtc(t0)) &&
         text(NC_GLOBAL, "time_coverage_end", FormatIsoUtc(t1));
  }
  if (ok && !IsMissing(lat0)) {
    ok = real(NC_GLOBAL, "geospatial_lat_min", lat0) &&
         real(NC_GLOBAL, "geospatial_lat_max", lat1) &&
         text(NC_GLOBAL, "geospatial_lat_units", "degrees_north") &&
         real(NC_GLOBAL, "geospatial_lon_min", lon0) &&
         real(NC_GLOBAL, "geospatial_lon_max", lon1) &&
         text(NC_GLOBAL, "geospatial_lon_units", "degrees_east");
  }
  if (ok && !IsMissing(z0)) {
    ok = real(NC_GLOBAL, "geospatial_vertical_min", z0) &&
         real(NC_GLOBAL, "geospatial_vertical_max", z1) &&
         text(NC_GLOBAL, "geospatial_vertical_units", "m") &&
         text(NC_GLOBAL, "geospatial_vertical_positive", "down");
  }
  if (!ok) return false;

  // Coordinates: the profile, the depth bins, the size bins.
  int id = -1;
  const int directionDims[2] = {profileDim, directionDim};
  ok = define("profile", NC_INT, 1, &profileDim, &id, true) && text(id, "cf_role", "profile_id") &&
       text(id, "long_name", "profile number, from 1 in the order of the recording") &&
       text(id, "coverage_content_type", "referenceInformation") &&
       define("direction", NC_CHAR, 2, directionDims, &id) &&
       text(id, "long_name", "direction of the cast in the profile: down or up") &&
       text(id, "_Encoding", "utf-8") && text(id, "coverage_content_type", "referenceInformation");
  const int depthBounds[2] = {depthDim, nvDim};
  const int binBounds[2] = {binDim, nvDim};
  ok = ok && define("depth", NC_DOUBLE, 1, &depthDim, &id, true) &&
       text(id, "standard_name", "depth") && text(id, "long_name", "centre of the depth bin") &&
       text(id, "units", "m") && text(id, "positive", "down") && text(id, "axis", "Z") &&
       text(id, "bounds", "depth_bounds") && text(id, "coverage_content_type", "coordinate") &&
       define("depth_bounds", NC_DOUBLE, 2, depthBounds, &id, true) &&
       define("bin", NC_DOUBLE, 1, &binDim, &id, true) &&
       text(id, "long_name", "equivalent spherical diameter of the size bin (lower edge)") &&
       text(id, "units", "um") && text(id, "bounds", "bin_bounds") &&
       text(id, "coverage_content_type", "coordinate") &&
       define("bin_bounds", NC_DOUBLE, 2, binBounds, &id, true) &&
       define("biovolume", NC_DOUBLE, 1, &binDim, &id, true) &&
       text(id, "long_name", "biovolume of a sphere of the size bin's centre diameter") &&
       text(id, "units", "mm3") && text(id, "coverage_content_type", "auxiliaryInformation") &&
       define("biovolume_width", NC_DOUBLE, 1, &binDim, &id, true) &&
       text(id, "long_name", "width of the size bin in biovolume (between its edges)") &&
       text(id, "units", "mm3") && text(id, "coverage_content_type", "auxiliaryInformation");
  if (!ok) return false;

  auto describe = [&](const Variable& v, int var) {
    bool good = text(var, "long_name", v.longName) &&
                (v.units == nullptr || text(var, "units", v.units)) &&
                (v.standardName == nullptr || text(var, "standard_name", v.standardName));
    const bool place = v.standardName != nullptr;
    good = good && text(var, "coverage_content_type", place ? "coordinate" : "physicalMeasurement");
    if (good && !place) good = text(var, "coordinates", kCoordinates);
    return good;
  };
  for (const Variable& v : ProfileVariables()) {
    ok = ok && define(v.name, v.type, 1, &profileDim, &id) && describe(v, id);
    if (ok && std::string_view(v.name) == "time") {
      ok = text(id, "calendar", "standard") && text(id, "axis", "T");
    }
  }
  const int perBin[2] = {profileDim, depthDim};
  for (const Variable& v : DepthBinVariables()) {
    ok = ok && define(v.name, v.type, 2, perBin, &id) && describe(v, id);
  }
  const int profileSpectrum[2] = {profileDim, binDim};
  const int binSpectrum[3] = {profileDim, depthDim, binDim};
  ok = ok && define("profile_counts", NC_INT64, 2, profileSpectrum, &id) &&
       text(id, "long_name", "particles counted per size bin in the profile's used frames") &&
       text(id, "units", "1") && text(id, "coordinates", kCoordinates) &&
       text(id, "coverage_content_type", "physicalMeasurement") &&
       define("profile_nbss", NC_DOUBLE, 2, profileSpectrum, &id) &&
       text(id, "long_name", "normalized biovolume size spectrum of the profile") &&
       text(id, "units", "m-3") && text(id, "coordinates", kCoordinates) &&
       text(id, "coverage_content_type", "physicalMeasurement") &&
       define("counts", CountType(countWidth_), 3, binSpectrum, &id) &&
       text(id, "long_name", "particles counted per size bin in the depth bin") &&
       text(id, "units", "1") && text(id, "coordinates", kCoordinates) &&
       text(id, "coverage_content_type", "physicalMeasurement") &&
       text(id, "comment",
            "the NBSS of a depth bin is counts x biovolume / volume / biovolume_width");
  return ok && Check(nc_enddef(ncid_), "defining");
}

bool ProfileNetcdfWriter::Put(const std::vector<double>& depthIndex) {
  const std::size_t np = profiles_.size();
  const std::size_t nd = depthIndex.size();
  auto put = [&](const char* name, const double* values) {
    int id = -1;
    return Check(nc_inq_varid(ncid_, name, &id), name) &&
           Check(nc_put_var_double(ncid_, id, values), name);
  };
  std::vector<double> column(std::max(np, nd) * 2);
  // The coordinates.
  std::vector<int> numbers(np);
  std::vector<char> directions(np * kDirectionLength, '\0');
  for (std::size_t i = 0; i < np; ++i) {
    numbers[i] = profiles_[i].profile.number;
    const std::string_view name = DirectionName(profiles_[i].profile.direction);
    name.copy(&directions[i * kDirectionLength], kDirectionLength);
  }
  int id = -1;
  bool ok = np == 0 || (Check(nc_inq_varid(ncid_, "profile", &id), "profile") &&
                        Check(nc_put_var_int(ncid_, id, numbers.data()), "profile") &&
                        Check(nc_inq_varid(ncid_, "direction", &id), "direction") &&
                        Check(nc_put_var_text(ncid_, id, directions.data()), "direction"));
  if (nd > 0) {
    for (std::size_t j = 0; j < nd; ++j) {
      column[j] = (depthIndex[j] + 0.5) * settings_.depthBin;
    }
    ok = ok && put("depth", column.data());
    for (std::size_t j = 0; j < nd; ++j) {
      column[2 * j] = depthIndex[j] * settings_.depthBin;
      column[2 * j + 1] = (depthIndex[j] + 1) * settings_.depthBin;
    }
    ok = ok && put("depth_bounds", column.data());
  }
  double edges[kExportBinCount][2], lower[kExportBinCount], volume[kExportBinCount],
      width[kExportBinCount];
  for (int k = 0; k < kExportBinCount; ++k) {
    lower[k] = edges[k][0] = k * kBinEsdMicrometres;
    edges[k][1] = (k + 1) * kBinEsdMicrometres;
    volume[k] = SizeBinBiovolume(k);
    width[k] = SizeBinBiovolumeWidth(k);
  }
  ok = ok && put("bin", lower) && put("bin_bounds", &edges[0][0]) && put("biovolume", volume) &&
       put("biovolume_width", width);
  if (!ok || np == 0) return ok;

  for (const Variable& v : ProfileVariables()) {
    for (std::size_t i = 0; i < np; ++i) column[i] = v.perProfile(profiles_[i].profile);
    ok = ok && put(v.name, column.data());
  }
  std::vector<double> spectrum(np * kExportBinCount);
  for (std::size_t i = 0; i < np; ++i) {
    for (int k = 0; k < kExportBinCount; ++k) {
      spectrum[i * kExportBinCount + k] = Count(profiles_[i].profile.counts[k]);
    }
  }
  ok = ok && put("profile_counts", spectrum.data());
  for (std::size_t i = 0; i < np; ++i) {
    const ProfileValues& p = profiles_[i].profile;
    for (int k = 0; k < kExportBinCount; ++k) {
      spectrum[i * kExportBinCount + k] = Nbss(p.counts[k], p.volume, k);
    }
  }
  ok = ok && put("profile_nbss", spectrum.data());
  if (!ok || nd == 0) return ok;

  // The depth bins, variable by variable: each profile's row holds its bins at their depths,
  // the rest missing.
  std::vector<std::uint32_t> at;  // the depth of every kept depth bin on the axis
  for (const Kept& k : profiles_) {
    for (const DepthBinValues& b : k.bins) {
      at.push_back(static_cast<std::uint32_t>(
          std::lower_bound(depthIndex.begin(), depthIndex.end(), b.index) - depthIndex.begin()));
    }
  }
  std::vector<double> grid(np * nd);
  for (const Variable& v : DepthBinVariables()) {
    std::fill(grid.begin(), grid.end(), v.type == NC_DOUBLE ? kMissing : kIntegerFill);
    std::size_t next = 0;
    for (std::size_t i = 0; i < np; ++i) {
      for (const DepthBinValues& b : profiles_[i].bins) grid[i * nd + at[next++]] = v.perBin(b);
    }
    ok = ok && put(v.name, grid.data());
  }
  // The size bins of a profile's depth bins at a time, as stored (-1 is every bit set).
  const std::size_t row = kExportBinCount * countWidth_;
  std::vector<unsigned char> counts(nd * row);
  int countsId = -1;
  ok = ok && Check(nc_inq_varid(ncid_, "counts", &countsId), "counts");
  std::size_t next = 0;
  SizeCounts bin{};
  for (std::size_t i = 0; i < np && ok; ++i) {
    std::fill(counts.begin(), counts.end(), 0xFF);
    const Kept& k = profiles_[i];
    const std::uint8_t* packed = k.counts.data();
    for (std::size_t b = 0; b < k.bins.size(); ++b) {
      packed = UnpackCounts(packed, bin);
      StoreCounts(bin.data(), kExportBinCount, countWidth_, &counts[at[next++] * row]);
    }
    const std::size_t start[3] = {i, 0, 0};
    const std::size_t count[3] = {1, nd, kExportBinCount};
    ok = Check(nc_put_vara(ncid_, countsId, start, count, counts.data()), "counts");
  }
  return ok;
}

bool ProfileNetcdfWriter::WriteFile() {
  // Every depth bin some profile uses, ascending.
  std::vector<double> depthIndex;
  for (const Kept& k : profiles_) {
    for (const DepthBinValues& b : k.bins) depthIndex.push_back(b.index);
  }
  std::sort(depthIndex.begin(), depthIndex.end());
  depthIndex.erase(std::unique(depthIndex.begin(), depthIndex.end()), depthIndex.end());

  NC_memio memio{};
  {
    std::lock_guard lock(NetcdfLibraryLock());
    ncid_ = -1;
    bool ok = Check(nc_create_mem(file_.Path().c_str(), NC_NETCDF4, 1 << 20, &ncid_), "creating") &&
              Define(depthIndex) && Put(depthIndex);
    if (!ok) {
      if (ncid_ >= 0) nc_abort(ncid_);
      ncid_ = -1;
      return false;
    }
    const int status = nc_close_memio(ncid_, &memio);
    ncid_ = -1;
    if (!Check(status, "closing")) {
      std::free(memio.memory);
      return false;
    }
  }
  file_.Write(std::string_view(static_cast<const char*>(memio.memory), memio.size));
  std::free(memio.memory);
  return true;
}

bool ProfileNetcdfWriter::Finish() {
  if (!failed_ && WriteFile() && file_.Commit()) return true;
  if (!failed_) {
    failed_ = true;
    error_ = file_.Error();
  }
  Discard();
  return false;
}

void ProfileNetcdfWriter::Discard() {
  Close();
  file_.Discard();
}

}  // namespace vesk
