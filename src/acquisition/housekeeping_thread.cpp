#include "acquisition/housekeeping_thread.h"

#include <sys/statvfs.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace vesk {
namespace {

constexpr int kSyncIntervalMs = 2000;
// What a logging scan writes at the full line rate of 115200 bit/s: the raw bytes and the
// processed text (about 2.6 times as much).
constexpr double kFullRateBytesPerSecond = 11520 * 3.6;

// Where a recording whose folder was deleted goes when the folder cannot be made again.
std::string RecoveryDir() {
  std::error_code ec;
  const std::string tmp = std::filesystem::temp_directory_path(ec).string();
  return (ec ? std::string("/tmp") : tmp) + "/VESK-recovered/";
}

// Warns once per scan when the data folder's free space falls below the limit of the
// settings (and again after it rose clearly above it).
class DiskSpaceWatch {
 public:
  void Check(const std::string& dir, int lowDiskSpaceMb, ScanReports& reports) {
    struct statvfs st {};
    if (::statvfs(dir.c_str(), &st) != 0) return;
    const double free = static_cast<double>(st.f_bavail) * static_cast<double>(st.f_frsize);
    const double limit = lowDiskSpaceMb * 1e6;
    if (warned_ && free > limit * 1.1) warned_ = false;
    if (warned_ || free >= limit) return;
    warned_ = true;
    char text[512];
    std::snprintf(text, sizeof text,
                  "WARNING !!\n\nThe data folder %s has only %.0f MB free: about %.0f minutes of "
                  "logging at the full line rate.\n\nFree some space, or choose another data "
                  "folder for the next scan. When the disk is full, logging is suspended until "
                  "there is room again; what was recorded is kept.",
                  dir.c_str(), free / 1e6, free / kFullRateBytesPerSecond / 60);
    reports.Message(text, MessageIcon::Warning);
  }

 private:
  bool warned_ = false;
};

}  // namespace

void HousekeepingThread(HousekeepingContext c) {
  if (c.stop.Wait(0)) return;
  DiskSpaceWatch disk;
  do {
    if (!c.files.Logging() || c.files.Playback()) continue;
    // A folder deleted under the recording: the files are written again, whole.
    const std::string restored = c.files.RestoreUnlinked(RecoveryDir());
    if (!restored.empty()) {
      c.reports.Message(
          "WARNING !!\n\nThe recording's folder was removed while logging.\n\nThe recording "
          "was written again with everything it held, as " +
              restored + "; logging goes on there.",
          MessageIcon::Warning);
    }
    c.files.Sync();
    disk.Check(c.files.DataDirectory(), c.lowDiskSpaceMb, c.reports);
    if (c.scanning) c.files.ResumeWhenSpace();
  } while (!c.stop.Wait(kSyncIntervalMs));
}

}  // namespace vesk
