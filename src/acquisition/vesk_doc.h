#pragma once
// The document: owns everything a scan needs — its settings in memory, the queues and
// result tables shared between the threads with the seven locks that guard them, the stop
// events, the output files and the scan flags. It never touches a window: it reaches the
// outside through the settings store, the window and dialog seams and the clock.

#include <array>
#include <atomic>
#include <bitset>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/clock.h"
#include "acquisition/event.h"
#include "acquisition/frame_queue.h"
#include "acquisition/serial_port.h"
#include "acquisition/user_dialogs.h"
#include "acquisition/window_messages.h"
#include "app/settings_store.h"
#include "files/data_file.h"
#include "instruments/ctd_catalogue.h"
#include "instruments/ctd_decoder.h"
#include "instruments/latest_line_mailbox.h"
#include "instruments/nav_display.h"
#include "instruments/nav_viewer_log.h"
#include "instruments/nmea_capture.h"
#include "processing/deframer.h"

namespace vesk {

class RecordSink;

inline constexpr int kBinCount = 128;
inline constexpr int kHousekeepingCount = 7;
inline constexpr int kTimeChartChannels = 10;
inline constexpr int kGridElements = 35;
inline constexpr std::size_t kMaxGridRows = 500000;
// Reference constant of the counter: the counter scale K is CounterConstant divided by it.
inline constexpr double kCounterReferenceConstant = 3.47826e-05;
inline constexpr const char* kPreloggingStem = "VESK_PRELOGGING_DATADUMP";

using BinCounts = std::array<std::uint32_t, kBinCount>;
using TimeChartSample = std::array<double, kTimeChartChannels>;
using GridRow = std::bitset<kGridElements>;

// Time chart channels, in sample order.
enum TimeChartChannel {
  kChDepth = 0,
  kChTemperature,
  kChCountsPerSecond,
  kChSalinity,
  kChWindowCps,
  kChCountsPerVolume,
  kChFlowSpeed,
  kChAnalog,
  kChCounter,
  kChLaserMonitor,
};

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

// What the status line shows of a scan, read under the tables' locks in one go.
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

class CVESKDoc {
 public:
  static constexpr const char* kVersion = VESK_VERSION_TEXT;

  // Builds the catalogue and loads the document's settings. Opens no port.
  CVESKDoc(SettingsStore& store, WindowMessages& windows, UserDialogs& dialogs, const Clock& clock);
  CVESKDoc(const CVESKDoc&) = delete;
  CVESKDoc& operator=(const CVESKDoc&) = delete;

  ~CVESKDoc();

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
  // Sends the counter its scan command; false when the port is not connected.
  bool SendScanAll();
  void QueueStopScan();
  // Stops the scan, waits for its threads and returns to idle.
  void StopScan();
  // A command for the counter: written by the serial source thread between reads.
  void QueueCommand(std::string command);
  // "Take Snap-Shot": queues "r".
  void TakeSnapShot();

  // The counter's state between scans, polled every 1500 ms by the main frame (or the
  // headless runner): reads what the counter sends outside a scan. A device that went away
  // is closed; with autoReconnect the port is tried again every few seconds until it opens.
  struct CounterStatus {
    bool responding = false;          // it sent something in the last 5 s
    bool snapshotInProgress = false;  // "r" sent, no reply block yet (at most 60 s)
    bool newEepromText = false;       // a new status block arrived (stored in eepromData)
  };
  CounterStatus PollCounterStatus();

  // The scan's counts, rates and texts now (any thread but the table writers).
  ScanStatus StatusSnapshot();
  // The same, taken when the last scan's threads had ended and before its tables were
  // cleared: what a scan ended with.
  ScanStatus LastScanStatus() const { return lastScanStatus_; }

  // Source threads: an aborted frame to the counters.
  void CountAbortedFrame(std::uint8_t type);

  // The data directory chosen in the window: stored at once, and used by the next scan (a
  // running scan keeps its files where they are).
  void SetDataDirectory(const std::string& dir);

  // Re-reads the port and instrument settings (at connect and at every scan start).
  void LoadPortSettings();
  // Re-reads the auxiliary-port and navigation settings (at every scan start).
  void LoadNavSettings();

