#pragma once
// The per-frame work of a scan: decodes L, M, C and $ frames into counts, rates, the CTD
// record and time chart samples, publishes them to the scan's result tables, writes the .dat
// records and says what changed. The processing thread and the batch player both run frames
// through this one class, so a batch run and a playback write the same records.

#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "files/export_sink.h"
#include "instruments/ctd_decoder.h"
#include "instruments/nmea_log_gate.h"
#include "processing/mep_assembly.h"
#include "processing/record_sink.h"
#include "processing/scan_results.h"
#include "processing/scan_settings.h"

namespace vesk {

// Flow speed (m/s) through the tunnel from the flow sensor words H3 and H4; 0 when H3 is 0
// or the ratio H4/H3 lies outside 4..210.
double FlowSpeed(std::uint32_t h3, std::uint32_t h4);

// The queue's stand-in for a frame the deframer gave up: this byte, then the frame's type.
inline constexpr std::uint8_t kAbortedFrameMark = 0;

// Where the .dat records go; false when a record was not written (the writer tells the user
// and decides what the scan does).
class RecordWriter {
 public:
  virtual ~RecordWriter() = default;
  virtual bool Write(std::string_view records) = 0;
};

// What the processing tells as it goes (processing thread; never waits).
class ProcessingListener {
 public:
  virtual ~ProcessingListener() = default;
  // Counts, rates or texts of the result tables changed (every L frame, a rejected one too).
  virtual void ResultsChanged() {}
  // A time chart sample was added.
  virtual void TimeChartSampleAdded() {}
  // Lines were added to the navigation viewer's log.
  virtual void ViewerLinesAdded() {}
  // A CTD line arrived (for the auxiliary port's CTD output).
  virtual void CtdLine(std::string_view /*line*/) {}
};

class FrameProcessor {
 public:
  // What a processor works with; every part outlives it.
  struct Parts {
    const ScanSettingsChannel& settings;  // taken anew at a frame after each change
    ScanResults& results;
    CtdDecoder& ctd;  // this processor's alone while it runs
    RecordWriter& writer;
    ProcessingListener& listener;
    NmeaLogGate& nmeaGate;
  };
  explicit FrameProcessor(const Parts& parts);

  // One deframed frame, type byte first; or a frame the deframer gave up, as a two-byte
  // AbortedFrameMark (so that it is counted in its place among the frames).
  void Process(std::span<const std::uint8_t> frame);
  // A frame the deframer gave up (for callers that feed the processor directly).
  void CountAbortedFrame(std::uint8_t type);
  // The analysis export (CSV, NetCDF): every accepted L frame, M frame and $ sentence also go
  // to `sink` while it is set. It is called on the processing thread with no lock held.
  void SetExportSink(ExportSink* sink) { exportSink_ = sink; }
  // Those who take the records live (the network publisher): every L, C and M record too.
  void SetRecordSink(RecordSink* sink) { recordSink_ = sink; }
  // Batch runs: the records are collected and handed to the writer in blocks of about a
  // megabyte rather than one write per record group; FlushRecords() hands over the rest.
  void SetBatchOutput(bool batch);
  void FlushRecords();
  // The settings in force for the frame being processed.
  const ScanSettings& Settings() const { return *settings_; }

 private:
  void TakeNewSettings();
  void ProcessL(std::span<const std::uint8_t> frame);
  void ProcessM(std::span<const std::uint8_t> frame);
  void ProcessC(std::span<const std::uint8_t> frame);
  void ProcessDollar(std::span<const std::uint8_t> frame);
  void UpdateCounterValue(std::uint32_t n, std::uint32_t t);
  void UpdateTimeChart(std::uint32_t lCount);
  void FillRow(std::uint32_t lFrameIndex);
  void WriteNmea(const std::string& sentence);
  // Appends a record group to the .dat; false when it was not written.
  bool WriteRecord(std::string_view text);
  // A record group formatted in place: into the text BeginRecord() gives (the batch block
  // itself in batch runs), then handed over by EndRecord(), which answers like WriteRecord.
  std::string& BeginRecord();
  bool EndRecord();
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

  const ScanSettingsChannel& channel_;
  std::uint64_t settingsVersion_ = 0;
  std::shared_ptr<const ScanSettings> settings_;
  ScanResults& results_;
  CtdDecoder& ctd_;
  RecordWriter& writer_;
  ProcessingListener& listener_;
  NmeaLogGate& nmeaGate_;
  MepAssembly mep_;
  FlowSpeedOfLastWords flowSpeed_;
  // The depth formula's latitude term, kept for the latitude it was computed for.
  double gravityLatitude_ = std::numeric_limits<double>::quiet_NaN();
  double surfaceGravity_ = 0;
  int counterFaultRun_ = 0;
  // The latest L frame's values (the processing's own; the result tables get copies).
  BinCounts bins_{};
  double frameTotal_ = 0;
  std::int32_t frameWindowCount_ = 0;
  HousekeepingTable housekeeping_;
  std::uint32_t lFrames_ = 0;  // L frames so far, rejected ones included
  TimeChartSample previousHalf_{};
  std::vector<std::uint32_t> events_;  // E, S, D, Z per event of the latest M frame
  std::string record_;                 // reused for every record group
  bool batchOutput_ = false;
  std::string batch_;  // records not yet handed to the writer (batch runs)
  ExportSink* exportSink_ = nullptr;
  RecordSink* recordSink_ = nullptr;
  ExportRow exportRow_;
};

}  // namespace vesk
