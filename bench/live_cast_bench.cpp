// The live cast products' share of a core during a scan: the simulator's whole cast (down to
// 80 m and back, as vesk-sim makes it) played once to collect its completed export rows, then
// each row fed to the cast products as the live scan does, with a snapshot for the Profile
// view after every row (a live scan publishes at most one each CastBoard::kPublishInterval,
// that is one per L frame). The share is the CPU time over the cast's own duration; the
// anchor is a memcpy of the recording's bytes, measured in the same run.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/live_cast.h"
#include "bench_anchors.h"
#include "processing/batch_player.h"
#include "seams/clock.h"
#include "seams/memory_settings_store.h"
#include "sim/cast_generator.h"

namespace {

using namespace vesk;

constexpr double kCastSeconds = 190;  // soak, descent, bottom, ascent and a little more

// Keeps a copy of every row the export stage completes.
class RowCollector final : public ExportWriter {
 public:
  explicit RowCollector(std::vector<ExportRow>& rows) : rows_(rows) {}
  bool Begin(const ExportContext&) override { return true; }
  void Write(const ExportRow& row) override { rows_.push_back(row); }
  void WriteEvent(const MepEvent&) override {}
  void WriteMarks(const std::vector<Mark>&) override {}
  bool Finish() override { return true; }
  void Discard() override {}
  std::string Error() const override { return {}; }

 private:
  std::vector<ExportRow>& rows_;
};

void BM_LiveCastProducts(benchmark::State& state) {
  char pattern[] = "/tmp/vesk-live-cast-XXXXXX";
  const std::filesystem::path dir = mkdtemp(pattern);
  const std::string bin = dir / "cast.bin";
  CastOptions options;
  options.seed = 7;
  const std::size_t bytes = WriteSyntheticRecording(bin, options, kCastSeconds);
  MemorySettingsStore store;
  store.WriteString("Settings", "SurveyLat", "44.65");
  store.WriteString("NavSettings", "SentenceToParse", "$GPGGA");
  SystemClock clock;
  std::vector<ExportRow> rows;
  BatchOutputs outputs;
  outputs.dat = false;
  outputs.exports = [&rows](const std::string&) {
    std::vector<std::unique_ptr<ExportWriter>> w;
    w.push_back(std::make_unique<RowCollector>(rows));
    return w;
  };
  BatchPlayer player(store, clock);
  if (!player.Run(bin, dir / "cast.dat", {}, outputs).ok) state.SkipWithError("no cast");

  std::vector<double> cpu;
  int profiles = 0;
  for (auto _ : state) {
    CastBoard board;
    CastProducts products(ProfileSettings{}, TunnelCrossSection(true));
    const double start = bench::ThreadCpuSeconds();
    for (const ExportRow& row : rows) {
      if (products.Feed(row) != nullptr) ++profiles;
      const auto [first, last] = board.ChosenBins();
      board.Publish(std::make_shared<const CastSnapshot>(products.Snapshot(first, last)), {});
    }
    if (products.Finish() != nullptr) ++profiles;
    cpu.push_back(bench::ThreadCpuSeconds() - start);
  }
  const double best = *std::min_element(cpu.begin(), cpu.end());
  state.counters["l_frames"] = static_cast<double>(rows.size());
  state.counters["profiles_per_run"] = profiles / static_cast<double>(cpu.size());
  state.counters["cpu_s_best"] = best;
  state.counters["core_share_percent"] = 100 * best / (static_cast<double>(rows.size()) * 0.5);
  state.counters["anchor_memcpy_cpu_s"] = bench::MemcpyCpuSeconds(bytes);
  state.counters["x_memcpy"] = best / bench::MemcpyCpuSeconds(bytes);
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_LiveCastProducts)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