  // --- output files ---------------------------------------------------------------
  // Opens data directory + raw file name and writes the live header (the caller holds
  // fileNameLock while a scan runs). On failure tells the user and asks the main frame to stop.
  bool OpenBinFile();
  // Opens data directory + processed file name and writes the header (playback form when
  // playing back) when the option is on. On failure as above.
  bool OpenDatFile();
  // A fault that ends the scan (a file or port that cannot be opened or written, a thread
  // that failed): from any thread, the main frame is asked to stop the scan.
  void StopForFault();
  // True when the last scan was ended by such a fault (reset at each scan start).
  bool StoppedByFault() const { return stoppedByFault_; }
  // The counter's device as the settings name it ("/dev/ttyS0" for port 1).
  std::string CounterDeviceName() const;
  // An open data file stopped taking writes (any thread): told once per file and scan; a
  // logging scan or a playback is then stopped. `lead` goes before the text when set.
  void ReportWriteFailure(const DataFile& file, bool raw, const char* lead = nullptr);
  // The header text: live form, or playback form (copy of the played file's header).
  std::string BuildFileHeader() const;
  // The .dat name of a playback of `playedPath` at `tm` ("cast01_PB_2005-03-05_140307.dat").
  static std::string PlaybackDatName(const std::string& playedPath, const std::tm& tm);

  // The instrument line decoder (runs under the CTD lock).
  void DecodeCtdLine() { ctd.DecodeCtdLine(); }
  // A block of characters received on the auxiliary port (auxiliary thread only).
  void OnNmeaText(std::string_view text) { nmea.OnNmeaText(*this, text); }
  // Clears the pipeline and results for a new run (queues, counters, tables).
  void ResetForScan();
  // Zeroes the result tables (end of a scan).
  void ClearResults();

  SettingsStore& store;
  WindowMessages& windows;
  UserDialogs& dialogs;
  const Clock& clock;

  // --- settings in memory ---------------------------------------------------------
  // The next three are changed by the window thread while a scan may read them.
  std::atomic<bool> addHeaderToDatFile{true};
  std::atomic<bool> logInitialNmeaOnly{false};
  std::string counterConstantText;
  double counterScale = 0;            // K: CounterConstant / reference constant
  std::atomic<int> playbackSpeed{1};  // pause per 1024-byte chunk, in 100 ms
  std::string eepromData;
  bool gridAutoScroll = true;
  int binnedMinX = 0;
  int binnedMaxX = 127;
  int bufferLength = 3600;  // time chart history capacity
  bool useDefaultFileNaming = true;
  double firmwareVersion = 2.25;
  double surveyLat = 99.9999;
  std::string userSuppliedFileHeader;
  std::atomic<bool> standardTunnel{true};
  bool instrInputViaMux = false;
  int windowLowerBound = 0;
  int windowUpperBound = 127;
  PortSettings counterPort;
  PortSettings auxPort;
  std::string dataDir;  // always ends with '/'
  bool enableTx2Zev = false;
  int maxMepLength = 1000;
  std::atomic<int> gridScalingFactor{1};  // time stamp units per grid row; set while scanning
  int lowDiskSpaceMb = 150;               // warn below this free space while logging
  std::string analogCaption = "ANALOG";
  double analogScale = 1.0;
  int auxPortMode = 0;  // 0 unused, 1 NMEA input, 2 CTD output
  NavSettings nav;

  CtdCatalogue catalogue;
  CtdDecoder ctd;  // line, record and model: under ctdLock

  // --- scan state -----------------------------------------------------------------
  std::atomic<bool> connected{false};
  bool autoReconnect = true;  // PollCounterStatus reopens a missing counter port
  std::atomic<bool> counterResponding{false};
  std::atomic<bool> logging{true};
  std::atomic<bool> playback{false};
  std::atomic<bool> playbackPaused{false};
  std::atomic<bool> replaceExisting{false};
  std::atomic<bool> scanning{false};
  std::atomic<bool> timeChartRelay{false};   // announce every new time chart sample
  std::atomic<bool> gridPaused{false};       // M frames not used for the grid
  std::atomic<bool> ctdOutputActive{false};  // an auxiliary thread sends CTD lines out
  LatestLineMailbox ctdOutput;               // the latest CTD line for the auxiliary port
  std::string rawFileName;                   // playback: the full path of the played file
  std::string processedFileName;
  DataFile rawFile;
  DataFile datFile;
  std::tm scanStartTime{};
  std::uint64_t scanNumber = 0;      // the scans started so far (user-interface thread)
  RecordSink* recordSink = nullptr;  // takes every record live when set (between scans)

  std::atomic<std::uint32_t> frameErrorCount{0};
  std::atomic<std::uint32_t> lFrameCount{0};
  std::atomic<std::uint32_t> mepParticleCount{0};
  std::atomic<std::uint64_t> playbackTotalBytes{0};  // recordings may pass 4 GiB
  std::atomic<std::uint64_t> playbackBytesDone{0};
  std::atomic<bool> playbackAtEnd{false};  // the played file was read to its end
  // Steady-clock ticks of the last byte a scan received from the counter (0: none yet).
  std::atomic<std::chrono::steady_clock::rep> lastScanByteTicks{0};
  std::atomic<bool> initialNmeaWritten{false};  // "log initial NMEA sample only"

