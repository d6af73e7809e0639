#pragma once
// The File menu's list of recordings opened for playback: the four most recent, newest
// first, kept in the settings store ("Recent File List", File1 to File4).

#include <string>
#include <vector>

#include "seams/settings_store.h"

namespace vesk {

class RecentFileList {
 public:
  static constexpr std::size_t kSize = 4;

  explicit RecentFileList(SettingsStore& store);

  const std::vector<std::string>& Entries() const { return entries_; }
  // `path` becomes the newest entry (moved up when it was there already); stored at once.
  void Add(const std::string& path);
  // Drops `path` (a file that is gone); stored at once.
  void Remove(const std::string& path);

 private:
  void Store();

  SettingsStore& store_;
  std::vector<std::string> entries_;
};

}  // namespace vesk
