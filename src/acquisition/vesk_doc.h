#pragma once
// The document: the one owner of a scan. It holds its parts, each with one way in:
//   - the settings in memory (user-interface thread), copied into an immutable value when a
//     scan starts; a change during the scan reaches the processing as a new value, applied
//     at a frame boundary;
//   - the result tables (ScanResults), written by the processing thread, read by the views
//     as snapshots;
//   - the session: the threads, their stop events, the frame queue, the files and ports,
//     private to the document and its thread bodies.
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
#include "acquisition/event.h"
#include "acquisition/frame_queue.h"
#include "acquisition/serial_port.h"
#include "acquisition/window_messages.h"
#include "control/snapshot_reply.h"
#include "files/data_file.h"
#include "instruments/ctd_catalogue.h"
#include "instruments/ctd_decoder.h"
#include "instruments/latest_line_mailbox.h"
#include "instruments/nmea_capture.h"
#include "instruments/nmea_log_gate.h"
#include "processing/scan_results.h"
#include "processing/scan_settings.h"
#include "seams/clock.h"
#include "seams/settings_store.h"
#include "seams/user_dialogs.h"

namespace vesk {

class RecordSink;

inline constexpr const char* kPreloggingStem = "VESK_PRELOGGING_DATADUMP";

// One serial port's line settings, as stored (codes of CSerialPort).
struct PortSettings {
  int port = 0;
  int bitRate = 0;
  int dataBits = 0;
  int parity = 0;
  int stopBits = 0;
  int flowControl = 0;
  std::string device;  // overrides /dev/ttyS{port-1} when set
};

// The settings in memory: what the scan's processing reads (`scan`) and the rest.
struct DocumentSettings {
  ScanSettings scan;
  bool addHeaderToDatFile = true;
  bool useDefaultFileNaming = true;
  std::string userSuppliedFileHeader;
  std::string eepromData;  // the counter's latest text block
  bool gridAutoScroll = true;
  int binnedMinX = 0;
  int binnedMaxX = 127;
  std::string analogCaption = "ANALOG";
  double analogScale = 1.0;
  PortSettings counterPort;
  PortSettings auxPort;
  int auxPortMode = 0;  // 0 unused, 1 NMEA input, 2 CTD output
  bool enableTx2Zev = false;
  int lowDiskSpaceMb = 150;  // warn below this free space while logging
};

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

// How far a playback has read its recording.
struct PlaybackProgress {
  std::uint64_t done = 0;
  std::uint64_t total = 0;  // 0 until the source has measured the file (and for a FIFO)
  bool atEnd = false;
  // At its end without one frame of the counter: no recording (its .dat is not kept).
  bool noCounterFrames = false;
};

// Something that befell a running scan, for an automatic mark in the .mrk beside `datPath`
// (the .dat written at that moment).
struct ScanEvent {
  std::string note;
  double epochSeconds = 0;
  std::uint32_t lFrameIndex = 0;
  std::string datPath;
};

class CVESKDoc {
 public:
  static constexpr const char* kVersion = VESK_VERSION_TEXT;
  // Frames the playback source lets wait in the queue before it pauses (a file can be read
  // far faster than it is processed; the serial source never waits).
  static constexpr std::size_t kPlaybackQueueLimit = 4000;
  // Real seconds per second of the recording for each unit of the playback speed value.
  static constexpr double kPlaybackSecondsPerSpeedUnit = 0.25;

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
  bool Logging() const { return logging_; }
  bool IsPlayback() const { return playback_; }
  bool PlaybackPaused() const { return playbackPaused_; }
  void SetPlaybackPaused(bool paused) { playbackPaused_ = paused; }
  // The pace of a playback as stored ("PlaybackSpeed"): 0 as fast as it is processed; 1, 2
  // and 4 four, two and one times the recording's own pace (its L frames, or its GPS time).
  void SetPlaybackSpeed(int speed);
  PlaybackProgress Playback() const;
  // Whether the window wants each new time chart sample, and the navigation viewer's lines.
  void SetTimeChartRelay(bool on) { timeChartRelay_ = on; }
  bool TimeChartRelay() const { return timeChartRelay_; }
  void SetNavViewerOpen(bool open) { navViewerOpen_ = open; }
  std::tm ScanStartTime() const { return scanStartTime_; }
  // The scans started so far (user-interface thread).
  std::uint64_t ScanNumber() const { return scanNumber_; }
  // True when the last scan was ended by a fault (reset at each scan start).
  bool StoppedByFault() const { return stoppedByFault_; }
  // When the scan last received a byte from the counter ({}: none yet).
  std::chrono::steady_clock::time_point LastScanByte() const {
    return std::chrono::steady_clock::time_point(
        std::chrono::steady_clock::duration(lastScanByteTicks_.load()));
  }
  // A logging scan whose disk is full: it goes on without files until space is back.
  bool LoggingSuspended() const { return loggingSuspended_; }
  // What befell the scan since the last call (the counter's link lost and back, logging
  // suspended and resumed), oldest first.
  std::vector<ScanEvent> TakeScanEvents();

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
  std::string DataDirectory() const;
  // Where the scan writes its .dat now (empty when no scan ever started).
  std::string DatPath() const;
  // Where a live scan writes its .bin now (empty when no scan ever started).
  std::string RawPath() const;
  // The recording a playback plays (empty otherwise).
  std::string PlayedPath() const;
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
  std::string BuildFileHeader() const;

