#pragma once
// The cast products as a NetCDF-4 file following CF (1.11) and ACDD (1.3): featureType
// "profile" in the orthogonal multidimensional form, dimensions profile x depth x size bin.
// The depth axis holds every depth bin some profile uses (bin centres, with their bounds);
// where a profile has no such bin its values are missing. The profile variables (number,
// direction, time and place of its first frame, its frames, totals and spectrum slope), the
// per depth bin concentration with its 95 % interval and the summed size bins, each profile's
// size bins and NBSS, and the settings as global attributes. Built in memory and written in one
// piece at the end, as the main NetCDF export is.

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
  ~ProfileNetcdfWriter() override;

  bool Begin(const ExportContext& context, const ProfileSettings& settings) override;
  void Write(const std::shared_ptr<const ProfileRecord>& profile) override;
  bool Finish() override;
  void Discard() override;
  std::string Error() const override { return error_; }

 private:
  bool Check(int status, const char* what);
  bool WriteFile();
  bool Define(const std::vector<double>& depthIndex);
  bool Put(const std::vector<double>& depthIndex);
  void Close();

  ExportFile file_;
  ExportContext context_;
  ProfileSettings settings_;
  std::vector<std::shared_ptr<const ProfileRecord>> profiles_;
  int ncid_ = -1;
  std::string error_;
  bool failed_ = false;
};

}  // namespace vesk
