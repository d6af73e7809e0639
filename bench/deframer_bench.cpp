// Deframer throughput on a realistic L/M/C/$ stream, beside a plain memcpy of the same
// buffer as the ceiling of what the memory allows: each benchmark measures the memcpy in the
// same run and gives its throughput as a share of the memcpy's ("vs_memcpy").

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "../tests/test_support/frame_builder.h"
#include "bench_anchors.h"
#include "processing/deframer.h"

namespace {

// CPU seconds per pass of the loop so far, and the memcpy of the same buffer beside it.
void ReportAgainstMemcpy(benchmark::State& state, double cpuStart, std::size_t bytes) {
  const double perPass =
      (vesk::bench::ThreadCpuSeconds() - cpuStart) / static_cast<double>(state.iterations());
  const double memcpy = vesk::bench::MemcpyCpuSeconds(bytes);
  state.counters["anchor_memcpy_ms"] = memcpy * 1e3;
  state.counters["vs_memcpy"] = memcpy / perPass;
}

// About 16 MB: one L frame a second with M frames of element events between them.
const vesk::test::Bytes& Stream() {
  static const vesk::test::Bytes stream = vesk::test::MixedStream(20000, 4, 25, 7);
  return stream;
}

void BM_DeframeWhole(benchmark::State& state) {
  const auto& s = Stream();
  std::size_t frames = 0;
  const double cpuStart = vesk::bench::ThreadCpuSeconds();
  for (auto _ : state) {
    vesk::Deframer d;
    d.Feed(
        s.data(), s.size(), [&](std::span<const std::uint8_t> f) { frames += f.size() > 0; },
        [](std::uint8_t) {});
    benchmark::DoNotOptimize(frames);
  }
  ReportAgainstMemcpy(state, cpuStart, s.size());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.size()));
  state.counters["frames/run"] = static_cast<double>(frames) / state.iterations();
}
BENCHMARK(BM_DeframeWhole)->Unit(benchmark::kMillisecond);

// As the serial thread sees it: reads of at most `chunk` bytes.
void BM_DeframeChunks(benchmark::State& state) {
  const auto& s = Stream();
  const auto chunk = static_cast<std::size_t>(state.range(0));
  std::size_t frames = 0;
  const double cpuStart = vesk::bench::ThreadCpuSeconds();
  for (auto _ : state) {
    vesk::Deframer d;
    for (std::size_t i = 0; i < s.size(); i += chunk) {
      d.Feed(
          s.data() + i, std::min(chunk, s.size() - i),
          [&](std::span<const std::uint8_t> f) { frames += f.size() > 0; }, [](std::uint8_t) {});
    }
    benchmark::DoNotOptimize(frames);
  }
  ReportAgainstMemcpy(state, cpuStart, s.size());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.size()));
}
BENCHMARK(BM_DeframeChunks)->Arg(64)->Arg(1024)->Unit(benchmark::kMillisecond);

// Copying every frame out, as the source threads do into the frame queue.
void BM_DeframeAndCopyFrames(benchmark::State& state) {
  const auto& s = Stream();
  std::vector<vesk::Frame> frames;
  frames.reserve(200000);
  const double cpuStart = vesk::bench::ThreadCpuSeconds();
  for (auto _ : state) {
    frames.clear();
    vesk::Deframer d;
    d.Feed(
        s.data(), s.size(),
        [&](std::span<const std::uint8_t> f) { frames.emplace_back(f.begin(), f.end()); },
        [](std::uint8_t) {});
    benchmark::DoNotOptimize(frames.data());
  }
  ReportAgainstMemcpy(state, cpuStart, s.size());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.size()));
}
BENCHMARK(BM_DeframeAndCopyFrames)->Unit(benchmark::kMillisecond);

void BM_Memcpy(benchmark::State& state) {
  const auto& s = Stream();
  std::vector<std::uint8_t> copy(s.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), s.data(), s.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.size()));
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
