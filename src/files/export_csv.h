#pragma once
// The analysis export as CSV: a header row with the units in the column names, then one row
// per accepted L frame. Missing values are empty fields; numbers are written in the C locale
// with the fewest digits that read back to the same value.

#include <memory>
#include <string>

#include "files/data_file.h"
#include "files/export_stage.h"

namespace vesk {

class CsvExporter final : public ExportWriter {
 public:
  // `buffered`: rows are collected and written in large blocks (batch runs); otherwise each
  // row is written at once (a live scan).
  explicit CsvExporter(std::string path, bool buffered = true)
      : path_(std::move(path)), buffered_(buffered) {}
  ~CsvExporter() override;

  bool Begin(const ExportContext& context) override;
  void Write(const ExportRow& row) override;
  bool Finish() override;
  void Discard() override;
  std::string Error() const override { return error_; }

  // The header row for a CTD model (the Micro CTD gives conductivity in mS/cm), with "\r\n".
  static std::string HeaderRow(int ctdModel);

 private:
  std::string path_;
  std::string partial_;
  DataFile file_;
  std::string error_;
  bool buffered_ = true;
  bool failed_ = false;
  bool finished_ = false;
};

// The CSV of a scan, beside its .dat, when the option "ExportCsv" of section "Options" is on:
// begun and ready for FrameProcessor::SetExportSink; Finish() it when the scan ends. Null
// when the option is off, or when the file cannot be created (*error then says why).
std::unique_ptr<ExportStage> StartScanCsvExport(const CVESKDoc& doc, std::string* error);

// "2026-12-06T12:35:19Z" (seconds since 1970), or "12:35:19Z" from a time of day alone;
// milliseconds are added when the time has a fraction. Empty when both are missing.
std::string FormatIsoUtc(double epochSeconds, double timeOfDay);

}  // namespace vesk
