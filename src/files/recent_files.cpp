#include "files/recent_files.h"

#include <algorithm>

#include "seams/settings_keys.h"

namespace vesk {
namespace {

std::string Key(std::size_t i) {
  return "File" + std::to_string(i + 1);
}

}  // namespace

RecentFileList::RecentFileList(SettingsStore& store) : store_(store) {
  for (std::size_t i = 0; i < kSize; ++i) {
    const std::string path = store_.ReadString(keys::kRecentFileSection, Key(i), "");
    if (!path.empty() && std::find(entries_.begin(), entries_.end(), path) == entries_.end()) {
      entries_.push_back(path);
    }
  }
}

void RecentFileList::Add(const std::string& path) {
  entries_.erase(std::remove(entries_.begin(), entries_.end(), path), entries_.end());
  entries_.insert(entries_.begin(), path);
  if (entries_.size() > kSize) entries_.resize(kSize);
  Store();
}

void RecentFileList::Remove(const std::string& path) {
  entries_.erase(std::remove(entries_.begin(), entries_.end(), path), entries_.end());
  Store();
}

void RecentFileList::Store() {
  for (std::size_t i = 0; i < kSize; ++i) {
    store_.WriteString(keys::kRecentFileSection, Key(i), i < entries_.size() ? entries_[i] : "");
  }
}

}  // namespace vesk
