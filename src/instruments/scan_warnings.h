#pragma once
// Warnings that bad instrument input would otherwise raise once per line: each text is
// queued to the user once per scan, and later occurrences are only counted. Worker threads
// share it, so it takes its own lock.

#include <map>
#include <mutex>
#include <string>

#include "seams/user_dialogs.h"

namespace vesk {

class ScanWarnings {
 public:
  // Queues `text` (plus `detail`) the first time `text` occurs in this scan; counts it always.
  void Raise(UserDialogs& dialogs, const std::string& text, const std::string& detail = "",
             MessageIcon icon = MessageIcon::Warning);
  // How often `text` occurred in this scan.
  int Count(const std::string& text) const;
  // A new scan: every warning may be shown again.
  void Reset();

 private:
  mutable std::mutex mutex_;
  std::map<std::string, int> counts_;
};

}  // namespace vesk
