// A live scan at the full 115200 bit/s line rate on a pseudo-terminal, fed with the counter
// simulator's cast at ten times its natural pace (as `vesk-sim --time-scale 10` sends it,
// about 94 % of the line): the CPU share of the program's threads (the whole process less the
// thread that plays the counter), the delay from an L frame's last byte to its .dat record,
// and, as the anchor, the CPU share of a plain reader that only reads the same bytes from the
// same pseudo-terminal and writes them to a file, as `cat` would.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

#include "acquisition/headless_seams.h"
#include "acquisition/vesk_doc.h"
#include "bench_anchors.h"
#include "cast_player.h"
#include "seams/memory_settings_store.h"

namespace {

using namespace vesk;
using Clock = std::chrono::steady_clock;
using vesk::bench::OpenMaster;
using vesk::bench::PlayCast;
using vesk::bench::ProcessCpuSeconds;
using vesk::bench::ThreadCpuSeconds;

void BM_LiveCastAtLineRate(benchmark::State& state) {
  const int seconds = static_cast<int>(state.range(0));
  const int master = OpenMaster();
  char dirPattern[] = "/tmp/vesk-live-XXXXXX";
  const std::string dir = mkdtemp(dirPattern);

  MemorySettingsStore store;
  store.WriteString("Settings", "DataDir", dir);
  store.WriteString("Settings", "SurveyLat", "44.65");
  store.WriteString("PortSettings", "Device_DU", ptsname(master));
  HeadlessWindows windows;
  ConsoleDialogs dialogs(true, true);
  SystemClock clock;
  CVESKDoc doc(store, windows, dialogs, clock);
  doc.ConnectCounterPort();

  std::vector<double> latenciesMs;
  double programShare = 0, plainShare = 0;
  for (auto _ : state) {
    // The program: serial thread, processing thread and the rest of the scan.
    doc.StartAcquisition();
    char sink[256];
    while (read(master, sink, sizeof sink) == 2) break;  // "q" and "a" from the program
    const double cpuStart = ProcessCpuSeconds();
    double writerCpu = 0;
    std::thread writer([&] {
      std::deque<Clock::time_point> pending;  // L frames sent, not yet recorded
      std::uint32_t recorded = doc.Results().LFrames();
      auto collect = [&] {
        const auto now = Clock::now();
        for (const std::uint32_t count = doc.Results().LFrames(); recorded < count; ++recorded) {
          if (pending.empty()) break;
          latenciesMs.push_back(
              std::chrono::duration<double, std::milli>(now - pending.front()).count());
          pending.pop_front();
        }
      };
      writerCpu = PlayCast(
          master, seconds, [&](Clock::time_point t) { pending.push_back(t); }, collect);
    });
    writer.join();
    programShare = (ProcessCpuSeconds() - cpuStart - writerCpu) / seconds * 100;
    doc.StopScan();

    // The anchor: a plain reader of the same bytes from the same kind of line.
    const int plainMaster = OpenMaster();
    std::atomic<bool> done{false};
    double readerCpu = 0;
    std::thread reader([&] {
      const int slave = ::open(ptsname(plainMaster), O_RDWR | O_NOCTTY | O_NONBLOCK);
      termios t{};
      tcgetattr(slave, &t);
      cfmakeraw(&t);
      tcsetattr(slave, TCSANOW, &t);
      std::FILE* out = std::fopen((dir + "/plain.bin").c_str(), "wb");
      const double start = ThreadCpuSeconds();
      char buffer[1024];
      while (!done) {
        pollfd p{slave, POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0) continue;
        const ssize_t n = ::read(slave, buffer, sizeof buffer);
        if (n > 0) {
          std::fwrite(buffer, 1, static_cast<std::size_t>(n), out);
          std::fflush(out);  // one write per read, as the program logs its .bin
        }
      }
      readerCpu = ThreadCpuSeconds() - start;
      std::fclose(out);
      ::close(slave);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the reader has opened it
    PlayCast(
        plainMaster, seconds, [](Clock::time_point) {}, [] {});
    done = true;
    reader.join();
    ::close(plainMaster);
    plainShare = readerCpu / seconds * 100;
  }
  std::sort(latenciesMs.begin(), latenciesMs.end());
  state.counters["cpu_share_pct"] = programShare;
  state.counters["cpu_s_per_min"] = programShare / 100 * 60;
  state.counters["anchor_plain_reader_cpu_share_pct"] = plainShare;
  state.counters["x_plain_reader"] = plainShare > 0 ? programShare / plainShare : 0;
  if (!latenciesMs.empty()) {
    state.counters["latency_median_ms"] = latenciesMs[latenciesMs.size() / 2];
    state.counters["latency_p99_ms"] = latenciesMs[latenciesMs.size() * 99 / 100];
  }
  state.counters["l_frames"] = static_cast<double>(latenciesMs.size());
  close(master);
  std::filesystem::remove_all(dir);
}

BENCHMARK(BM_LiveCastAtLineRate)->Arg(30)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
