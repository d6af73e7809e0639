#pragma once
// Plays one recorded .bin file through the frame processor as fast as the disk allows and
// writes its .dat: the same records a playback in the window writes, without the queue or
// the pacing. The output appears under its name only once it is complete.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "acquisition/clock.h"
#include "acquisition/vesk_doc.h"

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

class BatchPlayer {
 public:
  // progress(bytesDone, bytesTotal) is called now and then from the calling thread.
  using Progress = std::function<void(std::uint64_t, std::uint64_t)>;

  BatchPlayer(SettingsStore& store, const Clock& clock) : store_(store), clock_(clock) {}

  // Plays `input` into `output` (replaced only when complete).
  BatchResult Run(const std::string& input, const std::string& output,
                  const Progress& progress = {});

  // The playback name of a .dat for `input` in `directory` at the clock's time.
  std::string PlaybackOutputPath(const std::string& input, const std::string& directory) const;

 private:
  SettingsStore& store_;
  const Clock& clock_;
};

// Index of a frame type in BatchResult::frames, or -1.
int FrameTypeIndex(std::uint8_t type);

}  // namespace vesk
