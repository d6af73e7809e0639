#pragma once
// The cast products as CSV: "<stem>_profiles.csv", one row per profile and depth bin (in
// ascending depth) with the 128 summed bin counts named as in the main CSV, and
// "<stem>_spectra.csv", one row per profile and size bin with the profile's NBSS. Numbers in
// the C locale, the shortest text that reads back to the same double; missing values (no
// slope, no volume) are empty fields.

#include <array>
#include <string>
#include <unordered_map>

#include "files/export_stage.h"
#include "files/profile_record.h"

namespace vesk {

class ProfileCsvWriter final : public ProfileWriter {
 public:
  // The two files of a run's .dat: ExportPath(dat, "_profiles.csv") and "_spectra.csv". Each
  // profile's rows are written in one piece when it arrives.
  explicit ProfileCsvWriter(const std::string& datPath);

  bool Begin(const ExportContext& context, const ProfileSettings& settings) override;
  void Write(const std::shared_ptr<const ProfileRecord>& profile) override;
  bool Finish() override;
  void Discard() override;
  std::string Error() const override { return error_; }

  // The header rows, with "\r\n".
  static std::string ProfilesHeader();
  static const char* SpectraHeader();

 private:
  // ",<depth>" of a depth bin's centre as it is written.
  const std::string& DepthText(double depth);

  ExportFile profiles_;
  ExportFile spectra_;
  std::string error_;
  std::string text_;  // the rows of a profile, kept for the next
  // ",<size>" of each size bin and ",<depth>" of the depth bins met, as they are written.
  std::array<std::string, kExportBinCount> sizes_;
  std::unordered_map<double, std::string> depths_;
};

}  // namespace vesk
