// vesk-process end to end, in process: recorded streams played through the batch player
// into a .dat in a temp dir, as vesk-process plays them.
//
// - The program's own simulated cast: an hour of the counter simulator's stream (CTD lines at
//   25 Hz, L frames twice a second, M frames, GPS sentences), made when the benchmark starts
//   and repeated to about 100 MB; the same for the SBE 19 cast (hex CTD words at 2 Hz).
// - A stress stream heavy in L and M frames (about 50 MB), and L frames only (about 64 MB).
// - Four casts on one and on two threads (vesk-process --jobs 2).
// - The cast products: the simulated cast with --format dat and with --format dat,profiles,
//   run alternately; the anchor of the products is the .dat-only run of the same moment.
//
// Each run also measures, at the same moment, a read of the same file (what cat does), a
// plain fwrite of the .dat's size and a memcpy of the input, and gives the ratios; the jobs
// benchmark measures a plain two-thread sum over the same bytes beside it.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "../tests/test_support/frame_builder.h"
#include "../tests/test_support/temp_dir.h"
#include "bench_anchors.h"
#include "files/profile_csv.h"
#include "files/profile_netcdf.h"
#include "processing/batch_player.h"
#include "processing/cast_export.h"
#include "seams/clock.h"
#include "seams/memory_settings_store.h"
#include "sim/cast_generator.h"

