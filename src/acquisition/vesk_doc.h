#pragma once
// The document: the one owner of a scan. It holds its parts, each with one way in:
//   - the settings in memory (user-interface thread), copied into an immutable value when a
//     scan starts; a change during the scan reaches the processing as a new value, applied
//     at a frame boundary;
//   - the result tables (ScanResults), written by the processing thread, read by the views
//     as snapshots;
//   - the session (ScanSession): the running scan's threads, their stop events, the frame
//     queue, the files and the auxiliary port; each thread body gets a context of its own;
//   - the counter's connection between scans: its port, command queue and snapshot watch,
//     lent to the scan while one runs.
// It never touches a window: it reaches the outside through the settings store, the window
// and dialog seams and the clock.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "acquisition/command_queue.h"
#include "acquisition/document_settings.h"
#include "acquisition/scan_session.h"
#include "acquisition/serial_port.h"
#include "acquisition/snapshot_monitor.h"
#include "acquisition/window_messages.h"
#include "control/snapshot_reply.h"
#include "instruments/ctd_catalogue.h"
#include "instruments/nav_display.h"
#include "processing/scan_results.h"
#include "processing/scan_settings.h"
#include "seams/clock.h"
#include "seams/settings_store.h"
#include "seams/user_dialogs.h"

namespace vesk {

class RecordSink;

// What the status line shows of a scan, read from the result tables in one go.
struct ScanStatus {
  std::uint32_t lFrames = 0;
  std::uint32_t frameErrors = 0;
  std::uint32_t cumulativeTotal = 0;
  double countsPerSecond = 0;
  double flowSpeed = 0;
  std::uint32_t laserMonitor = 0;
  double depth = 0;
  CtdSample ctd;
  NavDisplay nav;
};

// The states of a playback as the playback window and the terminal tell them.
inline constexpr const char* kPlaybackPlayingText = "Playback data File...";
inline constexpr const char* kPlaybackPausedText = "Playback Paused...";
inline constexpr const char* kPlaybackResumedText = "Playback Data File.";

class CVESKDoc {
 public:
  static constexpr const char* kVersion = VESK_VERSION_TEXT;

  // Builds the catalogue and loads the document's settings. Opens no port.
  CVESKDoc(SettingsStore& store, WindowMessages& windows, UserDialogs& dialogs, const Clock& clock);
  CVESKDoc(const CVESKDoc&) = delete;
  CVESKDoc& operator=(const CVESKDoc&) = delete;
  ~CVESKDoc();

  // --- the seams ------------------------------------------------------------------------
  SettingsStore& Store() const { return store_; }
  WindowMessages& Windows() const { return windows_; }
  UserDialogs& Dialogs() const { return dialogs_; }
  const Clock& WallClock() const { return clock_; }

  // --- scan control (user-interface thread) ------------------------------------------
  // Opens the counter port, stops any scan the counter still runs; the connected flag. A
  // failure is told unless `tellFailure` is false (the quiet retries of PollCounterStatus).
  bool ConnectCounterPort(bool tellFailure = true);
  // A scan that writes the pre-logging dump files.
  void StartAcquisition();
  // A logging scan, or a running scan switched to new files without a restart.
  void StartDataLogging();
  // Resets the pipeline and starts the threads; false when nothing was started.
  bool StartScan();
  // The Open File command's work once a file was chosen: the document set up to play
  // `fullPath` (the playback flag, the names, the source and destination panes).
  void PreparePlayback(const std::string& fullPath);
  // The playback window closed: its scan stopped, back to the counter as the source.
  void EndPlayback();
  // Sends the counter its scan command; false when the port is not connected.
  bool SendScanAll();
  void QueueStopScan();
  // Stops the scan, waits for its threads and returns to idle.
  void StopScan();
  // A command for the counter: written by the serial source thread between reads.
  void QueueCommand(std::string command);
  // "Take Snap-Shot": queues "r"; the counter's answer (or its silence) is told by
  // PollCounterStatus.
  void TakeSnapShot();
  static constexpr int kSnapshotAnswerSeconds = 30;

