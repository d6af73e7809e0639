#pragma once
// The session of the document's scans: one scan runs at a time, and the session owns it —
// its threads and their stop events, the frame queue, the files, the auxiliary port, the
// copy of the settings the threads read, and the playback's pace and progress. Each thread
// body gets a context of exactly what it uses. What a scan was set up with (its files) and
// what it ended with (its progress, its events) stay readable until the next one starts.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <thread>

#include "acquisition/command_queue.h"
#include "acquisition/document_settings.h"
#include "acquisition/event.h"
#include "acquisition/frame_queue.h"
#include "acquisition/processing_thread.h"
#include "acquisition/scan_files.h"
#include "acquisition/scan_reports.h"
#include "acquisition/serial_port.h"
#include "acquisition/snapshot_monitor.h"
#include "acquisition/source_threads.h"
#include "instruments/ctd_catalogue.h"
#include "instruments/latest_line_mailbox.h"
#include "processing/scan_results.h"
#include "processing/scan_settings.h"

namespace vesk {

// How far a playback has read its recording.
struct PlaybackProgress {
  std::uint64_t done = 0;
  std::uint64_t total = 0;  // 0 until the source has measured the file (and for a FIFO)
  bool atEnd = false;
  // At its end without one frame of the counter: no recording (its .dat is not kept).
  bool noCounterFrames = false;
};

class ScanSession {
 public:
  // What the document lends its scans: its seams, the result tables, the counter's port
  // with its command queue and snapshot watch, and what the windows want to hear.
  struct Parts {
    const SettingsStore& store;
    UserDialogs& dialogs;
    WindowMessages& windows;
    const Clock& clock;
    ScanResults& results;
    CSerialPort& counterPort;
    const std::atomic<bool>& connected;
    CommandQueue& commands;
    SnapshotMonitor& snapshot;
    const WindowInterest& interest;
    const std::atomic<bool>& scanning;
  };

  explicit ScanSession(const Parts& parts);
  ScanSession(const ScanSession&) = delete;
  ScanSession& operator=(const ScanSession&) = delete;
  ~ScanSession();

  ScanFiles& Files() { return files_; }
  const ScanFiles& Files() const { return files_; }
  ScanReports& Reports() { return reports_; }
  const ScanReports& Reports() const { return reports_; }

  // The pace of a playback as stored ("PlaybackSpeed"): 0 as fast as it is processed; 1, 2
  // and 4 four, two and one times the recording's own pace.
  void SetPlaybackSpeed(int speed) { playbackSpeed_ = speed; }
  void SetPlaybackPaused(bool paused) { playbackPaused_ = paused; }
  bool PlaybackPaused() const { return playbackPaused_; }
  PlaybackProgress Playback() const;
  // When the scan last received a byte from the counter ({}: none yet).
  std::chrono::steady_clock::time_point LastByte() const {
    return std::chrono::steady_clock::time_point(
        std::chrono::steady_clock::duration(lastByte_.load()));
  }

  // A new scan: nothing of the last one's queue, counters, events or files' state is left.
  void Reset();
  // Starts the scan's threads on `settings` (copied: the threads read the copy without
  // locks) with the CTD model's catalogue entry; the published records go to `sink`.
  void Start(const DocumentSettings& settings, const CtdModelEntry* ctd, RecordSink* sink);
  // A change of the settings during the scan, taken by the processing at its next frame.
  void Publish(const ScanSettings& settings) { channel_.Publish(settings); }
  // Tells each running thread to end and waits for it, the source first.
  void Stop();
  // The threads of a scan that ended on its own wait to be joined.
  bool HasThreads() const { return sourceThread_.joinable(); }

 private:
  const Parts parts_;
  ScanReports reports_;
  ScanFiles files_;

  DocumentSettings scan_;  // the copy the running scan's threads read
  std::optional<CtdModelEntry> scanCtd_;
  ScanSettingsChannel channel_;  // the processing's settings, with changes during a scan

  std::atomic<bool> playbackPaused_{false};
  std::atomic<int> playbackSpeed_{1};
  PlaybackCounters playback_;
  std::atomic<std::uint64_t> counterFrames_{0};  // frames of the counter's types this scan
  // Steady-clock ticks of the last byte a scan received from the counter (0: none yet).
  std::atomic<std::chrono::steady_clock::rep> lastByte_{0};

  FrameQueue frames_;            // source thread to processing thread
  LatestLineMailbox ctdOutput_;  // the latest CTD line for the auxiliary port
  CSerialPort auxPort_;          // the auxiliary thread's

  Event serialStop_;
  Event playbackStop_;
  Event auxStop_;
  Event processingStop_;
  Event housekeepingStop_;
  Event* sourceStop_ = &serialStop_;  // the stop event of the running source thread
  std::thread sourceThread_;
  std::thread auxThread_;
  std::thread processingThread_;
  std::thread housekeepingThread_;
};

}  // namespace vesk
