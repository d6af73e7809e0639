// Starting, switching and stopping a scan, and the counter's state between scans.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <utility>

#include "acquisition/source_threads.h"
#include "acquisition/vesk_doc.h"
#include "files/export_stage.h"
#include "files/file_header.h"
#include "files/file_naming.h"
#include "files/mark_log.h"
#include "files/profile_files.h"
#include "processing/frame_processor.h"

namespace vesk {
namespace {

constexpr const char* kCannotOpenPort =
    "Cannot open Serial Interface port!\n\nPort may be in use by another application.\n\nError "
    "Message: ";
constexpr const char* kPortMissing =
    "Cannot open Serial Interface port!\n\nThe device does not exist: is the counter's serial "
    "adapter plugged in? (Settings > Port Settings... chooses the device.)\n\nError Message: ";
constexpr const char* kPortForbidden =
    "Cannot open Serial Interface port!\n\nThis user may not use the device (on Debian, members "
    "of the group \"dialout\" may).\n\nError Message: ";

// The reason a port did not open, as the user can act on it.
const char* CannotOpenPortText(int error) {
  if (error == ENOENT || error == ENODEV || error == ENXIO) return kPortMissing;
  if (error == EACCES || error == EPERM) return kPortForbidden;
  return kCannotOpenPort;
}
constexpr const char* kPortNotReady =
    "ERROR STARTING\n\nCannot Start data Acquisition because comm-port is not ready.\nEstablish "
    "serial communications first by clicking the \"Connect\" button.";
constexpr const char* kCounterInactive =
    "WARNING !!\n\nThe VESK appears to be inactive.\nYou may need to power up the unit or "
    "recycle the power.\n\nDo you wish to attempt starting anyway?";
constexpr const char* kCannotSendInit =
    "WARNING!! \n\nCannot send initialization commands to VESK Deck Unit!";
constexpr const char* kCannotOverwrite =
    "ERROR: You have selected a file that cannot be overwritten!\nThe file may be Read-Only, a "
    "System file, a Volume, etc.\n\n--  PLEASE ENTER ANOTHER FILENAME  --";

constexpr const char* kDumpNameRefused =
    "ERROR: \"VESK_PRELOGGING_DATADUMP\" is the name of the pre-logging dump files, which every "
    "start without logging overwrites.\n\n--  PLEASE ENTER ANOTHER FILENAME  --";
constexpr const char* kNameRefused =
    "ERROR: A data file name may not hold any of  * ? < > | \" : \\  or control "
    "characters.\n\n--  PLEASE ENTER ANOTHER FILENAME  --";
constexpr const char* kForbiddenNameCharacters =
    "*?<>|\":\\\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11\x12\x13"
    "\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\x1e\x1f\x7f";
constexpr const char* kOldFilesNotMoved =
    "ERROR: The existing recording could not be moved aside - logging was not started, and "
    "nothing was overwritten.\n\n";

constexpr const char* kRecordingNotCreated =
    "ERROR: The recording files cannot be created - logging was not started.\n\n";

constexpr const char* kDataDirUnwritable =
    "ERROR: The data directory cannot be written - the scan was not started.\n\n";
constexpr const char* kDataDirAdvice =
    "\n\nChoose another folder with \"Data Storage Directory...\" or make this one writable, "
    "then start again.";

constexpr std::uint32_t kCounterReadTimeoutMs = 200;
constexpr auto kRespondingWindow = std::chrono::seconds(5);
constexpr auto kSnapshotTimeout = std::chrono::seconds(CVESKDoc::kSnapshotAnswerSeconds);
constexpr const char* kSnapshotCaption = "Take Snap-Shot";
constexpr const char* kSnapshotTaken = "Snapshot taken: ";
constexpr const char* kSnapshotFailed = "The counter could not take the snapshot:\n\n";
constexpr const char* kSnapshotNoAnswer =
    "The counter did not answer the snapshot command within %d s: no snapshot is known to "
    "have been taken.";
constexpr std::size_t kEepromTextLimit = 2048;
constexpr auto kReconnectInterval = std::chrono::seconds(3);

}  // namespace

CVESKDoc::~CVESKDoc() {
  if (scanning_ || session_.HasThreads()) StopScan();
}

bool CVESKDoc::ReleaseCounterPort() {
  if (scanning_ || !counterSerial_.IsOpen()) return false;
  counterSerial_.Close();
  connected_ = false;
  portReleased_ = true;
  return true;
}

bool CVESKDoc::ConnectCounterPort(bool tellFailure) {
  portReleased_ = false;
  LoadPortSettings();
  try {
    const PortSettings& p = settings_.counterPort;
    counterSerial_.Open(p.port, p.bitRate, p.parity, p.dataBits, p.stopBits, p.flowControl,
                        p.device);
    counterSerial_.SetTimeouts(SerialTimeouts{0, 0, kCounterReadTimeoutMs, 0, 0});
    counterSerial_.Write("q", 1);
    // Only what the counter sent is discarded: clearing the transmit side here could drop the
    // stop command before it left.
    counterSerial_.Purge(kPurgeRxClear);
    connected_ = true;
    idleReadErrorTold_ = false;
  } catch (const CSerialException& e) {
    counterSerial_.Close();
    if (tellFailure) {
      dialogs_.ShowMessage(CannotOpenPortText(e.ErrorCode()) + std::string(e.what()), "",
                           MessageIcon::Error);
    }
    connected_ = false;
  }
  return connected_;
}

bool CVESKDoc::StartIgnored(bool loggingStart) {
  // A playback whose window is open, playing or not yet: a start would take its file names.
  const ScanFiles& files = session_.Files();
  if (!scanning_ && !files.Playback()) return false;
  if (files.Playback()) {
    dialogs_.Notify("Start ignored: a playback is running.");
  } else if (loggingStart && files.LoggingSuspended()) {
    dialogs_.Notify(
        "Start Data Logging ignored: logging waits for room on the full disk, and resumes in new "
        "files by itself.");
  } else if (loggingStart && files.Logging()) {
    dialogs_.Notify("Start Data Logging ignored: the scan already logs to " + files.RawPath() +
                    ".");
  } else if (!loggingStart) {
    dialogs_.Notify(files.Logging() ? "Start Acquisition ignored: a logging scan is running."
                                    : "Start Acquisition ignored: the scan is already running.");
  } else {
    return false;  // a scan without logging switches to logging
  }
  return true;
}

void CVESKDoc::StartAcquisition() {
  if (StartIgnored(false)) return;
  if (!connected_) {
    dialogs_.ShowMessage(kPortNotReady, "", MessageIcon::Error);
    return;
  }
  if (!counterResponding_ && !dialogs_.AskYesNo(kCounterInactive)) return;
  session_.Files().PrepareDump();
  StartScan();
}

void CVESKDoc::StartDataLogging() {
  if (StartIgnored(true)) return;
  if (!connected_) {
    dialogs_.ShowMessage(kPortNotReady, "", MessageIcon::Error);
    return;
  }
  // A running scan has its counter already: switching it to files needs no question.
  if (!scanning_ && !counterResponding_ && !dialogs_.AskYesNo(kCounterInactive)) return;
  // The data directory in force. A running scan's threads use the port settings: then only
  // the directory is read again.
  std::string dir;
  if (scanning_) {
    dir = ConfiguredDataDir(store_);
  } else {
    LoadPortSettings();
    dir = DataDirectory();
  }
  settings_.useDefaultFileNaming = store_.ReadBool(keys::kUseDefaultFileNaming);
  const bool automaticName = settings_.useDefaultFileNaming;
  std::string stem;
  if (automaticName) {
    CreateDirectories(dir);
    stem = AutomaticStem(dir, clock_.LocalTime());
  } else {
    std::optional<std::string> chosen = ChooseCustomStem(dir);
    if (!chosen) return;
    stem = *chosen;
  }
  // A running scan goes on with the files it has; nothing is renamed.
  if (!DataDirectoryWritable(dir)) return;
  if (replaceExisting_) {
    const OldFilesMoved moved = RenameOldDataFiles(dir + stem + ".bin", dir + stem + ".dat");
    if (!moved.ok) {
      dialogs_.ShowMessage(kOldFilesNotMoved + moved.error, "", MessageIcon::Error);
      return;
    }
    if (!moved.text.empty()) dialogs_.Notify("Existing files kept: " + moved.text + ".");
  }
  // The names are taken now, with exclusive creation: two programs logging into one folder
  // never share a recording, and an automatic name taken meanwhile gives way to the next.
  std::string reserveError;
  std::optional<std::string> reserved = ReserveRecording(dir, stem, automaticName, reserveError);
  if (!reserved) {
    dialogs_.ShowMessage(kRecordingNotCreated + reserveError, "", MessageIcon::Error);
    return;
  }
  stem = *reserved;
  if (scanning_) {
    session_.Files().SwitchRecording(dir, stem, WindowCopy());
    windows_.SetPaneText(kPaneDest, "  Dest: " + dir + stem + ".bin  ");
    return;
  }
  session_.Files().PrepareRecording(dir, stem);
  if (StartScan()) {
    windows_.SetPaneText(kPaneDest, "  Dest: " + DataDirectory() + stem + ".bin  ");
  } else {
    // Nothing was recorded: the names taken above are given back.
    for (const char* ext : {".bin", ".dat"}) ::unlink((dir + stem + ext).c_str());
  }
}

std::optional<std::string> CVESKDoc::ChooseCustomStem(const std::string& dir) {
  // The dump's own name is never proposed for a recording: an automatic name stands in.
  std::string proposed = store_.Read(keys::kLastDataFileName);
  if (proposed.empty() || proposed == kPreloggingStem) {
    proposed = AutomaticStem(dir, clock_.LocalTime());
  }
  for (bool again = false;; again = true) {
    const std::optional<std::string> chosen = dialogs_.AskDataFileName(proposed, dir, again);
    if (!chosen) return std::nullopt;
    const std::string stem = FileTitle(*chosen);
    // Names other systems (a share, a shell, the office's computers) cannot take are refused.
    if (stem.empty() || stem.find_first_of(kForbiddenNameCharacters) != std::string::npos) {
      dialogs_.ShowMessage(kNameRefused, "", MessageIcon::Error);
      continue;
    }
    if (stem == kPreloggingStem) {
      dialogs_.ShowMessage(kDumpNameRefused, "", MessageIcon::Error);
      continue;
    }
    // The files are written in the data directory whatever folder the dialog showed, so
    // that is where an existing recording must be looked for.
    const std::string rawPath = dir + stem + ".bin";
    const std::string datPath = dir + stem + ".dat";
    if (PathExists(rawPath) || PathExists(datPath)) {
      if (!OverwriteCheck(rawPath, datPath)) {
        dialogs_.ShowMessage(kCannotOverwrite, "", MessageIcon::Error);
        continue;
      }
      replaceExisting_ = true;
    }
    store_.Write(keys::kLastDataFileName, stem);
    return stem;
  }
}

bool CVESKDoc::DataDirectoryWritable(const std::string& dir) {
  std::string reason;
  if (!CreateDirectories(dir)) {
    struct stat st {};
    reason =
        ::stat(dir.c_str(), &st) == 0 || errno == ENOTDIR ? "not a folder" : std::strerror(errno);
  } else if (::access(dir.c_str(), W_OK | X_OK) != 0) {
    reason = std::strerror(errno);
  } else {
    return true;
  }
  dialogs_.ShowMessage(kDataDirUnwritable + dir + ": " + reason + kDataDirAdvice, "",
                       MessageIcon::Error);
  return false;
}

void CVESKDoc::PreparePlayback(const std::string& fullPath) {
  session_.Files().PreparePlayback(fullPath);
  windows_.SetPaneText(kPaneSource, "  Source: " + fullPath + "  ");
  windows_.SetPaneText(kPaneDest, "  Dest: " + DataDirectory() + "  ");
}

bool CVESKDoc::StartScan() {
  if (scanning_) return false;  // one scan at a time: its threads are never started twice
  if (session_.HasThreads()) session_.Stop();  // a scan that ended on its own
  ResetForScan();
  LoadPortSettings();
  LoadNavSettings();
  // Every scan writes in the data directory (the pre-logging files, the recording or the
  // playback's .dat): one clear message rather than one per file that cannot be opened.
  ScanFiles& files = session_.Files();
  if (!DataDirectoryWritable(files.DataDirectory())) return false;

  if (files.Playback()) {
    files.NamePlaybackDat(clock_.LocalTime());
  } else {
    if (!SendScanAll()) {
      windows_.SetPaneText(kPaneStart, "  Start-Logging Error  ");
      dialogs_.ShowMessage("Start-Logging Error.", "ERROR", MessageIcon::Error);
      return false;
    }
    commands_.Clear();  // a stop queued while idle must not stop the new scan
  }
  // The .dat is written anew: event marks beside an older one of its name are not its own.
  ::unlink(MarksPath(files.DatPath()).c_str());
  scanning_ = true;
  ++scanNumber_;
  windows_.Send(WindowTarget::AllViews, Uwm::StartGrid);
  windows_.Send(WindowTarget::AllViews, Uwm::StartGraph);
  windows_.Send(WindowTarget::Popup, Uwm::StartBinnedDataPopup);
  // The threads read a copy of the settings without locks; a change the user makes during
  // the scan reaches the processing through the session's channel.
  session_.Start(settings_, catalogue_.Find(settings_.scan.ctdModel), recordSink_);
  scanStartTime_ = clock_.LocalTime();
  windows_.SetPaneText(kPaneStart, "  " + FormatTime(scanStartTime_, "%H:%M:%S") + "  ");
  if (!files.Logging()) {
    windows_.SetPaneText(kPaneDest, "  Dest: NOT LOGGING !!!  ");
  } else if (!files.Playback()) {
    windows_.SetPaneText(kPaneDest, "  Dest: " + files.RawName() + "  ");
  } else {
    windows_.SetPaneText(kPaneDest, "  Dest: " + files.DatPath() + "  ");
  }
  return true;
}

bool CVESKDoc::SendScanAll() {
  if (!connected_) {
    dialogs_.ShowMessage(kCannotSendInit, "WARNING - Error", MessageIcon::Warning);
    return false;
  }
  windows_.SetPaneText(kPaneState, "  Sending 'Scan All'  ");
  try {
    counterSerial_.Purge(kPurgeRxClear | kPurgeTxClear);
    counterSerial_.Write("a", 1);
  } catch (const CSerialException& e) {
    dialogs_.ShowMessage(kCannotSendInit + std::string("\n\n") + e.what(), "WARNING - Error",
                         MessageIcon::Warning);
    return false;
  }
  return true;
}

std::string CVESKDoc::CounterDeviceName() const {
  const PortSettings& p = settings_.counterPort;
  return p.device.empty() ? "/dev/ttyS" + std::to_string(p.port - 1) : p.device;
}

void CVESKDoc::QueueStopScan() {
  windows_.SetPaneText(kPaneState, "  Stopping Scan  ");
  QueueCommand("q");
}

void CVESKDoc::QueueCommand(std::string command) {
  commands_.Push(std::move(command));
}

void CVESKDoc::TakeSnapShot() {
  snapshot_.Begin();
  QueueCommand("r");
  snapshotPending_ = true;
  snapshotSent_ = std::chrono::steady_clock::now();
}

void CVESKDoc::StopScan() {
  scanning_ = false;
  const bool playback = session_.Files().Playback();
  if (playback) {
    windows_.SetPaneText(kPaneState, "  Scan Stopped (Idle)  ");
  } else {
    QueueStopScan();
  }
  session_.Stop();
  session_.Files().EndScan();
  lastScanStatus_ = StatusSnapshot();
  if (playback && Playback().noCounterFrames) {
    // A file that is no recording leaves no .dat (nor an export of it) behind.
    const std::string dat = DatPath();
    for (const std::string& path : {dat, ExportPath(dat, ".csv"), ExportPath(dat, "_mep.csv")}) {
      ::unlink(path.c_str());
    }
    for (const char* suffix : kProfileFileSuffixes) ::unlink(ExportPath(dat, suffix).c_str());
  }
  // A counter that streamed until the stop is alive: a start soon after must not ask.
  const std::chrono::steady_clock::time_point lastByte = session_.LastByte();
  if (!playback && lastByte > lastHeard_) {
    lastHeard_ = lastByte;
    counterResponding_ =
        connected_ && std::chrono::steady_clock::now() - lastHeard_ < kRespondingWindow;
  }
  windows_.Send(WindowTarget::AllViews, Uwm::StopGrid);
  windows_.Send(WindowTarget::AllViews, Uwm::StopGraph);
  windows_.Send(WindowTarget::Popup, Uwm::StopBinnedDataPopup);
  results_.ClearTables();
  windows_.SetPaneText(kPaneState, "\tIDLE\t");
  replaceExisting_ = false;
}

void CVESKDoc::TellSnapshot(const SnapshotReply& reply) {
  switch (reply.outcome) {
    case SnapshotOutcome::None: return;
    case SnapshotOutcome::Done: dialogs_.Notify(kSnapshotTaken + reply.line); break;
    case SnapshotOutcome::Failed:
      dialogs_.QueueMessage(kSnapshotFailed + reply.line, kSnapshotCaption, MessageIcon::Warning);
      break;
    case SnapshotOutcome::NoAnswer: {
      char text[256];
      std::snprintf(text, sizeof text, kSnapshotNoAnswer, kSnapshotAnswerSeconds);
      dialogs_.QueueMessage(text, kSnapshotCaption, MessageIcon::Warning);
      break;
    }
  }
  snapshotPending_ = false;
  snapshot_.End();
}

CVESKDoc::CounterStatus CVESKDoc::PollCounterStatus() {
  CounterStatus status;
  const auto now = std::chrono::steady_clock::now();
  if (!connected_ && !scanning_ && autoReconnect_ && !portReleased_ && now >= nextReconnect_) {
    nextReconnect_ = now + kReconnectInterval;
    if (ConnectCounterPort(false)) {
      dialogs_.Notify("The counter port " + counterSerial_.DevicePath() + " is open.");
    }
  }
  if (connected_ && !scanning_) {
    char buf[1024];
    std::string block;
    try {
      for (;;) {
        const std::size_t n = counterSerial_.Read(buf, sizeof buf, 0);
        if (n == 0) break;
        lastHeard_ = now;
        idleText_.append(buf, n);
        if (snapshot_.Watching()) snapshot_.Feed(std::string_view(buf, n));
      }
    } catch (const CSerialException& e) {
      if (e.IsDeviceGone()) {
        // Unplugged while idle: closed now, so that the device is opened anew when it
        // returns rather than every later start failing on the dead one.
        counterSerial_.Close();
        connected_ = false;
        lastHeard_ = {};
        dialogs_.Notify("The counter's serial device has gone away (" + std::string(e.what()) +
                        "); it is opened again when it returns.");
      } else if (!std::exchange(idleReadErrorTold_, true)) {
        dialogs_.Notify(std::string(kCounterReadError) + " (" + e.what() +
                        ") between scans; it is read on.");
      }
    }
    // Complete lines that arrived since the last poll form the counter's latest text block.
    const std::size_t lastLineEnd = idleText_.find_last_of('\n');
    if (lastLineEnd != std::string::npos) {
      block = idleText_.substr(0, lastLineEnd + 1);
      idleText_.erase(0, lastLineEnd + 1);
    }
    if (idleText_.size() > kEepromTextLimit)
      idleText_.erase(0, idleText_.size() - kEepromTextLimit);
    if (block.size() > kEepromTextLimit) block.erase(0, block.size() - kEepromTextLimit);
    // The text goes into every file header, which readers end at the first "~": noise of
    // the line (control bytes, a stray frame) is no part of it.
    block.erase(std::remove_if(block.begin(), block.end(),
                               [](char c) {
                                 const auto u = static_cast<unsigned char>(c);
                                 const bool text =
                                     (u >= 0x20 && u < 0x7F) || c == '\r' || c == '\n' || c == '\t';
                                 return !text || c == '~';
                               }),
                block.end());
    if (block.find_first_not_of(" \r\n\t") == std::string::npos) block.clear();
    if (!block.empty()) {
      if (block != settings_.eepromData) {
        settings_.eepromData = block;
        store_.Write(keys::kVeskEepromData, block);
        status.newEepromText = true;
      }
    }
  }
  if (snapshotPending_) {
    status.snapshot = snapshot_.Reply();
    if (status.snapshot.outcome == SnapshotOutcome::None && now - snapshotSent_ > kSnapshotTimeout)
      status.snapshot.outcome = SnapshotOutcome::NoAnswer;
    TellSnapshot(status.snapshot);
  }
  counterResponding_ = connected_ && lastHeard_.time_since_epoch().count() != 0 &&
                       now - lastHeard_ < kRespondingWindow;
  status.responding = counterResponding_;
  status.snapshotInProgress = snapshotPending_;
  return status;
}

}  // namespace vesk
