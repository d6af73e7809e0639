#pragma once
// The cast products as a NetCDF file following CF (1.11) and ACDD (1.3): featureType
// "profile" in the orthogonal multidimensional form, dimensions profile x depth x size bin.
// The depth axis holds every depth bin some profile uses (bin centres, with their bounds);
// where a profile has no such bin its values are missing. The profile variables (number,
// direction, time and place of its first frame, its frames, totals and spectrum slope), the
// per depth bin concentration with its 95 % interval and the summed size bins, each profile's
// size bins and NBSS, and the settings as global attributes. Built in memory and written in one
// piece at the end, as the main NetCDF export is. The file is CDF-5 (the classic layout with
// 64-bit integers); one without any depth bin is NetCDF-4.
//
// The per depth bin counts are short integers when every count fits (int, then int64, when one
// does not), and nothing is compressed: deflate cost more CPU than all of the rest of the cast
// products together, for a file of about a fifth of the .dat's size.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "files/export_stage.h"
#include "files/profile_record.h"

namespace vesk {

class ProfileNetcdfWriter final : public ProfileWriter {
 public:
  // ExportPath(datPath, "_profiles.nc").
  explicit ProfileNetcdfWriter(const std::string& datPath);
  // The same, for InstallProfileNetcdf (files/profile_files.h).
  static std::unique_ptr<ProfileWriter> Make(const std::string& datPath) {
    return std::make_unique<ProfileNetcdfWriter>(datPath);
  }
  ~ProfileNetcdfWriter() override;

  bool Begin(const ExportContext& context, const ProfileSettings& settings) override;
  void Write(const std::shared_ptr<const ProfileRecord>& profile) override;
  bool Finish() override;
  void Discard() override;
  std::string Error() const override { return error_; }

 private:
  // What the file needs of a profile, kept until the depth axis is known: its depth bins
  // without their size bins, whose counts are kept packed (most are small, the large sizes
  // mostly empty): per depth bin the number of size bins up to its last non-zero one, then
  // their counts, each in 7-bit groups, the lowest first, the last group's high bit clear.
  struct Kept {
    ProfileValues profile;
    std::vector<DepthBinValues> bins;
    std::vector<std::uint8_t> counts;
  };

  // The file's dimensions.
  struct Dims {
    int profile = -1, depth = -1, bin = -1, nv = -1, direction = -1;
  };

  bool Check(int status, const char* what);
  bool WriteFile();
  void Close();
  // The layout (profile_netcdf_define.cpp), given the depth bins some profile uses.
  bool Define(const std::vector<double>& depthIndex);
  bool DefineGlobals();
  bool DefineCoverage();
  bool DefineCoordinates(const Dims& dims);
  bool DefineVariables(const Dims& dims);
  bool DefineVar(const char* name, int type, int rank, const int* dims, int* id,
                 bool coordinate = false);
  bool Text(int var, const char* name, const std::string& value);
  bool Real(int var, const char* name, double value);
  // The values.
  bool Put(const std::vector<double>& depthIndex);
  bool PutCoordinates(const std::vector<double>& depthIndex);
  bool PutProfiles();
  bool PutDepthBins(const std::vector<double>& depthIndex);
  bool PutVar(const char* name, const double* values);

  ExportFile file_;
  ExportContext context_;
  ProfileSettings settings_;
  std::vector<Kept> profiles_;
  std::size_t countWidth_ = 2;  // bytes of a count in the file: 2, 4 or 8
  int ncid_ = -1;
  std::string error_;
  bool failed_ = false;
};

}  // namespace vesk