namespace {

using vesk::bench::ProcessCpuSeconds;
using Wall = std::chrono::steady_clock;

constexpr double kCastSeconds = 3600;

struct Cast {
  std::string bin;
  std::uint64_t size = 0;
};

vesk::test::TempDir& Dir() {
  static vesk::test::TempDir dir;
  return dir;
}

// One hour of the simulated cast, repeated `copies` times (the repeats start with the text
// header again, which the deframer skips like any text between frames).
Cast MakeCast(const std::string& name, const vesk::CastOptions& options, int copies) {
  const std::string one = Dir() / (name + "-1h.bin");
  vesk::WriteSyntheticRecording(one, options, kCastSeconds);
  const std::string hour = vesk::test::ReadFile(one);
  std::string all;
  all.reserve(hour.size() * static_cast<std::size_t>(copies));
  for (int i = 0; i < copies; ++i) all += hour;
  Cast cast{Dir() / (name + ".bin"), all.size()};
  vesk::test::WriteFile(cast.bin, all);
  std::filesystem::remove(one);
  return cast;
}

vesk::CastOptions CastOptions(std::uint64_t seed, int model = 0) {
  vesk::CastOptions o;
  o.seed = seed;
  o.ctdModel = model;
  return o;
}

// The settings of a cast as a user has them: the survey latitude set, the GGA sentence parsed.
void ConfigureStore(vesk::MemorySettingsStore& store) {
  store.WriteString("Settings", "SurveyLat", "44.65");
  store.WriteString("NavSettings", "SentenceToParse", "$GPGGA");
  store.WriteInt("NavSettings", "TimePos", 1);
  store.WriteInt("NavSettings", "LatPos", 2);
  store.WriteInt("NavSettings", "LatNSPos", 3);
  store.WriteInt("NavSettings", "LongPos", 4);
  store.WriteInt("NavSettings", "LongEWPos", 5);
}

vesk::FixedClock& TheClock() {
  static std::tm tm = [] {
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 5;
    t.tm_mday = 15;
    return t;
  }();
  static vesk::FixedClock clock(tm);
  return clock;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Plays a recording once per iteration; CPU seconds of the whole process per run, and the anchors.
void PlayCast(benchmark::State& state, const Cast& cast, vesk::MemorySettingsStore& store) {
  vesk::BatchPlayer player(store, TheClock());
  const std::string out = Dir() / "cast.dat";
  std::vector<double> cpu;
  std::uint64_t datSize = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ::unlink(out.c_str());  // every run writes a new file, as vesk-process mostly does
    state.ResumeTiming();
    const double start = ProcessCpuSeconds();
    const vesk::BatchResult result = player.Run(cast.bin, out);
    cpu.push_back(ProcessCpuSeconds() - start);
    if (!result.ok) {
      state.SkipWithError(result.error.c_str());
      return;
    }
    datSize = std::filesystem::file_size(out);
  }
  ::unlink(out.c_str());
  const double best = *std::min_element(cpu.begin(), cpu.end());
  const double read = vesk::bench::ReadFileCpuSeconds(cast.bin);
  const double fwrite = vesk::bench::FwriteCpuSeconds(Dir() / "anchor.dat", datSize);
  const double memcpy = vesk::bench::MemcpyCpuSeconds(cast.size);
  const double mb = static_cast<double>(cast.size) / 1e6;
  state.counters["in_MB"] = mb;
  state.counters["dat_MB"] = static_cast<double>(datSize) / 1e6;
  state.counters["cpu_s_min"] = best;
  state.counters["cpu_s_median"] = Median(cpu);
  state.counters["MB_per_cpu_s_min_med"] = mb / Median(cpu);
  state.counters["MB_per_cpu_s_best"] = mb / best;
  state.counters["anchor_read_cpu_s"] = read;
  state.counters["anchor_fwrite_dat_cpu_s"] = fwrite;
  state.counters["anchor_memcpy_cpu_s"] = memcpy;
  state.counters["x_read"] = best / read;
  state.counters["x_fwrite"] = best / fwrite;
  state.counters["x_read_plus_fwrite"] = best / (read + fwrite);
}

void BM_SimulatedCast(benchmark::State& state) {
  static const Cast cast = MakeCast("cast", CastOptions(1), 20);
  vesk::MemorySettingsStore store;
  ConfigureStore(store);
  PlayCast(state, cast, store);
}
BENCHMARK(BM_SimulatedCast)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

// The SBE 19 cast: hex CTD words at 2 Hz, with the simulator's calibration in the store.
void BM_SimulatedSbe19Cast(benchmark::State& state) {
  const vesk::CastOptions options = CastOptions(5, 4);
  static const Cast cast = MakeCast("sbe19", options, 20);
  vesk::MemorySettingsStore store;
  ConfigureStore(store);
  store.WriteInt("Settings", "Model_CTD", 4);
  vesk::StoreSimSbe19Calibration(options.sbe19, options.sbeAnalogChannels, store);
  PlayCast(state, cast, store);
}
BENCHMARK(BM_SimulatedSbe19Cast)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

// The cast products' cost beside the .dat alone: the simulated cast (four hours of the
// simulator's yo-yo, 155 profiles) played alternately with --format dat and --format
// dat,profiles (_profiles.csv, _spectra.csv, _profiles.nc), CPU seconds of each.
void BM_SimulatedCastProfiles(benchmark::State& state) {
  static const Cast cast = MakeCast("products", CastOptions(1), 4);
  vesk::MemorySettingsStore store;
  ConfigureStore(store);
  const vesk::ProfileSettings settings = vesk::ProfileSettings::Read(store);
  vesk::BatchPlayer player(store, TheClock());
  const std::string out = Dir() / "products.dat";
  vesk::BatchOutputs products;
  products.exports = [&](const std::string& datPath) {
    std::vector<std::unique_ptr<vesk::ProfileWriter>> files;
    files.push_back(std::make_unique<vesk::ProfileCsvWriter>(datPath));
    files.push_back(std::make_unique<vesk::ProfileNetcdfWriter>(datPath));
    std::vector<std::unique_ptr<vesk::ExportWriter>> writers;
    writers.push_back(std::make_unique<vesk::CastExportWriter>(settings, std::move(files)));
    return writers;
  };
  auto play = [&](const vesk::BatchOutputs& outputs) {
    for (const char* suffix : {"", "_profiles.csv", "_spectra.csv", "_profiles.nc"}) {
      ::unlink((suffix[0] == 0 ? out : vesk::ExportPath(out, suffix)).c_str());
    }
    const double start = ProcessCpuSeconds();
    const bool ok = player.Run(cast.bin, out, {}, outputs).ok;
    return ok ? ProcessCpuSeconds() - start : -1.0;
  };
  std::vector<double> dat, both;
  for (auto _ : state) {
    dat.push_back(play({}));
    both.push_back(play(products));
    if (dat.back() < 0 || both.back() < 0) {
      state.SkipWithError("a run failed");
      return;
    }
  }
  const double datBest = *std::min_element(dat.begin(), dat.end());
  const double bothBest = *std::min_element(both.begin(), both.end());
  state.counters["anchor_dat_cpu_s_best"] = datBest;
  state.counters["dat_profiles_cpu_s_best"] = bothBest;
  state.counters["extra_percent_best"] = 100 * (bothBest / datBest - 1);
  state.counters["extra_percent_median"] = 100 * (Median(both) / Median(dat) - 1);
}
BENCHMARK(BM_SimulatedCastProfiles)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

Cast SaveStream(const std::string& name, const vesk::test::Bytes& bytes) {
  Cast cast{Dir() / (name + ".bin"), bytes.size()};
  vesk::test::WriteBytes(cast.bin, bytes);
  return cast;
}

// About 64000 L frames with 4 M frames of 20 events each between them.
void BM_StressStream(benchmark::State& state) {
  static const Cast cast = SaveStream("stress", vesk::test::MixedStream(64000, 4, 20, 11));
  vesk::MemorySettingsStore store;
  store.WriteString("Settings", "FirmwareVer", "2.40");
  store.WriteString("Settings", "SurveyLat", "45.0");
  PlayCast(state, cast, store);
}
BENCHMARK(BM_StressStream)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

// 230000 L frames of 276 bytes and nothing else.
void BM_LFramesOnly(benchmark::State& state) {
  static const Cast cast = [] {
    vesk::test::Bytes bytes;
    std::uint32_t x = 7;
    for (int i = 0; i < 230000; ++i) {
      vesk::test::LFrameFields l;
      for (auto& b : l.bins) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<std::uint16_t>((x >> 16) % 300);
      }
      l.housekeeping = {1, 2, 3, 100, 1000, 5, static_cast<std::uint16_t>(i % 4096)};
      l.n = 20;
      l.t = 1000;
      vesk::test::AppendWire(bytes, vesk::test::MakeLFrame(l));
    }
    return SaveStream("lonly", bytes);
  }();
  vesk::MemorySettingsStore store;
  store.WriteString("Settings", "FirmwareVer", "2.40");
  store.WriteString("Settings", "SurveyLat", "45.0");
  PlayCast(state, cast, store);
}
BENCHMARK(BM_LFramesOnly)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

