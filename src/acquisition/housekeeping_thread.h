#pragma once
// The housekeeping thread of a scan: while it logs, every two seconds, it writes again the
// files whose folder was removed, syncs both to the disk (a power cut loses at most the last
// couple of seconds), warns when the data folder runs short of space, and resumes logging
// suspended by a full disk once there is room again.

#include <atomic>

#include "acquisition/event.h"
#include "acquisition/scan_files.h"
#include "acquisition/scan_reports.h"

namespace vesk {

struct HousekeepingContext {
  Event& stop;
  ScanFiles& files;
  ScanReports& reports;
  const std::atomic<bool>& scanning;  // false once the scan's stop has begun
  int lowDiskSpaceMb;                 // the warning's limit
};

void HousekeepingThread(HousekeepingContext context);

}  // namespace vesk