  // The counter's state between scans, polled every 1500 ms by the main frame (or the
  // headless runner): reads what the counter sends outside a scan. A device that went away
  // is closed; with autoReconnect the port is tried again every few seconds until it opens.
  struct CounterStatus {
    bool responding = false;          // it sent something in the last 5 s
    bool snapshotInProgress = false;  // "r" sent, no answer yet
    // How the snapshot ended at this poll (None: it did not): the counter's answer, or none
    // within kSnapshotAnswerSeconds. The user is told.
    SnapshotReply snapshot;
    bool newEepromText = false;  // a new status block arrived (in Settings().eepromData)
  };
  CounterStatus PollCounterStatus();
  void SetAutoReconnect(bool on) { autoReconnect_ = on; }
  // For a port the user configures or plugs while the program is idle.
  CSerialPort& CounterPort() { return counterSerial_; }
  // Lends the counter's device to another part of the program while idle (the snapshot
  // dialog): the port is closed and not reopened until ConnectCounterPort. True when it was
  // open.
  bool ReleaseCounterPort();
  // The port is lent (and not reconnected since).
  bool CounterPortLent() const { return portReleased_ && !connected_; }

  // --- the scan's state (any thread) ---------------------------------------------------
  bool Scanning() const { return scanning_; }
  bool Connected() const { return connected_; }
  bool CounterResponding() const { return counterResponding_; }
  bool Logging() const { return session_.Files().Logging(); }
  bool IsPlayback() const { return session_.Files().Playback(); }
  bool PlaybackPaused() const { return session_.PlaybackPaused(); }
  void SetPlaybackPaused(bool paused) { session_.SetPlaybackPaused(paused); }
  // The pace of a playback as stored ("PlaybackSpeed"): 0 as fast as it is processed; 1, 2
  // and 4 four, two and one times the recording's own pace (its L frames, or its GPS time).
  void SetPlaybackSpeed(int speed) { session_.SetPlaybackSpeed(speed); }
  PlaybackProgress Playback() const { return session_.Playback(); }
  // Whether the window wants each new time chart sample, and the navigation viewer's lines.
  void SetTimeChartRelay(bool on) { interest_.timeChartRelay = on; }
  bool TimeChartRelay() const { return interest_.timeChartRelay; }
  void SetNavViewerOpen(bool open) { interest_.navViewerOpen = open; }
  std::tm ScanStartTime() const { return scanStartTime_; }
  // The scans started so far (user-interface thread).
  std::uint64_t ScanNumber() const { return scanNumber_; }
  // True when the last scan was ended by a fault (reset at each scan start).
  bool StoppedByFault() const { return session_.Reports().StoppedByFault(); }
  // When the scan last received a byte from the counter ({}: none yet).
  std::chrono::steady_clock::time_point LastScanByte() const { return session_.LastByte(); }
  // A logging scan whose disk is full: it goes on without files until space is back.
  bool LoggingSuspended() const { return session_.Files().LoggingSuspended(); }
  // What befell the scan since the last call (the counter's link lost and back, logging
  // suspended and resumed), oldest first.
  std::vector<ScanEvent> TakeScanEvents() { return session_.Reports().TakeEvents(); }

  // --- results -------------------------------------------------------------------------
  ScanResults& Results() { return results_; }
  const ScanResults& Results() const { return results_; }
  // The scan's counts, rates and texts now.
  ScanStatus StatusSnapshot() const;
  // The same, taken when the last scan's threads had ended and before its tables were
  // cleared: what a scan ended with.
  ScanStatus LastScanStatus() const { return lastScanStatus_; }

