#pragma once
// The simulated counter's cast played into a pseudo-terminal at the full 115200 bit/s line
// rate (ten times the cast's natural pace, as `vesk-sim --time-scale 10` sends it, about 94 %
// of the line), for the benchmarks of a live scan.

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <span>
#include <thread>
#include <vector>

#include "bench_anchors.h"
#include "processing/deframer.h"
#include "sim/cast_generator.h"

namespace vesk::bench {

using Clock = std::chrono::steady_clock;

inline constexpr double kTimeScale = 10;
inline constexpr double kLineBytesPerSecond = 115200 / 10.0;

// Plays the cast into the pseudo-terminal's master side for `seconds`, paced at the line rate
// in writes every 10 ms as the simulator sends,
// and calls onLFrameSent(time) when the last byte of an L frame has been written. Returns the
// CPU seconds of the calling thread.
inline double PlayCast(int master, int seconds,
                       const std::function<void(Clock::time_point)>& onLSent,
                       const std::function<void()>& betweenWrites) {
  const double cpuStart = ThreadCpuSeconds();
  CastOptions options;
  options.seed = 3;
  CastGenerator cast(options);
  Deframer watch;  // finds where the L frames end in what is written
  std::vector<std::uint8_t> generated;
  std::size_t sentOfGenerated = 0;
  std::uint64_t sent = 0;
  const auto start = Clock::now();
  while (Clock::now() - start < std::chrono::seconds(seconds)) {
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    if (sentOfGenerated == generated.size()) {
      generated.clear();
      sentOfGenerated = 0;
      cast.AdvanceTo(std::max(cast.Time() + 0.01, elapsed * kTimeScale), generated);
    }
    const double due = elapsed * kLineBytesPerSecond - static_cast<double>(sent);
    const std::size_t n =
        std::min(generated.size() - sentOfGenerated, static_cast<std::size_t>(std::max(due, 0.0)));
    if (n > 0) {
      const std::uint8_t* p = generated.data() + sentOfGenerated;
      const ssize_t w = ::write(master, p, n);
      if (w > 0) {
        const auto now = Clock::now();
        watch.Feed(
            p, static_cast<std::size_t>(w),
            [&](std::span<const std::uint8_t> f) {
              if (f[0] == 'L') onLSent(now);
            },
            [](std::uint8_t) {});
        sentOfGenerated += static_cast<std::size_t>(w);
        sent += static_cast<std::uint64_t>(w);
      }
    }
    betweenWrites();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));  // the simulator's pace
  }
  return ThreadCpuSeconds() - cpuStart;
}

inline int OpenMaster() {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  grantpt(master);
  unlockpt(master);
  termios t{};
  tcgetattr(master, &t);
  cfmakeraw(&t);
  tcsetattr(master, TCSANOW, &t);
  return master;
}

}  // namespace vesk::bench
