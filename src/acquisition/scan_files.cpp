// The scan's output files: their names, opening them with their headers, and what a failed
// write does.

#include "acquisition/scan_files.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "files/file_header.h"
#include "files/file_naming.h"
#include "files/mark_log.h"
#include "instruments/nmea_capture.h"
#include "seams/settings_keys.h"

namespace vesk {
namespace {

constexpr const char* kDatOpenError = "Error opening DAT file - Performing STOP LOGGING.";

}  // namespace

std::string DefaultDataDir() {
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr && *home != '\0' ? home : ".") + "/VESK/";
}

std::string ConfiguredDataDir(const SettingsStore& store) {
  const std::string dir = store.Read(keys::kDataDir);
  return dir.empty() ? DefaultDataDir() : WithTrailingSlash(dir);
}

std::string WithTrailingSlash(std::string dir) {
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  if (dir != "/") dir += '/';
  return dir;
}

ScanFiles::ScanFiles(const SettingsStore& store, const Clock& clock, ScanReports& reports)
    : store_(store), clock_(clock), reports_(reports) {}

void ScanFiles::SetDataDir(const std::string& dir) {
  std::lock_guard names(nameLock_);
  dataDir_ = dir;
}

void ScanFiles::PrepareDump() {
  std::lock_guard names(nameLock_);
  rawFileName_ = std::string(kPreloggingStem) + ".bin";
  processedFileName_ = std::string(kPreloggingStem) + ".dat";
  logging_ = false;
}

void ScanFiles::PrepareRecording(const std::string& dir, const std::string& stem) {
  std::lock_guard names(nameLock_);
  dataDir_ = dir;
  rawFileName_ = stem + ".bin";
  processedFileName_ = stem + ".dat";
  logging_ = true;
}

void ScanFiles::PreparePlayback(const std::string& path) {
  std::lock_guard names(nameLock_);
  playback_ = true;
  rawFileName_ = path;
  // The .dat is named when the playback starts (its name carries that time): until then
  // only its folder is known.
  processedFileName_.clear();
}

void ScanFiles::NamePlaybackDat(const std::tm& now) {
  std::lock_guard names(nameLock_);
  const std::string name = PlaybackDatName(rawFileName_, now);
  processedFileName_ = UniqueStem(dataDir_, name.substr(0, name.size() - 4)) + ".dat";
}

void ScanFiles::BeginScan(const DocumentSettings& scan, const CtdModelEntry* ctd) {
  scan_ = &scan;
  scanCtd_ = ctd;
}

void ScanFiles::StartScan() {
  suspended_ = false;
  nmeaGate_.Reset();
}

std::string ScanFiles::DataDirectory() const {
  std::lock_guard names(nameLock_);
  return dataDir_;
}

std::string ScanFiles::DatPath() const {
  std::lock_guard names(nameLock_);
  return processedFileName_.empty() ? std::string() : dataDir_ + processedFileName_;
}

std::string ScanFiles::RawPath() const {
  std::lock_guard names(nameLock_);
  return rawFileName_.empty() || playback_ ? std::string() : dataDir_ + rawFileName_;
}

std::string ScanFiles::RawName() const {
  std::lock_guard names(nameLock_);
  return rawFileName_;
}

std::string ScanFiles::PlayedPath() const {
  std::lock_guard names(nameLock_);
  return playback_ ? rawFileName_ : std::string();
}

std::string ScanFiles::Header(HeaderSettings h) const {
  std::lock_guard names(nameLock_);
  return HeaderLocked(h);
}

std::string ScanFiles::HeaderLocked(HeaderSettings h) const {
  const DocumentSettings& s = h.settings;
  const std::tm now = clock_.LocalTime();
  if (playback_) return BuildPlaybackHeader(now, rawFileName_);
  LiveHeaderInputs in;
  in.now = now;
  in.userSuppliedFileHeader = s.userSuppliedFileHeader;
  in.ctdModel = s.scan.ctdModel;
  in.ctdEntry = h.ctd;
  in.instrInputViaMux = s.scan.instrInputViaMux;
  in.surveyLat = s.scan.surveyLat;
  in.standardTunnel = s.scan.standardTunnel;
  in.dataDir = dataDir_;
  in.useDefaultFileNaming = s.useDefaultFileNaming;
  return BuildLiveHeader(in, store_);
}

