#include "files/profile_files.h"

#include <atomic>

#include "files/profile_csv.h"

namespace vesk {
namespace {

std::atomic<ProfileFileMaker> netcdfMaker{nullptr};

}  // namespace

void InstallProfileNetcdf(ProfileFileMaker maker) {
  netcdfMaker = maker;
}

std::vector<std::unique_ptr<ProfileWriter>> ProfileFiles(const std::string& datPath) {
  std::vector<std::unique_ptr<ProfileWriter>> files;
  files.push_back(std::make_unique<ProfileCsvWriter>(datPath));
  if (const ProfileFileMaker maker = netcdfMaker.load()) files.push_back(maker(datPath));
  return files;
}

}  // namespace vesk