  // --- faults (any thread) ---------------------------------------------------------------
  // A fault that ends the scan (a file or port that cannot be opened or written, a thread
  // that failed): the main frame is asked to stop the scan.
  void StopForFault();
  // An open data file stopped taking writes: told once per file and scan; a logging scan
  // or a playback is then stopped. `lead` goes before the text when set.
  void ReportWriteFailure(const DataFile& file, bool raw, const char* lead = nullptr);
  // Notes an event of the running scan for its marks (any thread).
  void NoteScanEvent(std::string note, std::string datPath);

 private:
  friend void SerialSourceThread(CVESKDoc& doc);
  friend void PlaybackSourceThread(CVESKDoc& doc);
  friend void HousekeepingThread(CVESKDoc& doc);
  friend void AuxPortThread(CVESKDoc& doc);
  friend void ProcessingThread(CVESKDoc& doc);
  friend class AuxCaptureSink;
  friend class LiveRecordWriter;
  friend class ScanListener;

  // The file-name prompt until a usable stem is chosen; nothing when cancelled.
  std::optional<std::string> ChooseCustomStem(const std::string& dir);
  // Tells each running thread of the scan to end and waits for it, source first.
  void StopThreads();
  // A start while a scan of that kind runs, or while a playback is set up: told and ignored
  // (true).
  bool StartIgnored(bool loggingStart);
  void StartThreads();
  // Creates `dir` when missing; false (the user told) when it cannot be written.
  bool DataDirectoryWritable(const std::string& dir);
  // Clears the pipeline and results for a new run (queues, counters, tables).
  void ResetForScan();
  // The settings a header shows, with their CTD model's catalogue entry: the scan's copy
  // (read on its threads) or the window's own (read on the user-interface thread).
  struct HeaderSettings {
    const DocumentSettings& settings;
    const CtdModelEntry* ctd;
  };
  HeaderSettings ScanCopy() const { return {scan_, scanCtdEntry_ ? &*scanCtdEntry_ : nullptr}; }
  HeaderSettings WindowCopy() const {
    return {settings_, catalogue_.Find(settings_.scan.ctdModel)};
  }
  // The header of `h`; the caller holds fileNameLock_ or is the user-interface thread.
  std::string BuildFileHeader(HeaderSettings h) const;
  // Opens data directory + raw file name and writes the live header of `h` (the caller
  // holds fileNameLock_ while a scan runs). On failure tells the user and asks for a stop.
  bool OpenBinFile(HeaderSettings h);
  // Opens data directory + processed file name and writes the header (playback form when
  // playing back) when the option is on. On failure as above.
  bool OpenDatFile(HeaderSettings h);
  std::string DataPath(const std::string& name) const { return dataDir_ + name; }
  // A full disk: the files are closed and the scan goes on without them (any thread).
  void SuspendLogging(const DataFile& file);
  // While suspended (the housekeeping thread, every few seconds): new files once the data
  // folder has room again.
  void ResumeLoggingWhenSpace();

  SettingsStore& store_;
  WindowMessages& windows_;
  UserDialogs& dialogs_;
  const Clock& clock_;

  // --- settings -------------------------------------------------------------------------
  DocumentSettings settings_;  // user-interface thread
  DocumentSettings scan_;      // the copy a running scan's threads read (set before they start)
  std::optional<CtdModelEntry> scanCtdEntry_;
  ScanSettingsChannel scanSettings_;  // the processing's settings, with changes during a scan
  CtdCatalogue catalogue_;
  CtdDecoder ctd_;  // the processing thread's while a scan runs

