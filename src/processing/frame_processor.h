#pragma once
// The per-frame work of a scan: decodes L, M, C and $ frames into the document's counts,
// rates, CTD record and time chart samples, writes the .dat records and tells the windows.
// The processing thread and the batch player both run frames through this one class, so a
// batch run and a playback write the same records.

#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>

#include "acquisition/vesk_doc.h"
#include "files/export_sink.h"
#include "processing/mep_assembly.h"
#include "processing/record_sink.h"

namespace vesk {

// Flow speed (m/s) through the tunnel from the flow sensor words H3 and H4; 0 when H3 is 0
// or the ratio H4/H3 lies outside 4..210.
double FlowSpeed(std::uint32_t h3, std::uint32_t h4);

class FrameProcessor {
 public:
  explicit FrameProcessor(CVESKDoc& doc);

  // One deframed frame, type byte first.
  void Process(std::span<const std::uint8_t> frame);
  // The analysis export (CSV, NetCDF): every accepted L frame, M frame and $ sentence also go
  // to `sink` while it is set. It is called on the processing thread with no lock held.
  void SetExportSink(ExportSink* sink) { exportSink_ = sink; }
  // Those who take the records live (the network publisher): every L, C and M record too.
  void SetRecordSink(RecordSink* sink) { recordSink_ = sink; }
  // Batch runs: the records are collected and handed to the .dat file in blocks of about a
  // megabyte rather than one write per record group; FlushRecords() hands over the rest. A
  // block that cannot be written is told to the user like a record.
  void SetBatchOutput(bool batch);
  void FlushRecords();

 private:
  void ProcessL(std::span<const std::uint8_t> frame);
  void ProcessM(std::span<const std::uint8_t> frame);
  void ProcessC(std::span<const std::uint8_t> frame);
  void ProcessDollar(std::span<const std::uint8_t> frame);
  void UpdateCounterValue(std::uint32_t n, std::uint32_t t);
  void UpdateTimeChart(std::uint32_t lCount);
  void WriteNmea(const std::string& sentence);
  // Appends a record group to the .dat file; false when it was not written (the document
  // tells the user and decides what the scan does).
  bool WriteRecord(std::string_view text);
  // A record group formatted in place: into the text BeginRecord() gives (the batch block
  // itself in batch runs), then handed over by EndRecord(), which answers like WriteRecord.
  std::string& BeginRecord();
  bool EndRecord();
  bool WriteToDat(std::string_view text);
  double CrossSection() const { return doc_.standardTunnel ? 0.0049 : 0.01225; }
  bool WantsRows() const { return exportSink_ != nullptr || recordSink_ != nullptr; }

  // The flow sensor words change seldom; the flow formula is only worked out for new ones.
  struct FlowSpeedOfLastWords {
    double Of(std::uint32_t h3, std::uint32_t h4) {
      if (!known || h3 != lastH3 || h4 != lastH4) {
        speed = FlowSpeed(h3, h4);
        lastH3 = h3;
        lastH4 = h4;
        known = true;
      }
      return speed;
    }
    bool known = false;
    std::uint32_t lastH3 = 0, lastH4 = 0;
    double speed = 0;
  };

  CVESKDoc& doc_;
  MepAssembly mep_;
  FlowSpeedOfLastWords flowSpeed_;
  // The depth formula's latitude term, kept for the latitude it was computed for.
  double gravityLatitude_ = std::numeric_limits<double>::quiet_NaN();
  double surfaceGravity_ = 0;
  int counterFaultRun_ = 0;
  TimeChartSample previousHalf_{};
  std::string record_;  // reused for every record group
  bool batchOutput_ = false;
  std::string batch_;  // records not yet handed to the .dat file (batch runs)
  ExportSink* exportSink_ = nullptr;
  RecordSink* recordSink_ = nullptr;
  ExportRow exportRow_;
};

// The processing thread: takes frames from the queue (40 ms poll when it is empty) until its
// stop event, with the .dat file open for its lifetime.
void ProcessingThread(CVESKDoc& doc);

}  // namespace vesk
