#pragma once
// Plays one recorded .bin file through the frame processor as fast as the disk allows and
// writes its .dat: the same records a playback in the window writes, without the queue or
// the pacing. The output appears under its name only once it is complete.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "files/export_stage.h"
#include "instruments/ctd_sample.h"
#include "processing/scan_results.h"
#include "seams/clock.h"
#include "seams/settings_store.h"

namespace vesk {

struct BatchResult {
  bool ok = false;
  std::string error;  // why it failed, naming the file
  std::uint64_t bytes = 0;
  std::array<std::uint64_t, 4> frames{};  // complete frames handed over: L, M, C, $
  std::uint32_t frameErrors = 0;
  std::uint32_t lFrameCount = 0;
  std::uint32_t cumulativeTotalCount = 0;
  std::uint32_t cumulativeWindowCount = 0;
  BinCounts cumulativeBins{};
  CtdSample ctd;
};

// What a run writes besides the .dat: the export writers (CSV, NetCDF) that `exports` makes
// for the run's .dat path. With `dat` false the .dat itself is not written.
struct BatchOutputs {
  bool dat = true;
  std::function<std::vector<std::unique_ptr<ExportWriter>>(const std::string& datPath)> exports;
};

class BatchPlayer {
 public:
  // progress(bytesDone, bytesTotal) is called now and then from the calling thread.
  using Progress = std::function<void(std::uint64_t, std::uint64_t)>;

  BatchPlayer(SettingsStore& store, const Clock& clock) : store_(store), clock_(clock) {}

  // Plays `input` into `output` (replaced only when complete), and into the export files
  // of `outputs` (each also replaced only when the whole run succeeded).
  BatchResult Run(const std::string& input, const std::string& output,
                  const Progress& progress = {}, const BatchOutputs& outputs = {});

  // A flag that, once set (from a signal handler, say), ends every run at its next block with
  // the error "interrupted"; its partial outputs are removed like those of any failed run.
  void SetCancel(const std::atomic<bool>* cancel) { cancel_ = cancel; }

  // The playback name of a .dat for `input` in `directory` at the clock's time.
  std::string PlaybackOutputPath(const std::string& input, const std::string& directory) const;

 private:
  SettingsStore& store_;
  const Clock& clock_;
  const std::atomic<bool>* cancel_ = nullptr;
};

// Index of a frame type in BatchResult::frames, or -1.
int FrameTypeIndex(std::uint8_t type);

// What a playback that read `path` to its end without one frame of the counter says: no
// .dat is kept for a file that is no recording.
std::string NoCounterFramesText(const std::string& path);

}  // namespace vesk
