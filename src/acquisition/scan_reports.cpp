#include "acquisition/scan_reports.h"

#include <utility>

#include "control/live_records.h"

namespace vesk {

void ScanReports::StopForFault() {
  stoppedByFault_ = true;
  windows_.Post(WindowTarget::MainFrame, Uwm::PerformStop);
}

void ScanReports::NoteEvent(std::string note, std::string datPath) {
  ScanEvent e{std::move(note), UtcNow(), results_.LFrames(), std::move(datPath)};
  std::lock_guard lock(eventsLock_);
  events_.push_back(std::move(e));
}

std::vector<ScanEvent> ScanReports::TakeEvents() {
  std::lock_guard lock(eventsLock_);
  return std::exchange(events_, {});
}

}  // namespace vesk
