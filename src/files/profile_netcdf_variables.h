#pragma once
// The variables of the cast products' NetCDF, shared by the part that defines the file
// (profile_netcdf_define.cpp) and the part that fills it (profile_netcdf.cpp).

#include <netcdf.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "files/profile_record.h"

namespace vesk::profile_netcdf {

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

inline double Count(std::uint64_t n) {
  return static_cast<double>(n);
}

// The variables along the profile dimension, then those along profile x depth, in the file's
// order.
const std::vector<Variable>& ProfileVariables();
const std::vector<Variable>& DepthBinVariables();

// The type of the per depth bin counts stored `width` bytes wide.
nc_type CountType(std::size_t width);

}  // namespace vesk::profile_netcdf
