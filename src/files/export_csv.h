#pragma once
// The analysis export as CSV: a header row with the units in the column names, then one row
// per accepted L frame; beside it "<name>_mep.csv" with one row per element event of the M
// frames, and "<name>_marks.csv" with the recording's event marks (as its .mrk has them). Missing
// values are empty fields; numbers are written in the C locale with the fewest digits that read
// back to the same value (to the same 32-bit float for the readings an instrument sent as such).

#include <memory>
#include <string>

#include "files/export_stage.h"

namespace vesk {

class CsvExporter final : public ExportWriter {
 public:
  // `buffered`: rows are collected and written in large blocks (batch runs); otherwise each
  // row is written at once (a live scan).
  explicit CsvExporter(std::string path, bool buffered = true);

  bool Begin(const ExportContext& context) override;
  void Write(const ExportRow& row) override;
  void WriteEvent(const MepEvent& event) override;
  void WriteMarks(const std::vector<Mark>& marks) override;
  bool Finish() override;
  void Discard() override;
  std::string Error() const override { return error_; }

  // The header row for a CTD model (the Micro CTD gives conductivity in mS/cm), with "\r\n".
  static std::string HeaderRow(int ctdModel);
  // The names of the 128 bin count columns, each after a comma ("bin000_0um_counts", ...).
  static std::string BinCountColumns();
  static const char* EventHeaderRow();

 private:
  ExportFile rows_;
  ExportFile events_;
  ExportFile marks_;
  std::string error_;
  bool buffered_ = true;
};

// The CSV of a scan, beside its .dat, when the option "ExportCsv" of section "Options" is on:
// begun and ready for FrameProcessor::SetExportSink; Finish() it when the scan ends. Null
// when the option is off, or when the file cannot be created (*error then says why).
std::unique_ptr<ExportStage> StartScanCsvExport(const SettingsStore& store,
                                                const std::string& datPath,
                                                const ExportRunInputs& run, std::string* error);

// "2026-12-06T12:35:19Z" of seconds since 1970, milliseconds added when the time has a
// fraction; empty when missing.
std::string FormatIsoUtc(double epochSeconds);
// "12:35:19" (or "12:35:19.500") of seconds since midnight; empty when missing.
std::string FormatTimeOfDay(double seconds);

}  // namespace vesk
