// The scan's output files: opening them with their headers, and what a failed write does.

#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "acquisition/source_threads.h"
#include "acquisition/vesk_doc.h"
#include "files/file_naming.h"

namespace vesk {
namespace {

constexpr const char* kDatOpenError = "Error opening DAT file - Performing STOP LOGGING.";

}  // namespace

bool CVESKDoc::OpenBinFile(HeaderSettings h) {
  if (!rawFile_.Create(DataPath(rawFileName_), BuildFileHeader(h))) {
    dialogs_.QueueMessage(std::string(kBinOpenError) + "\n\n" + DataPath(rawFileName_) + ": " +
                          rawFile_.Error());
    StopForFault();
    return false;
  }
  rawFailureTold_ = false;
  return true;
}

bool CVESKDoc::OpenDatFile(HeaderSettings h) {
  const bool ok =
      datFile_.Create(DataPath(processedFileName_),
                      h.settings.addHeaderToDatFile ? BuildFileHeader(h) : std::string());
  if (!ok) {
    dialogs_.QueueMessage(std::string(kDatOpenError) + "\n\n" + DataPath(processedFileName_) +
                          ": " + datFile_.Error());
    StopForFault();
  } else {
    datFailureTold_ = false;
  }
  return ok;
}

void CVESKDoc::ReportWriteFailure(const DataFile& file, bool raw, const char* lead) {
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
  dialogs_.QueueMessage(text, "", MessageIcon::Warning);
  if (stop) StopForFault();
}

void CVESKDoc::SuspendLogging(const DataFile& file) {
  if (loggingSuspended_.exchange(true)) return;
  // Each file ends where its last whole write ended; nothing more is written to them.
  const std::string datPath = datFile_.Path();
  rawFile_.Close();
  datFile_.Close();
  NoteScanEvent("logging stopped: the disk is full", datPath);
  char resume[160];
  std::snprintf(resume, sizeof resume, "%d MB", std::max(1, scan_.lowDiskSpaceMb));
  dialogs_.QueueMessage(
      "WARNING !!\n\nThe disk is full: " + file.Path() + " cannot be written (" + file.Error() +
          ").\n\nLogging is suspended; the scan goes on (displays, published records, alarms). "
          "The files keep everything written before this. Logging resumes in new files once " +
          resume + " are free in " + DataDirectory() + ".",
      "", MessageIcon::Warning);
  windows_.SetPaneText(kPaneState, "  Logging suspended - disk full  ");
}

void CVESKDoc::ResumeLoggingWhenSpace() {
  if (!loggingSuspended_ || !scanning_) return;
  std::lock_guard names(fileNameLock_);
  struct statvfs st {};
  if (::statvfs(dataDir_.c_str(), &st) != 0 ||
      static_cast<double>(st.f_bavail) * static_cast<double>(st.f_frsize) <
          std::max(1, scan_.lowDiskSpaceMb) * 1e6) {
    return;
  }
  // A new pair, never the old names: an automatic name of this time, or the custom name
  // with the next free number.
  const std::string stem = rawFileName_.substr(0, rawFileName_.size() - 4);
  std::string error;
  const std::optional<std::string> taken = ReserveRecording(
      dataDir_, scan_.useDefaultFileNaming ? AutomaticStem(dataDir_, clock_.LocalTime()) : stem,
      true, error);
  if (!taken) return;  // tried again at the next look
  const HeaderSettings h = ScanCopy();
  const std::string header = BuildFileHeader(h);
  if (!rawFile_.Create(DataPath(*taken + ".bin"), header) ||
      !datFile_.Create(DataPath(*taken + ".dat"),
                       h.settings.addHeaderToDatFile ? header : std::string())) {
    rawFile_.Close();
    datFile_.Close();
    for (const char* ext : {".bin", ".dat"}) ::unlink(DataPath(*taken + ext).c_str());
    return;
  }
  rawFileName_ = *taken + ".bin";
  processedFileName_ = *taken + ".dat";
  nmeaGate_.Reset();
  rawFailureTold_ = datFailureTold_ = false;
  loggingSuspended_ = false;
  NoteScanEvent("logging resumed: the disk has room again", DataPath(processedFileName_));
  dialogs_.Notify("Logging resumed: the disk has room again; the recording goes on in " +
                  DataPath(rawFileName_) + ".");
  windows_.SetPaneText(kPaneState, "  Logging - resumed  ");
  windows_.SetPaneText(kPaneDest, "  Dest: " + DataPath(rawFileName_) + "  ");
}

}  // namespace vesk
