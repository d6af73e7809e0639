#include "instruments/scan_warnings.h"

#include "seams/user_dialogs.h"

namespace vesk {

void ScanWarnings::Raise(UserDialogs& dialogs, const std::string& text, const std::string& detail,
                         MessageIcon icon) {
  {
    std::lock_guard lock(mutex_);
    if (counts_[text]++ > 0) return;
  }
  dialogs.QueueMessage(text + detail, "", icon);
}

int ScanWarnings::Count(const std::string& text) const {
  std::lock_guard lock(mutex_);
  const auto it = counts_.find(text);
  return it == counts_.end() ? 0 : it->second;
}

void ScanWarnings::Reset() {
  std::lock_guard lock(mutex_);
  counts_.clear();
}

}  // namespace vesk
