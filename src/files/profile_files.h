#pragma once
// The files of the cast products beside a .dat: the CSV pair, and the NetCDF when the program
// links its writer (the NetCDF library stays out of the core: the program installs the maker
// once at start).

#include <memory>
#include <string>
#include <vector>

#include "files/profile_record.h"

namespace vesk {

using ProfileFileMaker = std::unique_ptr<ProfileWriter> (*)(const std::string& datPath);

// Before any scan starts.
void InstallProfileNetcdf(ProfileFileMaker maker);
// "<stem>_profiles.csv" and "<stem>_spectra.csv", then "<stem>_profiles.nc" when installed.
std::vector<std::unique_ptr<ProfileWriter>> ProfileFiles(const std::string& datPath);
// The suffixes of those files, in that order.
inline constexpr const char* kProfileFileSuffixes[] = {"_profiles.csv", "_spectra.csv",
                                                       "_profiles.nc"};

}  // namespace vesk