void ScanFiles::SwitchRecording(const std::string& dir, const std::string& stem,
                                HeaderSettings window) {
  // The threads keep running; their output goes to the new files from here on. Each file
  // is swapped under its own lock, so no byte is lost or written twice.
  std::lock_guard names(nameLock_);
  dataDir_ = dir;
  rawFileName_ = stem + ".bin";
  processedFileName_ = stem + ".dat";
  logging_ = true;
  nmeaGate_.Reset();
  if (!playback_) OpenBinLocked(window);
  OpenDatLocked(window);
}

bool ScanFiles::OpenBin() {
  std::lock_guard names(nameLock_);
  return OpenBinLocked(ScanCopy());
}

bool ScanFiles::OpenBinLocked(HeaderSettings h) {
  if (!raw_.Create(DataPath(rawFileName_), HeaderLocked(h))) {
    reports_.Message(std::string(kBinOpenError) + "\n\n" + DataPath(rawFileName_) + ": " +
                     raw_.Error());
    reports_.StopForFault();
    return false;
  }
  rawFailureTold_ = false;
  return true;
}

bool ScanFiles::OpenDatLocked(HeaderSettings h) {
  const bool ok = dat_.Create(DataPath(processedFileName_),
                              h.settings.addHeaderToDatFile ? HeaderLocked(h) : std::string());
  if (!ok) {
    reports_.Message(std::string(kDatOpenError) + "\n\n" + DataPath(processedFileName_) + ": " +
                     dat_.Error());
    reports_.StopForFault();
  } else {
    datFailureTold_ = false;
  }
  return ok;
}

ScanFiles::DatOpened ScanFiles::OpenDat() {
  std::lock_guard names(nameLock_);
  DatOpened opened;
  opened.ok = OpenDatLocked(ScanCopy());
  opened.datPath = DataPath(processedFileName_);
  opened.header = playback_ ? ReadRawHeader(rawFileName_, 1u << 20) : HeaderLocked(ScanCopy());
  opened.sourcePath = rawFileName_;
  // A recording's marks are beside it; a live scan's beside the .dat it writes.
  opened.marksPath = MarksPath(playback_ ? rawFileName_ : opened.datPath);
  return opened;
}

void ScanFiles::WriteRaw(std::string_view bytes) {
  if (raw_.Write(bytes)) return;
  if (raw_.IsOpen()) ReportWriteFailure(raw_, true);
}

bool ScanFiles::WriteRecords(std::string_view records) {
  if (dat_.Write(records)) return true;
  if (dat_.IsOpen()) ReportWriteFailure(dat_, false);
  return false;
}

void ScanFiles::WriteNmeaGroup(std::string_view group, bool initialOnly) {
  if (!logging_ || !nmeaGate_.Allows(initialOnly)) return;
  if (dat_.Write(group)) {
    nmeaGate_.Written();
  } else if (dat_.IsOpen()) {
    ReportWriteFailure(dat_, false, kNmeaWriteError);
  }
}

std::string ScanFiles::RestoreUnlinked(const std::string& fallbackDir) {
  std::string restored;
  for (DataFile* file : {&raw_, &dat_}) {
    if (const std::optional<std::string> path = file->RestoreIfUnlinked(fallbackDir)) {
      restored += (restored.empty() ? "" : " and ") + *path;
    }
  }
  return restored;
}

void ScanFiles::Sync() {
  if (!raw_.Sync()) ReportWriteFailure(raw_, true);
  if (!dat_.Sync()) ReportWriteFailure(dat_, false);
}

