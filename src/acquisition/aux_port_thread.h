#pragma once
// The auxiliary port thread of a scan: NMEA sentences in from a navigation receiver (their
// position, the navigation viewer's lines and, while logging, the .dat), or every CTD line
// out to another device. A device that goes away is opened again when it returns, as the
// counter's is; the scan never waits on this thread.

#include <atomic>

#include "acquisition/document_settings.h"
#include "acquisition/event.h"
#include "acquisition/scan_files.h"
#include "acquisition/scan_reports.h"
#include "acquisition/serial_port.h"
#include "instruments/latest_line_mailbox.h"
#include "processing/scan_results.h"
#include "processing/scan_settings.h"

namespace vesk {

inline constexpr int kAuxNmeaInput = 1;
inline constexpr int kAuxCtdOutput = 2;

struct AuxPortContext {
  CSerialPort& port;
  const DocumentSettings& scan;  // the port, its mode and the navigation settings
  Event& stop;
  LatestLineMailbox& ctdOutput;  // the CTD lines to send out
  // The NMEA input's way: the position and viewer tables, the viewer's message when it is
  // open, the .dat while logging (the option to log the first sample only as the processing
  // has it now).
  ScanResults& results;
  const std::atomic<bool>& navViewerOpen;
  const ScanSettingsChannel& settings;
  ScanFiles& files;
  ScanReports& reports;
};

void AuxPortThread(AuxPortContext context);

}  // namespace vesk
