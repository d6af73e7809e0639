#pragma once
// The files of the document's scans: their folder and names, the open .bin and .dat with
// their headers, what a failed write does (a full disk suspends logging until there is room
// again; another failure is told once and stops a recording), and the "log initial NMEA
// sample only" gate of the .dat. The names are set for the next scan on the user-interface
// thread and switched under their lock while a scan runs; the scan's threads write the files.

#include <atomic>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "acquisition/document_settings.h"
#include "acquisition/scan_reports.h"
#include "files/data_file.h"
#include "instruments/ctd_catalogue.h"
#include "instruments/nmea_log_gate.h"
#include "seams/clock.h"
#include "seams/settings_store.h"

namespace vesk {

inline constexpr const char* kPreloggingStem = "VESK_PRELOGGING_DATADUMP";

// The settings a header shows, with their CTD model's catalogue entry (null: none).
struct HeaderSettings {
  const DocumentSettings& settings;
  const CtdModelEntry* ctd;
};

// A raw file (the recording, or the one played back) that cannot be opened.
inline constexpr const char* kBinOpenError =
    "Error opening Bin data file -  - Performing STOP LOGGING.";

class ScanFiles {
 public:
  ScanFiles(const SettingsStore& store, const Clock& clock, ScanReports& reports);

  // --- the next scan's files (user-interface thread, no scan running) --------------------
  void SetDataDir(const std::string& dir);
  // The pre-logging dump files of a scan without logging.
  void PrepareDump();
  // A recording named `stem` (.bin and .dat) in `dir`.
  void PrepareRecording(const std::string& dir, const std::string& stem);
  // A playback of `path`: its .dat is named when the playback starts.
  void PreparePlayback(const std::string& path);
  void EndPlayback() { playback_ = false; }
  // The playback's .dat, named after the played file and the start time `now`.
  void NamePlaybackDat(const std::tm& now);
  // The scan to come (or running) reads these settings for its headers and its disk limits.
  void BeginScan(const DocumentSettings& scan, const CtdModelEntry* ctd);

  // --- a running scan --------------------------------------------------------------------
  // Switches a running scan to a new recording; the new files begin with the header of
  // `window` (user-interface thread).
  void SwitchRecording(const std::string& dir, const std::string& stem, HeaderSettings window);
  // Opens the .bin with the scan's header (serial source thread); on failure the user is
  // told and a stop asked for.
  bool OpenBin();
  // Opens the .dat (processing thread), with the header when the option is on; on failure
  // as above. What the exports begin with comes back with it.
  struct DatOpened {
    bool ok = false;
    std::string datPath;
    std::string header;      // the live header, or the played recording's own
    std::string sourcePath;  // the recording written or played
    std::string marksPath;   // the marks beside the recording
  };
  DatOpened OpenDat();
  // Raw bytes as they came (serial source thread); a file that stops taking them is told.
  void WriteRaw(std::string_view bytes);
  // Records for the .dat; false when they were not written (told once).
  bool WriteRecords(std::string_view records);
  // An NMEA group of the auxiliary port while logging, as far as the gate lets it.
  void WriteNmeaGroup(std::string_view group, bool initialOnly);
  NmeaLogGate& NmeaGate() { return nmeaGate_; }
  // Files whose folder was removed are written again, whole, in a folder of that name or
  // else in `fallbackDir`: where they went (" and " between two), or "".
  std::string RestoreUnlinked(const std::string& fallbackDir);
  // Both files to the disk; a failure is told as a failed write.
  void Sync();
  // While logging is suspended: new files once the data folder has room again.
  void ResumeWhenSpace();
  void CloseRaw() { raw_.Close(); }
  void CloseDat() { dat_.Close(); }

  // --- what any thread may ask -------------------------------------------------------------
  bool Logging() const { return logging_; }
  bool Playback() const { return playback_; }
  // A logging scan whose disk is full: it goes on without files until space is back.
  bool LoggingSuspended() const { return suspended_; }
  std::string DataDirectory() const;
  // Where the scan writes its .dat now (empty when no scan ever started).
  std::string DatPath() const;
  // Where a live scan writes its .bin now (empty when no scan ever started).
  std::string RawPath() const;
  // The .bin's name alone (a playback: the played file's path).
  std::string RawName() const;
  // The recording a playback plays (empty otherwise).
  std::string PlayedPath() const;
  // The header of `h`: the live form, or the played file's header (playback form).
  std::string Header(HeaderSettings h) const;
  // A new scan: nothing suspended, nothing told, the NMEA sample may be written again.
  void StartScan();
  // The end of a scan: logging is no longer suspended.
  void EndScan() { suspended_ = false; }

 private:
  std::string DataPath(const std::string& name) const { return dataDir_ + name; }
  HeaderSettings ScanCopy() const { return {*scan_, scanCtd_}; }
  // The callers of these hold nameLock_.
  std::string HeaderLocked(HeaderSettings h) const;
  bool OpenBinLocked(HeaderSettings h);
  bool OpenDatLocked(HeaderSettings h);
  // An open file stopped taking writes: told once per file and scan; a logging scan or a
  // playback is then stopped. `lead` goes before the text when set.
  void ReportWriteFailure(const DataFile& file, bool raw, const char* lead = nullptr);
  // A full disk: the files are closed and the scan goes on without them.
  void SuspendLogging(const DataFile& file);
  int ResumeSpaceMb() const;

  const SettingsStore& store_;
  const Clock& clock_;
  ScanReports& reports_;
  const DocumentSettings* scan_ = nullptr;
  const CtdModelEntry* scanCtd_ = nullptr;
  std::atomic<bool> logging_{true};
  std::atomic<bool> playback_{false};
  std::atomic<bool> suspended_{false};
  std::atomic<bool> rawFailureTold_{false};
  std::atomic<bool> datFailureTold_{false};
  NmeaLogGate nmeaGate_;  // "log initial NMEA sample only", for both NMEA writers

  // The names while a scan runs: the user-interface thread changes them when logging
  // switches to new files, the housekeeping thread when logging resumes after a full disk;
  // the threads read them when they open theirs. Held across the change and the opening, so
  // a thread never reopens a file another has begun.
  mutable std::mutex nameLock_;
  std::string dataDir_;
  std::string rawFileName_;  // playback: the full path of the played file
  std::string processedFileName_;
  DataFile raw_;
  DataFile dat_;
};

// The data directory of an empty setting: ~/VESK/.
std::string DefaultDataDir();
// A directory text with exactly one trailing '/'.
std::string WithTrailingSlash(std::string dir);
// The data directory the settings name (with its trailing '/').
std::string ConfiguredDataDir(const SettingsStore& store);

}  // namespace vesk