  // --- results --------------------------------------------------------------------------
  ScanResults results_;
  ScanStatus lastScanStatus_;

  // --- session --------------------------------------------------------------------------
  std::atomic<bool> connected_{false};
  bool autoReconnect_ = true;
  bool portReleased_ = false;  // lent by ReleaseCounterPort
  std::atomic<bool> counterResponding_{false};
  std::atomic<bool> logging_{true};
  std::atomic<bool> playback_{false};
  std::atomic<bool> playbackPaused_{false};
  std::atomic<int> playbackSpeed_{1};
  std::atomic<bool> replaceExisting_{false};
  std::atomic<bool> scanning_{false};
  std::atomic<bool> timeChartRelay_{false};
  std::atomic<bool> navViewerOpen_{false};
  std::atomic<bool> stoppedByFault_{false};
  std::atomic<bool> rawFailureTold_{false};
  std::atomic<bool> datFailureTold_{false};
  std::atomic<std::uint64_t> playbackTotalBytes_{0};  // recordings may pass 4 GiB
  std::atomic<std::uint64_t> playbackBytesDone_{0};
  std::atomic<bool> playbackAtEnd_{false};
  std::atomic<std::uint64_t> counterFrames_{0};  // frames of the counter's types this scan
  std::atomic<bool> loggingSuspended_{false};
  std::mutex eventsLock_;
  std::vector<ScanEvent> events_;
  // Steady-clock ticks of the last byte a scan received from the counter (0: none yet).
  std::atomic<std::chrono::steady_clock::rep> lastScanByteTicks_{0};
  std::tm scanStartTime_{};
  std::uint64_t scanNumber_ = 0;
  RecordSink* recordSink_ = nullptr;

  // dataDir_, rawFileName_, processedFileName_ while a scan runs: the window thread changes
  // them when logging switches to new files, the housekeeping thread when logging resumes
  // after a full disk; the threads read them when they open theirs.
  // Held across the change and the opening, so a thread never reopens a file another has
  // begun.
  mutable std::mutex fileNameLock_;
  std::string dataDir_;
  std::string rawFileName_;  // playback: the full path of the played file
  std::string processedFileName_;
  DataFile rawFile_;
  DataFile datFile_;

  FrameQueue frames_;            // source thread to processing thread
  LatestLineMailbox ctdOutput_;  // the latest CTD line for the auxiliary port
  std::atomic<bool> ctdOutputActive_{false};
  NmeaLogGate nmeaGate_;  // "log initial NMEA sample only", for both NMEA writers
  NmeaCapture nmea_;      // auxiliary thread only

  Event serialStop_;
  Event playbackStop_;
  Event auxStop_;
  Event processingStop_;
  Event housekeepingStop_;
  std::thread sourceThread_;
  Event* sourceStop_ = &serialStop_;  // the stop event of the running source thread
  std::thread auxThread_;
  std::thread processingThread_;
  std::thread housekeepingThread_;

  CSerialPort counterSerial_;  // the serial source thread's during a scan, else the UI's
  CSerialPort auxSerial_;      // the auxiliary thread's
  CommandQueue commands_;

  // The counter between scans.
  std::string idleText_;
  std::chrono::steady_clock::time_point lastHeard_{};
  std::chrono::steady_clock::time_point snapshotSent_{};
  std::chrono::steady_clock::time_point nextReconnect_{};
  bool snapshotPending_ = false;
  // The answer to "r": looked for by the serial source thread in the scan's stream (and by
  // PollCounterStatus between scans) while snapshotWatching_.
  std::atomic<bool> snapshotWatching_{false};
  std::mutex snapshotLock_;
  SnapshotReplyWatch snapshotWatch_{SnapshotReplyWatch::Command::Take};
  SnapshotReply snapshotReply_;
  void WatchSnapshotReply(std::string_view bytes);
  // The snapshot's end to the user; the snapshot is no longer pending.
  void TellSnapshot(const SnapshotReply& reply);
};

// The data directory of an empty setting: ~/VESK/.
std::string DefaultDataDir();
// A directory text with exactly one trailing '/'.
std::string WithTrailingSlash(std::string dir);
// The data directory the settings name (with its trailing '/').
std::string ConfiguredDataDir(const SettingsStore& store);

}  // namespace vesk
