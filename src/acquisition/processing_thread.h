#pragma once
// The processing thread of a scan: takes the frames the source queued, runs them through the
// frame processor into the result tables, the .dat and the exports, and tells the windows
// what changed. It decodes the scan's CTD lines with a decoder of its own.

#include <atomic>

#include "acquisition/event.h"
#include "acquisition/frame_queue.h"
#include "acquisition/scan_files.h"
#include "acquisition/scan_reports.h"
#include "instruments/latest_line_mailbox.h"
#include "processing/record_sink.h"
#include "processing/scan_results.h"
#include "processing/scan_settings.h"
#include "seams/settings_store.h"
#include "seams/user_dialogs.h"

namespace vesk {

// Which windows want to hear of each change (set by the window, read by the scan).
struct WindowInterest {
  std::atomic<bool> timeChartRelay{false};  // every new time chart sample
  std::atomic<bool> navViewerOpen{false};   // the navigation viewer's new lines
};

struct ProcessingContext {
  const ScanSettings& scan;             // as the scan started
  const ScanSettingsChannel& settings;  // with the changes made during the scan
  const SettingsStore& store;           // the CTD coefficients, the export options
  UserDialogs& dialogs;                 // the CTD decoder's warnings
  Event& stop;
  FrameQueue& frames;
  ScanResults& results;
  ScanFiles& files;  // the .dat and the exports beside it
  ScanReports& reports;
  const WindowInterest& interest;
  LatestLineMailbox* ctdOutput;  // the auxiliary port's, when it sends CTD lines
  RecordSink* recordSink;        // the published records (null: none)
  bool playback;
};

void ProcessingThread(ProcessingContext context);

}  // namespace vesk
