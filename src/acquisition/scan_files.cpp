// The scan's output files: opening them with their headers, and what a failed write does.

#include <string>

#include "acquisition/source_threads.h"
#include "acquisition/vesk_doc.h"

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

}  // namespace vesk