  // --- settings (user-interface thread) ----------------------------------------------------
  const DocumentSettings& Settings() const { return settings_; }
  // Changes the settings in memory; what the scan's processing reads reaches a running scan
  // at its next frame. The store is the caller's to write.
  void ChangeSettings(const std::function<void(DocumentSettings&)>& change);
  const CtdCatalogue& Catalogue() const { return catalogue_; }
  // The data directory chosen in the window: stored at once, and used by the next scan (a
  // running scan keeps its files where they are).
  void SetDataDirectory(const std::string& dir);
  // The data directory of the scan that runs (or of the next).
  std::string DataDirectory() const { return session_.Files().DataDirectory(); }
  // Where the scan writes its .dat now (empty when no scan ever started).
  std::string DatPath() const { return session_.Files().DatPath(); }
  // Where a live scan writes its .bin now (empty when no scan ever started).
  std::string RawPath() const { return session_.Files().RawPath(); }
  // The recording a playback plays (empty otherwise).
  std::string PlayedPath() const { return session_.Files().PlayedPath(); }
  // Re-reads the port and instrument settings (at connect and at every scan start).
  void LoadPortSettings();
  // Re-reads the CTD model, its serial number and the multiplexer flag (the CTD dialog).
  void LoadCtdSettings();
  // Re-reads the auxiliary-port and navigation settings (at every scan start).
  void LoadNavSettings();
  // The counter's device as the settings name it ("/dev/ttyS0" for port 1).
  std::string CounterDeviceName() const;
  // The live records (the network publisher): set between scans.
  void SetRecordSink(RecordSink* sink) { recordSink_ = sink; }

  // The header text: live form, or playback form (copy of the played file's header).
  std::string BuildFileHeader() const { return session_.Files().Header(WindowCopy()); }

 private:
  // The file-name prompt until a usable stem is chosen; nothing when cancelled.
  std::optional<std::string> ChooseCustomStem(const std::string& dir);
  // A start while a scan of that kind runs, or while a playback is set up: told and ignored
  // (true).
  bool StartIgnored(bool loggingStart);
  // Creates `dir` when missing; false (the user told) when it cannot be written.
  bool DataDirectoryWritable(const std::string& dir);
  // Clears the pipeline and results for a new run (queues, counters, tables).
  void ResetForScan();
  // The settings of the window with their CTD model's catalogue entry.
  HeaderSettings WindowCopy() const {
    return {settings_, catalogue_.Find(settings_.scan.ctdModel)};
  }

  SettingsStore& store_;
  WindowMessages& windows_;
  UserDialogs& dialogs_;
  const Clock& clock_;

  // --- settings -------------------------------------------------------------------------
  DocumentSettings settings_;  // user-interface thread
  CtdCatalogue catalogue_;

  // --- results --------------------------------------------------------------------------
  ScanResults results_;
  ScanStatus lastScanStatus_;

  // --- the counter's connection -----------------------------------------------------------
  std::atomic<bool> connected_{false};
  bool autoReconnect_ = true;
  bool portReleased_ = false;  // lent by ReleaseCounterPort
  std::atomic<bool> counterResponding_{false};
  CSerialPort counterSerial_;  // the serial source thread's during a scan, else the UI's
  CommandQueue commands_;
  // The counter between scans.
  std::string idleText_;
  std::chrono::steady_clock::time_point lastHeard_{};
  bool idleReadErrorTold_ = false;  // a failed read between scans, told once per connection
  std::chrono::steady_clock::time_point snapshotSent_{};
  std::chrono::steady_clock::time_point nextReconnect_{};
  bool snapshotPending_ = false;
  // The answer to "r": looked for by the serial source thread in the scan's stream (and by
  // PollCounterStatus between scans).
  SnapshotMonitor snapshot_;
  // The snapshot's end to the user; the snapshot is no longer pending.
  void TellSnapshot(const SnapshotReply& reply);

  // --- the scans ---------------------------------------------------------------------------
  std::atomic<bool> scanning_{false};
  bool replaceExisting_ = false;  // the custom name chosen replaces an older recording
  std::tm scanStartTime_{};
  std::uint64_t scanNumber_ = 0;
  RecordSink* recordSink_ = nullptr;
  WindowInterest interest_;
  ScanSession session_;
};

}  // namespace vesk
