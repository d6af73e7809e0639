#pragma once
// The analysis export as a NetCDF-4 file following the CF conventions: an unlimited obs
// dimension (one per accepted L frame) and a bin dimension whose coordinate is the bin's
// equivalent spherical diameter. Missing values are NaN, declared as _FillValue. Rows are
// collected in blocks and written a block at a time.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "files/export_stage.h"

namespace vesk {

class NetcdfExporter final : public ExportWriter {
 public:
  explicit NetcdfExporter(std::string path, std::size_t blockRows = 4096);
  ~NetcdfExporter() override;

  bool Begin(const ExportContext& context) override;
  void Write(const ExportRow& row) override;
  bool Finish() override;
  void Discard() override;
  std::string Error() const override { return error_; }

  // The real-valued per-row variables, in file order (exposed for the tests).
  static constexpr int kRealVariables = 14;
  static const std::array<const char*, kRealVariables>& RealVariableNames();

 private:
  bool Define(const ExportContext& context);
  bool WriteBlock();
  bool Check(int status, const char* what);
  void CloseFile();

  std::string path_;
  std::string partial_;
  std::size_t blockRows_;
  int ncid_ = -1;
  std::array<int, kRealVariables> realIds_{};
  int indexId_ = -1;
  int windowId_ = -1;
  int laserId_ = -1;
  int binsId_ = -1;
  std::array<std::vector<double>, kRealVariables> real_;
  std::vector<std::uint32_t> index_;
  std::vector<std::int32_t> window_;
  std::vector<std::uint32_t> laser_;
  std::vector<std::uint16_t> bins_;
  std::size_t rows_ = 0;     // rows in the block
  std::size_t written_ = 0;  // rows in the file
  std::string error_;
  bool failed_ = false;
  bool finished_ = false;
};

}  // namespace vesk
