#include "acquisition/processing_thread.h"

#include <deque>
#include <exception>
#include <memory>
#include <string>

#include "acquisition/live_cast.h"
#include "files/export_csv.h"
#include "processing/frame_processor.h"

namespace vesk {
namespace {

constexpr const char* kCsvExportWarning = "WARNING !!\n\nThe CSV export cannot be written: ";

// The scan's .dat: a record that cannot be written is told once, and a logging scan stops.
class LiveRecordWriter : public RecordWriter {
 public:
  explicit LiveRecordWriter(ScanFiles& files) : files_(files) {}
  bool Write(std::string_view records) override { return files_.WriteRecords(records); }

 private:
  ScanFiles& files_;
};

// What changed reaches the windows as posted messages; the latest CTD line goes to the
// auxiliary port's mailbox when it sends CTD lines out. Nothing here waits.
class ScanListener : public ProcessingListener {
 public:
  explicit ScanListener(ProcessingContext& c) : c_(c) {}
  void ResultsChanged() override {
    c_.reports.Post(WindowTarget::MainFrame, Uwm::UpdateControlBar);
  }
  void TimeChartSampleAdded() override {
    if (c_.interest.timeChartRelay) {
      c_.reports.Post(WindowTarget::MainFrame, Uwm::UpdateTimePlotsRelay);
    }
  }
  void ViewerLinesAdded() override {
    if (c_.interest.navViewerOpen) c_.reports.Post(WindowTarget::NavViewer, Uwm::NavViewerUpdate);
  }
  void CtdLine(std::string_view line) override {
    if (c_.ctdOutput != nullptr) c_.ctdOutput->Put(std::string(line));
  }

 private:
  ProcessingContext& c_;
};

}  // namespace

void ProcessingThread(ProcessingContext c) {
  try {
    LiveRecordWriter writer(c.files);
    ScanListener listener(c);
    CtdDecoder ctd(c.store, c.dialogs);
    ctd.LoadScanSettings(c.scan.ctdModel, c.scan.instrInputViaMux);
    ctd.StartScan();
    FrameProcessor processor(
        FrameProcessor::Parts{c.settings, c.results, ctd, writer, listener, c.files.NmeaGate()});
    // The CSV export beside the .dat when its option is on, and the cast products, their
    // files beside the recording the scan writes.
    std::unique_ptr<ExportStage> csv;
    LiveCastWriter* cast = nullptr;
    auto warn = [&c](const std::string& text) {
      c.reports.Message("WARNING !!\n\n" + text, MessageIcon::Warning);
    };
    auto castFiles = [&c] {
      return c.files.Logging() || c.files.Playback() ? c.files.DatPath() : std::string();
    };
    {
      const ScanFiles::DatOpened dat = c.files.OpenDat();
      ExportRunInputs run = c.scan.ExportInputs(ctd.Model());
      run.header = dat.header;
      run.sourcePath = dat.sourcePath;
      run.marksPath = dat.marksPath;
      csv = StartScanExports(
          c.store, {dat.datPath, run, castFiles(), &c.results.Cast(), c.recordSink, warn}, &cast);
    }
    if (c.recordSink != nullptr) {
      c.recordSink->OnScanStart({c.playback, ctd.Model(), c.scan.surveyLat});
      processor.SetRecordSink(c.recordSink);
    }
    if (csv) processor.SetExportSink(csv.get());
    std::deque<Frame> batch;
    bool stopping = false;
    for (;;) {
      if (!stopping && c.stop.Wait(0)) stopping = true;
      c.frames.TakeAll(batch, std::chrono::milliseconds(40));
      // After the stop, the frames the source queued before it ended are still processed:
      // the source has stopped, so this ends.
      if (batch.empty() && stopping) break;
      if (cast != nullptr) cast->Follow(castFiles());
      for (const Frame& frame : batch) processor.Process(frame);
    }
    if (csv && !csv->Finish()) {
      c.reports.Message(std::string(kCsvExportWarning) + csv->Error(), MessageIcon::Warning);
    }
  } catch (const std::exception& e) {
    c.reports.Message(std::string("ERROR: frame processing stopped.\n\n") + e.what());
    c.reports.StopForFault();
  }
  c.files.CloseDat();
}

}  // namespace vesk