void ScanFiles::ReportWriteFailure(const DataFile& file, bool raw, const char* lead) {
  // A full disk frees up again (the operator deletes old files, a quota is raised): a live
  // scan goes on and logs again once there is room.
  if (file.OutOfSpace() && logging_ && !playback_) {
    SuspendLogging(file);
    return;
  }
  if ((raw ? rawFailureTold_ : datFailureTold_).exchange(true)) return;
  // A recording (or a playback's .dat) that cannot be written ends the scan cleanly: the
  // file keeps every whole write before the failure and gets no gap. The pre-logging dump
  // is no recording: acquisition goes on without it.
  const bool stop = logging_ || playback_;
  std::string text = lead != nullptr ? std::string(lead) + file.Error() + "\n\n" : "WARNING !!\n\n";
  text += "The " + std::string(raw ? "raw" : "processed") + " data file " + file.Path() +
          " cannot be written: " + file.Error() + "\n\n";
  text += stop ? "Logging is stopped; the file keeps everything written before this."
               : "Acquisition goes on without this file.";
  reports_.Message(text, MessageIcon::Warning);
  if (stop) reports_.StopForFault();
}

int ScanFiles::ResumeSpaceMb() const {
  return std::max(1, scan_->lowDiskSpaceMb);
}

void ScanFiles::SuspendLogging(const DataFile& file) {
  if (suspended_.exchange(true)) return;
  // Each file ends where its last whole write ended; nothing more is written to them.
  const std::string datPath = dat_.Path();
  raw_.Close();
  dat_.Close();
  reports_.NoteEvent("logging stopped: the disk is full", datPath);
  char resume[160];
  std::snprintf(resume, sizeof resume, "%d MB", ResumeSpaceMb());
  reports_.Message(
      "WARNING !!\n\nThe disk is full: " + file.Path() + " cannot be written (" + file.Error() +
          ").\n\nLogging is suspended; the scan goes on (displays, published records, alarms). "
          "The files keep everything written before this. Logging resumes in new files once " +
          resume + " are free in " + DataDirectory() + ".",
      MessageIcon::Warning);
  reports_.Pane(kPaneState, "  Logging suspended - disk full  ");
}

void ScanFiles::ResumeWhenSpace() {
  if (!suspended_) return;
  std::lock_guard names(nameLock_);
  struct statvfs st {};
  if (::statvfs(dataDir_.c_str(), &st) != 0 ||
      static_cast<double>(st.f_bavail) * static_cast<double>(st.f_frsize) < ResumeSpaceMb() * 1e6) {
    return;
  }
  // A new pair, never the old names: an automatic name of this time, or the custom name
  // with the next free number.
  const std::string stem = rawFileName_.substr(0, rawFileName_.size() - 4);
  std::string error;
  const std::optional<std::string> taken = ReserveRecording(
      dataDir_, scan_->useDefaultFileNaming ? AutomaticStem(dataDir_, clock_.LocalTime()) : stem,
      true, error);
  if (!taken) return;  // tried again at the next look
  const HeaderSettings h = ScanCopy();
  const std::string header = HeaderLocked(h);
  if (!raw_.Create(DataPath(*taken + ".bin"), header) ||
      !dat_.Create(DataPath(*taken + ".dat"),
                   h.settings.addHeaderToDatFile ? header : std::string())) {
    raw_.Close();
    dat_.Close();
    for (const char* ext : {".bin", ".dat"}) ::unlink(DataPath(*taken + ext).c_str());
    return;
  }
  rawFileName_ = *taken + ".bin";
  processedFileName_ = *taken + ".dat";
  nmeaGate_.Reset();
  rawFailureTold_ = datFailureTold_ = false;
  suspended_ = false;
  reports_.NoteEvent("logging resumed: the disk has room again", DataPath(processedFileName_));
  reports_.Notify("Logging resumed: the disk has room again; the recording goes on in " +
                  DataPath(rawFileName_) + ".");
  reports_.Pane(kPaneState, "  Logging - resumed  ");
  reports_.Pane(kPaneDest, "  Dest: " + DataPath(rawFileName_) + "  ");
}

}  // namespace vesk