// Runs `work(i)` for i in 0..count-1 on `threads` threads taking the next index, as
// vesk-process --jobs does; returns the wall seconds.
template <class Work>
double OnThreads(unsigned threads, std::size_t count, Work&& work) {
  std::atomic<std::size_t> next{0};
  auto worker = [&] {
    for (std::size_t i = next++; i < count; i = next++) work(i);
  };
  const auto start = Wall::now();
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < threads; ++t) pool.emplace_back(worker);
  for (auto& t : pool) t.join();
  return std::chrono::duration<double>(Wall::now() - start).count();
}

// Four casts (four seeds, each an hour repeated five times) on one thread, then on two.
void BM_FourCastsOnTwoJobs(benchmark::State& state) {
  static const std::vector<Cast> casts = [] {
    std::vector<Cast> c;
    for (std::uint64_t seed = 1; seed <= 4; ++seed) {
      c.push_back(MakeCast("job" + std::to_string(seed), CastOptions(seed), 5));
    }
    return c;
  }();
  std::vector<std::string> bytes;
  for (const Cast& c : casts) bytes.push_back(vesk::test::ReadFile(c.bin));
  vesk::MemorySettingsStore store;
  ConfigureStore(store);
  vesk::BatchPlayer player(store, TheClock());
  auto play = [&](std::size_t i) {
    const std::string out = Dir() / ("job" + std::to_string(i) + ".dat");
    ::unlink(out.c_str());
    benchmark::DoNotOptimize(player.Run(casts[i].bin, out).ok);
  };
  // The anchor: a sum over the same bytes, which two cores do in half the time when the
  // machine has them free.
  std::atomic<std::uint64_t> sink{0};
  auto sum = [&](std::size_t i) {
    std::uint64_t s = 0;
    for (int pass = 0; pass < 8; ++pass) {
      for (unsigned char b : bytes[i]) s = s * 31 + b;
    }
    sink += s;
  };
  std::vector<double> speedup, cpuGrowth, anchor;
  for (auto _ : state) {
    const double cpu0 = ProcessCpuSeconds();
    const double one = OnThreads(1, casts.size(), play);
    const double cpu1 = ProcessCpuSeconds();
    const double two = OnThreads(2, casts.size(), play);
    const double cpu2 = ProcessCpuSeconds();
    speedup.push_back(one / two);
    cpuGrowth.push_back((cpu2 - cpu1) / (cpu1 - cpu0));
    anchor.push_back(OnThreads(1, bytes.size(), sum) / OnThreads(2, bytes.size(), sum));
  }
  state.counters["speedup_best"] = *std::max_element(speedup.begin(), speedup.end());
  state.counters["speedup_median"] = Median(speedup);
  state.counters["cpu_two_jobs_vs_one"] = Median(cpuGrowth);
  state.counters["anchor_sum_speedup_median"] = Median(anchor);
  state.counters["ratio_to_anchor"] = Median(speedup) / Median(anchor);
}
BENCHMARK(BM_FourCastsOnTwoJobs)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
