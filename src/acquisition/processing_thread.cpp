// The processing thread of a scan: takes the frames the source queued, runs them through the
// frame processor into the result tables and the .dat, and tells the windows what changed.

#include <deque>
#include <exception>
#include <memory>
#include <string>

#include "acquisition/source_threads.h"
#include "acquisition/vesk_doc.h"
#include "files/export_csv.h"
#include "files/mark_log.h"
#include "processing/frame_processor.h"

namespace vesk {
namespace {

constexpr const char* kCsvExportWarning = "WARNING !!\n\nThe CSV export cannot be written: ";

}  // namespace

// The scan's .dat: a record that cannot be written is told once, and a logging scan stops.
class LiveRecordWriter : public RecordWriter {
 public:
  explicit LiveRecordWriter(CVESKDoc& doc) : doc_(doc) {}
  bool Write(std::string_view records) override {
    if (doc_.datFile_.Write(records)) return true;
    if (doc_.datFile_.IsOpen()) doc_.ReportWriteFailure(doc_.datFile_, false);
    return false;
  }

 private:
  CVESKDoc& doc_;
};

// What changed reaches the windows as posted messages; the latest CTD line goes to the
// auxiliary port's mailbox when it sends CTD lines out. Nothing here waits.
class ScanListener : public ProcessingListener {
 public:
  explicit ScanListener(CVESKDoc& doc) : doc_(doc) {}
  void ResultsChanged() override {
    doc_.windows_.Post(WindowTarget::MainFrame, Uwm::UpdateControlBar);
  }
  void TimeChartSampleAdded() override {
    if (doc_.timeChartRelay_)
      doc_.windows_.Post(WindowTarget::MainFrame, Uwm::UpdateTimePlotsRelay);
  }
  void ViewerLinesAdded() override {
    if (doc_.navViewerOpen_) doc_.windows_.Post(WindowTarget::NavViewer, Uwm::NavViewerUpdate);
  }
  void CtdLine(std::string_view line) override {
    if (doc_.ctdOutputActive_) doc_.ctdOutput_.Put(std::string(line));
  }

 private:
  CVESKDoc& doc_;
};

void ProcessingThread(CVESKDoc& doc) {
  try {
    LiveRecordWriter writer(doc);
    ScanListener listener(doc);
    FrameProcessor processor(FrameProcessor::Parts{doc.scanSettings_, doc.results_, doc.ctd_,
                                                   writer, listener, doc.nmeaGate_});
    const ScanSettings& s = doc.scan_.scan;
    std::string exportError;
    std::unique_ptr<ExportStage> csv;
    {
      std::lock_guard names(doc.fileNameLock_);
      doc.OpenDatFile(doc.ScanCopy());
      // The CSV export beside the .dat, when the option is on.
      const bool playback = doc.playback_;
      ExportRunInputs run = s.ExportInputs(doc.ctd_.Model());
      run.header = playback ? ReadRawHeader(doc.rawFileName_, 1u << 20)
                            : doc.BuildFileHeader(doc.ScanCopy());
      run.sourcePath = doc.rawFileName_;
      // A recording's marks are beside it; a live scan's beside the .dat it writes.
      run.marksPath = MarksPath(playback ? doc.rawFileName_ : doc.DataPath(doc.processedFileName_));
      csv = StartScanCsvExport(doc.store_, doc.DataPath(doc.processedFileName_), run, &exportError);
    }
    if (doc.recordSink_ != nullptr) {
      doc.recordSink_->OnScanStart({doc.playback_, doc.ctd_.Model(), s.surveyLat});
      processor.SetRecordSink(doc.recordSink_);
    }
    if (csv) {
      processor.SetExportSink(csv.get());
    } else if (!exportError.empty()) {
      doc.dialogs_.QueueMessage(std::string(kCsvExportWarning) + exportError, "",
                                MessageIcon::Warning);
    }
    std::deque<Frame> batch;
    bool stopping = false;
    for (;;) {
      if (!stopping && doc.processingStop_.Wait(0)) stopping = true;
      doc.frames_.TakeAll(batch, std::chrono::milliseconds(40));
      // After the stop, the frames the source queued before it ended are still processed:
      // the source has stopped, so this ends.
      if (batch.empty() && stopping) break;
      for (const Frame& frame : batch) processor.Process(frame);
    }
    if (csv && !csv->Finish()) {
      doc.dialogs_.QueueMessage(std::string(kCsvExportWarning) + csv->Error(), "",
                                MessageIcon::Warning);
    }
  } catch (const std::exception& e) {
    doc.dialogs_.QueueMessage(std::string("ERROR: frame processing stopped.\n\n") + e.what());
    doc.StopForFault();
  }
  doc.datFile_.Close();
}

}  // namespace vesk
