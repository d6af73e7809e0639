#pragma once
// How a running scan tells what befalls it: messages to the user (queued, so that no scan
// thread waits on a window), the status panes, the event marks of the scan, and the stop it
// asks of the window after a fault.

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "acquisition/window_messages.h"
#include "processing/scan_results.h"
#include "seams/user_dialogs.h"

namespace vesk {

// Something that befell a running scan, for an automatic mark in the .mrk beside `datPath`
// (the .dat written at that moment).
struct ScanEvent {
  std::string note;
  double epochSeconds = 0;
  std::uint32_t lFrameIndex = 0;
  std::string datPath;
};

class ScanReports {
 public:
  ScanReports(UserDialogs& dialogs, WindowMessages& windows, const ScanResults& results)
      : dialogs_(dialogs), windows_(windows), results_(results) {}

  // A message box for the user, queued.
  void Message(const std::string& text, MessageIcon icon = MessageIcon::None) {
    dialogs_.QueueMessage(text, "", icon);
  }
  // A note the user sees without a box.
  void Notify(const std::string& text) { dialogs_.Notify(text); }
  void Pane(int pane, const std::string& text) { windows_.SetPaneText(pane, text); }
  // A message to the windows (the main frame relays it).
  void Post(WindowTarget target, Uwm message) { windows_.Post(target, message); }

  // A fault that ends the scan (a file or port that cannot be opened or written, a thread
  // that failed): the main frame is asked to stop the scan.
  void StopForFault();
  // True when the last scan was ended by a fault (reset at each scan start).
  bool StoppedByFault() const { return stoppedByFault_; }
  // Notes an event of the running scan for its marks, at the L frame it came with.
  void NoteEvent(std::string note, std::string datPath);
  // The events since the last call, oldest first.
  std::vector<ScanEvent> TakeEvents();
  // A new scan: no fault yet.
  void StartScan() { stoppedByFault_ = false; }

 private:
  UserDialogs& dialogs_;
  WindowMessages& windows_;
  const ScanResults& results_;
  std::atomic<bool> stoppedByFault_{false};
  std::mutex eventsLock_;
  std::vector<ScanEvent> events_;
};

}  // namespace vesk