  // --- queues and results, each with its lock --------------------------------------
  // Lock order in L processing: binLock, housekeepingLock, ctdLock, timeChartLock,
  // timeChartHistoryLock. Every other thread takes one lock at a time.
  std::mutex ctdLock;               // ctd, the time chart sample computation
  std::mutex binLock;               // bins, window and total counters
  std::mutex housekeepingLock;      // housekeeping words, N, T, A, counter value
  std::mutex gridLock;              // gridRows
  std::mutex timeChartHistoryLock;  // timeChartHistory
  std::mutex timeChartLock;         // latestSample
  // dataDir, rawFileName, processedFileName while a scan runs: the window thread changes them
  // when logging switches to new files; the threads read them when they open theirs. Held
  // across the change and the opening, so a thread never reopens a file another has begun.
  std::mutex fileNameLock;

  FrameQueue frames;  // source thread to processing thread, with its own lock
  std::deque<GridRow> gridRows;
  std::deque<TimeChartSample> timeChartHistory;
  // Samples made since the scan started (the history holds the newest of them): the number
  // of the next one. Under timeChartHistoryLock.
  std::uint64_t timeChartSamples = 0;
  std::vector<std::uint32_t> elementEvents;  // E, S, D, Z per event; processing thread only

  BinCounts currentBins{};
  BinCounts cumulativeBins{};
  double frameTotal = 0;
  std::int32_t frameWindowCount = 0;
  std::uint32_t cumulativeTotalCount = 0;
  std::uint32_t cumulativeWindowCount = 0;

  std::array<std::uint32_t, kHousekeepingCount> housekeeping{};
  std::uint32_t counterN = 0;
  std::uint32_t counterT = 0;
  std::uint32_t analogA = 0;
  double counterValue = 0;
  double flowSpeed = 0;

  TimeChartSample latestSample{};

  // Navigation texts (under navLock) and the viewer's history (its own lock): written by the
  // processing and auxiliary threads, read by the window thread.
  std::mutex navLock;
  NavDisplay navDisplay;
  NavViewerLog navViewer;
  std::atomic<bool> navViewerOpen{false};
  NmeaCapture nmea;  // auxiliary thread only

  // --- events ----------------------------------------------------------------------
  Event serialStop;
  Event playbackStop;
  Event auxStop;
  Event processingStop;
  Event housekeepingStop;

  // --- ports and the command queue --------------------------------------------------
  CSerialPort counterSerial;  // the serial source thread's during a scan, else the UI's
  CSerialPort auxSerial;      // the auxiliary thread's
  std::mutex commandLock;
  std::deque<std::string> commandQueue;
  // Frames the playback source lets wait in the queue before it pauses (a file can be read
  // far faster than it is processed; the serial source never waits).
  static constexpr std::size_t kPlaybackQueueLimit = 4000;

 private:
  // The file-name prompt until a usable stem is chosen; nothing when cancelled.
  std::optional<std::string> ChooseCustomStem(const std::string& dir);
  // Tells each running thread of the scan to end and waits for it, source first.
  void StopThreads();
  // A start while a scan of that kind runs: told and ignored (true).
  bool StartIgnored(bool loggingStart);
  void StartThreads();
  // Creates `dir` when missing; false (the user told) when it cannot be written.
  bool DataDirectoryWritable(const std::string& dir);

  std::thread sourceThread_;
  Event* sourceStop_ = &serialStop;  // the stop event of the running source thread
  std::thread auxThread_;
  std::thread processingThread_;
  std::thread housekeepingThread_;

  // Idle status of the counter.
  ScanStatus lastScanStatus_;
  std::atomic<bool> stoppedByFault_{false};
  std::atomic<bool> rawFailureTold_{false};
  std::atomic<bool> datFailureTold_{false};
  std::string idleText_;
  std::chrono::steady_clock::time_point lastHeard_{};
  std::chrono::steady_clock::time_point snapshotSent_{};
  std::chrono::steady_clock::time_point nextReconnect_{};
  bool snapshotPending_ = false;

  std::string DataPath(const std::string& name) const { return dataDir + name; }
};

// The data directory of an empty setting: ~/VESK/.
std::string DefaultDataDir();
// A directory text with exactly one trailing '/'.
std::string WithTrailingSlash(std::string dir);
// The data directory the settings name (with its trailing '/').
std::string ConfiguredDataDir(const SettingsStore& store);

}  // namespace vesk
