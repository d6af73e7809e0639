#include "files/profile_netcdf.h"

#include <netcdf.h>
#include <netcdf_mem.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

#include "files/export_csv.h"
#include "files/export_netcdf.h"
#include "files/profile_netcdf_variables.h"

namespace vesk {
namespace {

using profile_netcdf::Count;
using profile_netcdf::DepthBinVariables;
using profile_netcdf::kDirectionLength;
using profile_netcdf::kIntegerFill;
using profile_netcdf::ProfileVariables;
using profile_netcdf::Variable;

// The bytes of the narrowest of short, int and int64 that holds `largest`.
std::size_t CountWidth(std::uint64_t largest) {
  if (largest <= static_cast<std::uint64_t>(std::numeric_limits<std::int16_t>::max())) return 2;
  if (largest <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) return 4;
  return 8;
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

bool ProfileNetcdfWriter::PutVar(const char* name, const double* values) {
  int id = -1;
  return Check(nc_inq_varid(ncid_, name, &id), name) &&
         Check(nc_put_var_double(ncid_, id, values), name);
}

bool ProfileNetcdfWriter::Put(const std::vector<double>& depthIndex) {
  return PutCoordinates(depthIndex) && PutProfiles() && PutDepthBins(depthIndex);
}

// The profiles' numbers and directions, the depth bins and the size bins.
bool ProfileNetcdfWriter::PutCoordinates(const std::vector<double>& depthIndex) {
  const std::size_t np = profiles_.size();
  const std::size_t nd = depthIndex.size();
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
    std::vector<double> column(nd * 2);
    for (std::size_t j = 0; j < nd; ++j) {
      column[j] = (depthIndex[j] + 0.5) * settings_.depthBin;
    }
    ok = ok && PutVar("depth", column.data());
    for (std::size_t j = 0; j < nd; ++j) {
      column[2 * j] = depthIndex[j] * settings_.depthBin;
      column[2 * j + 1] = (depthIndex[j] + 1) * settings_.depthBin;
    }
    ok = ok && PutVar("depth_bounds", column.data());
  }
  double edges[kExportBinCount][2], lower[kExportBinCount], volume[kExportBinCount],
      width[kExportBinCount];
  for (int k = 0; k < kExportBinCount; ++k) {
    lower[k] = edges[k][0] = k * kBinEsdMicrometres;
    edges[k][1] = (k + 1) * kBinEsdMicrometres;
    volume[k] = SizeBinBiovolume(k);
    width[k] = SizeBinBiovolumeWidth(k);
  }
  return ok && PutVar("bin", lower) && PutVar("bin_bounds", &edges[0][0]) &&
         PutVar("biovolume", volume) && PutVar("biovolume_width", width);
}

// The variables along the profile dimension and each profile's size bins.
bool ProfileNetcdfWriter::PutProfiles() {
  const std::size_t np = profiles_.size();
  if (np == 0) return true;
  bool ok = true;
  std::vector<double> column(np);
  for (const Variable& v : ProfileVariables()) {
    for (std::size_t i = 0; i < np; ++i) column[i] = v.perProfile(profiles_[i].profile);
    ok = ok && PutVar(v.name, column.data());
  }
  std::vector<double> spectrum(np * kExportBinCount);
  for (std::size_t i = 0; i < np; ++i) {
    for (int k = 0; k < kExportBinCount; ++k) {
      spectrum[i * kExportBinCount + k] = Count(profiles_[i].profile.counts[k]);
    }
  }
  ok = ok && PutVar("profile_counts", spectrum.data());
  for (std::size_t i = 0; i < np; ++i) {
    const ProfileValues& p = profiles_[i].profile;
    for (int k = 0; k < kExportBinCount; ++k) {
      spectrum[i * kExportBinCount + k] = Nbss(p.counts[k], p.volume, k);
    }
  }
  return ok && PutVar("profile_nbss", spectrum.data());
}

// The variables along profile x depth and the depth bins' size bins.
bool ProfileNetcdfWriter::PutDepthBins(const std::vector<double>& depthIndex) {
  const std::size_t np = profiles_.size();
  const std::size_t nd = depthIndex.size();
  if (np == 0 || nd == 0) return true;
  bool ok = true;
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
    ok = ok && PutVar(v.name, grid.data());
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
    // CDF-5 (the classic layout with 64-bit integers) costs a fraction of NetCDF-4's HDF5
    // metadata. A file without depth bins (no profile, or none with a frame used) stays
    // NetCDF-4: in the classic formats an empty dimension is the unlimited one, which only
    // one dimension can be and only the first of a variable's.
    const bool classic = !depthIndex.empty();
    const int format = classic ? NC_64BIT_DATA : NC_NETCDF4;
    const std::size_t size = classic ? 0 : 1 << 20;
    bool ok = Check(nc_create_mem(file_.Path().c_str(), format, size, &ncid_), "creating") &&
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
