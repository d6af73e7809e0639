// vesk-process end to end: a recorded .bin of about 50 MB, heavy in L and M frames, played
// through the batch player into a .dat in a temp dir.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "../tests/test_support/frame_builder.h"
#include "../tests/test_support/temp_dir.h"
#include "acquisition/clock.h"
#include "app/memory_settings_store.h"
#include "processing/batch_player.h"

namespace {

struct Recording {
  vesk::test::TempDir dir;
  std::string bin;
  std::uint64_t size = 0;
  Recording() {
    bin = dir / "cast.bin";
    // ~64000 L frames with 4 M frames of 20 events each between them: about 50 MB.
    const vesk::test::Bytes stream = vesk::test::MixedStream(64000, 4, 20, 11);
    vesk::test::WriteBytes(bin, stream);
    size = stream.size();
  }
};

const Recording& TheRecording() {
  static const Recording r;
  return r;
}

void BM_BatchPlayer(benchmark::State& state) {
  const Recording& r = TheRecording();
  vesk::MemorySettingsStore store;
  store.WriteString("Settings", "FirmwareVer", "2.40");
  store.WriteString("Settings", "SurveyLat", "45.0");
  std::tm tm{};
  tm.tm_year = 105;
  tm.tm_mon = 2;
  tm.tm_mday = 5;
  vesk::FixedClock clock(tm);
  vesk::BatchPlayer player(store, clock);
  const std::string out = r.dir / "cast.dat";
  std::uint64_t datSize = 0;
  for (auto _ : state) {
    const vesk::BatchResult result = player.Run(r.bin, out);
    if (!result.ok) {
      state.SkipWithError(result.error.c_str());
      break;
    }
    benchmark::DoNotOptimize(result.lFrameCount);
    datSize = std::filesystem::file_size(out);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * r.size));
  state.counters["bin_MB"] = static_cast<double>(r.size) / 1e6;
  state.counters["dat_MB"] = static_cast<double>(datSize) / 1e6;
}
BENCHMARK(BM_BatchPlayer)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
