#pragma once
// The analysis export as a NetCDF-4 file following the CF (1.11) and ACDD (1.3) conventions: a
// single trajectory along an unlimited obs dimension (one per accepted L frame), a bin
// dimension whose coordinate is the bin's equivalent spherical diameter (with its bounds),
// a group "mep" of the M frames' element events and a group "marks" of the operator's
// event marks. Missing values are NaN, declared as
// _FillValue; every variable is compressed (deflate 4 with shuffle).
//
// The file is built in memory and written out in one piece when the run completes, so a
// disk that fills up fails the write, never the netCDF library's own file handling.

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "files/export_stage.h"

namespace vesk {

// The netCDF library is not thread-safe, and vesk-process writes several files at once: every
// call into it holds this lock.
std::mutex& NetcdfLibraryLock();

class NetcdfExporter final : public ExportWriter {
 public:
  explicit NetcdfExporter(std::string path, std::size_t blockRows = 4096);
  ~NetcdfExporter() override;

  bool Begin(const ExportContext& context) override;
  void Write(const ExportRow& row) override;
  void WriteEvent(const MepEvent& event) override;
  void WriteMarks(const std::vector<Mark>& marks) override;
  bool Finish() override;
  void Discard() override;
  std::string Error() const override { return error_; }

  // The real-valued per-row variables, in file order (exposed for the tests).
  static constexpr int kRealVariables = 15;
  static const std::array<const char*, kRealVariables>& RealVariableNames();
  static constexpr int kEventVariables = 7;
  static constexpr int kMarkVariableCount = 6;

 private:
  // The range of a coordinate over the rows, for the coverage attributes.
  struct Range {
    double min = kMissing;
    double max = kMissing;
    void Add(double v);
  };

  bool Define(const ExportContext& context);
  bool DefineEvents();
  bool DefineMarks();
  bool WriteMarksBlock();
  bool WriteBlock();
  bool WriteEventBlock();
  bool WriteCoverage();
  bool Check(int status, const char* what);
  // Ends the library's hold on the file, whatever state it is in; with `image`, hands the
  // file's bytes over (the caller frees them).
  bool CloseLibrary(void** image, std::size_t* size);

  ExportFile file_;
  std::size_t blockRows_;
  int ncid_ = -1;
  int mepId_ = -1;
  int marksId_ = -1;
  std::array<int, kMarkVariableCount> markIds_{};
  std::vector<Mark> marks_;
  std::array<int, kRealVariables> realIds_{};
  int indexId_ = -1;
  int windowId_ = -1;
  int laserId_ = -1;
  int binsId_ = -1;
  std::array<int, kEventVariables> eventIds_{};
  std::array<int, 3> countIds_{};  // the variables whose cell_methods name the frame interval

  std::array<std::vector<double>, kRealVariables> real_;
  std::vector<std::uint32_t> index_;
  std::vector<std::int32_t> window_;
  std::vector<std::uint32_t> laser_;
  std::vector<std::uint16_t> bins_;
  std::size_t rows_ = 0;     // rows in the block
  std::size_t written_ = 0;  // rows in the file
  std::array<std::vector<std::int32_t>, kEventVariables> events_;
  std::size_t eventsWritten_ = 0;

  Range time_, latitude_, longitude_, depth_;
  // The L frame interval, measured by the GPS clock: the first and latest fresh fix.
  double firstFixTime_ = kMissing, lastFixTime_ = kMissing;
  std::uint32_t firstFixFrame_ = 0, lastFixFrame_ = 0;
  double dayOffset_ = 0, previousTimeOfDay_ = kMissing;

  std::string trajectoryName_;
  std::string error_;
  bool failed_ = false;
};

}  // namespace vesk
