// What the analysis export adds to a batch run of an L-heavy recording: the same recording
// played to the .dat alone, with the CSV, with the NetCDF, and with both. Each gives, beside
// its CPU time, a plain fwrite of as many bytes as the run wrote, measured in the same run.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_anchors.h"
#include "files/export_csv.h"
#include "files/export_netcdf.h"
#include "processing/batch_player.h"
#include "seams/clock.h"
#include "seams/memory_settings_store.h"

namespace {

void PutWord(std::string& out, std::uint16_t w) {
  out += static_cast<char>(w >> 8);
  out += static_cast<char>(w & 0xFF);
}

void AppendWire(std::string& out, const std::string& frame) {
  out += '~';
  for (std::size_t i = 0; i < frame.size(); ++i) {
    out += frame[i];
    if (i > 0 && frame[i] == '~') out += '~';
  }
  out += "~*";
}

// L frames only, with a CTD line every tenth and a GPS fix every twentieth frame.
std::string LHeavyRecording(int lFrames) {
  std::string out = "# ___  USER SUPPLIED HEADER  ___\r\n# bench\r\n\r\n";
  std::uint32_t x = 12345;
  for (int i = 0; i < lFrames; ++i) {
    std::string f = "L";
    for (int k = 0; k < 128; ++k) {
      x = x * 1664525u + 1013904223u;
      PutWord(f, static_cast<std::uint16_t>(k < 60 ? (x >> 16) % 400 : (x >> 16) % 3));
    }
    const std::uint16_t hk[7] = {1, 2, 3, 100, 1000, 5, static_cast<std::uint16_t>(i % 4096)};
    for (auto h : hk) PutWord(f, h);
    f += static_cast<char>(20);
    PutWord(f, 1000);
    PutWord(f, 7);
    AppendWire(out, f);
    if (i % 10 == 0) AppendWire(out, "C  12.3456  35.1234   4.567 ");
    if (i % 20 == 0) {
      AppendWire(out, "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A");
    }
  }
  return out;
}

class Recording {
 public:
  Recording() {
    dir_ = std::filesystem::temp_directory_path() /
           ("vesk-export-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    std::ofstream(Bin(), std::ios::binary) << LHeavyRecording(20000);
  }
  ~Recording() { std::filesystem::remove_all(dir_); }
  std::string Bin() const { return (dir_ / "cast.bin").string(); }
  std::string Dat() const { return (dir_ / "cast.dat").string(); }

 private:
  std::filesystem::path dir_;
};

const Recording& TheRecording() {
  static Recording r;
  return r;
}

void Play(benchmark::State& state, bool csv, bool netcdf) {
  const Recording& rec = TheRecording();
  vesk::MemorySettingsStore store;
  vesk::SystemClock clock;
  vesk::BatchPlayer player(store, clock);
  vesk::BatchOutputs outputs;
  if (csv || netcdf) {
    outputs.exports = [csv, netcdf](const std::string& dat) {
      std::vector<std::unique_ptr<vesk::ExportWriter>> w;
      if (csv) w.push_back(std::make_unique<vesk::CsvExporter>(vesk::ExportPath(dat, ".csv")));
      if (netcdf) {
        w.push_back(std::make_unique<vesk::NetcdfExporter>(vesk::ExportPath(dat, ".nc")));
      }
      return w;
    };
  }
  std::uint64_t frames = 0;
  timespec cpuStart{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuStart);
  for (auto _ : state) {
    const vesk::BatchResult r = player.Run(rec.Bin(), rec.Dat(), {}, outputs);
    if (!r.ok) state.SkipWithError(r.error.c_str());
    frames += r.frames[0];
  }
  timespec cpuEnd{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuEnd);
  // Every thread's CPU time (the export writes on a thread of its own), per run.
  const double processCpu = static_cast<double>(cpuEnd.tv_sec - cpuStart.tv_sec) +
                            static_cast<double>(cpuEnd.tv_nsec - cpuStart.tv_nsec) * 1e-9;
  state.counters["process_cpu_ms"] =
      processCpu * 1000 / static_cast<double>(std::max<std::int64_t>(state.iterations(), 1));
  std::uint64_t written = 0;
  for (const std::string& path :
       {rec.Dat(), vesk::ExportPath(rec.Dat(), ".csv"), vesk::ExportPath(rec.Dat(), ".nc")}) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec) written += size;
    std::filesystem::remove(path, ec);  // the next benchmark writes only its own files
  }
  const double fwrite = vesk::bench::FwriteCpuSeconds(rec.Dat() + ".anchor", written);
  state.counters["written_MB"] = static_cast<double>(written) / 1e6;
  state.counters["anchor_fwrite_ms"] = fwrite * 1000;
  state.counters["x_fwrite"] =
      processCpu / static_cast<double>(std::max<std::int64_t>(state.iterations(), 1)) / fwrite;
  state.counters["L_frames_per_s"] =
      benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}

void BM_DatOnly(benchmark::State& s) {
  Play(s, false, false);
}
void BM_DatAndCsv(benchmark::State& s) {
  Play(s, true, false);
}
void BM_DatAndNetcdf(benchmark::State& s) {
  Play(s, false, true);
}
void BM_DatCsvAndNetcdf(benchmark::State& s) {
  Play(s, true, true);
}

BENCHMARK(BM_DatOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DatAndCsv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DatAndNetcdf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DatCsvAndNetcdf)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
