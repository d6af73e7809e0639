// A live scan at the full 115200 bit/s line rate on a pseudo-terminal: the CPU time of the
// acquisition and processing threads per minute of data, and the delay from a frame's last
// byte leaving the counter to its .dat record.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "acquisition/headless_seams.h"
#include "acquisition/vesk_doc.h"
#include "app/memory_settings_store.h"

namespace {

using namespace vesk;
using Clock = std::chrono::steady_clock;

double ProcessCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

std::vector<std::uint8_t> LFrame(int i) {
  std::vector<std::uint8_t> payload(273, 0);
  for (int k = 0; k < 128; ++k) payload[2 * k + 1] = static_cast<std::uint8_t>((k * 7 + i) % 50);
  // Flow words: H3 = 100, H4 = 400 (a ratio the flow formula accepts).
  payload[256 + 2 * 3 + 1] = 100;
  payload[256 + 2 * 4] = 400 >> 8;
  payload[256 + 2 * 4 + 1] = 400 & 0xFF;
  return EncodeFrame('L', payload);
}

std::vector<std::uint8_t> FillerFrames() {
  std::vector<std::uint8_t> out;
  std::vector<std::uint8_t> m(6 * 40);
  for (std::size_t i = 0; i < m.size(); ++i) m[i] = static_cast<std::uint8_t>(i * 13);
  AppendEncodedFrame(out, 'M', m);
  const std::string ctd = "  10.512  30.114  12.301  0.700";
  AppendEncodedFrame(out, 'C', std::span(reinterpret_cast<const std::uint8_t*>(ctd.data()), ctd.size()));
  return out;
}

void BM_LiveScanAtLineRate(benchmark::State& state) {
  const int seconds = static_cast<int>(state.range(0));
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  grantpt(master);
  unlockpt(master);
  termios t{};
  tcgetattr(master, &t);
  cfmakeraw(&t);
  tcsetattr(master, TCSANOW, &t);
  char dirPattern[] = "/tmp/vesk-live-XXXXXX";
  const std::string dir = mkdtemp(dirPattern);

  MemorySettingsStore store;
  store.WriteString("Settings", "DataDir", dir);
  store.WriteString("Settings", "SurveyLat", "45");
  store.WriteString("PortSettings", "Device_DU", ptsname(master));
  HeadlessWindows windows;
  ConsoleDialogs dialogs(true, true);
  SystemClock clock;
  CVESKDoc doc(store, windows, dialogs, clock);
  doc.ConnectCounterPort();

  std::vector<double> latenciesMs;
  double cpuPerMinute = 0;
  for (auto _ : state) {
    doc.StartAcquisition();
    char sink[256];
    while (read(master, sink, sizeof sink) == 2) break;  // "q" and "a" from the program
    const double cpuStart = ProcessCpuSeconds();
    double writerCpu = 0;
    std::thread writer([&] {
      const double writerStart = ThreadCpuSeconds();
      const auto filler = FillerFrames();
      const double bytesPerSecond = 115200 / 10.0;
      const auto start = Clock::now();
      std::uint64_t sent = 0;
      int lIndex = 0;
      auto nextL = start;
      while (Clock::now() - start < std::chrono::seconds(seconds)) {
        const auto now = Clock::now();
        if (now >= nextL) {
          const auto frame = LFrame(lIndex++);
          const std::uint32_t before = doc.lFrameCount;
          write(master, frame.data(), frame.size());
          const auto written = Clock::now();
          sent += frame.size();
          // The delay to the record: the processing thread writes it before counting the frame.
          while (doc.lFrameCount == before && Clock::now() - written < std::chrono::seconds(1)) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
          }
          latenciesMs.push_back(
              std::chrono::duration<double, std::milli>(Clock::now() - written).count());
          nextL += std::chrono::milliseconds(500);
        }
        // Fill the rest of the line with M and C frames at the line's rate.
        const double due = std::chrono::duration<double>(Clock::now() - start).count() *
                           bytesPerSecond;
        if (sent + filler.size() < due) {
          write(master, filler.data(), filler.size());
          sent += filler.size();
        } else {
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
      }
      writerCpu = ThreadCpuSeconds() - writerStart;
    });
    writer.join();
    const double cpu = ProcessCpuSeconds() - cpuStart - writerCpu;
    cpuPerMinute = cpu * 60.0 / seconds;
    doc.StopScan();
  }
  std::sort(latenciesMs.begin(), latenciesMs.end());
  state.counters["cpu_s_per_min"] = cpuPerMinute;
  state.counters["cpu_share_pct"] = cpuPerMinute / 60.0 * 100.0;
  state.counters["latency_median_ms"] = latenciesMs[latenciesMs.size() / 2];
  state.counters["latency_p99_ms"] = latenciesMs[latenciesMs.size() * 99 / 100];
  state.counters["l_frames"] = static_cast<double>(latenciesMs.size());
  close(master);
  std::filesystem::remove_all(dir);
}

BENCHMARK(BM_LiveScanAtLineRate)->Arg(30)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
