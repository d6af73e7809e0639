// Replaying a full history of 3600 samples into the three time charts, as a switch to the
// time charts during a scan does (target: well under 100 ms). Run with
// QT_QPA_PLATFORM=offscreen.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <cmath>
#include <cstdlib>

#include "../tests/gui/view_test_support.h"
#include "display/time_plots_view.h"

namespace {

void BM_TimeChartReplay(benchmark::State& state) {
  vesk::test::TestDoc t;
  vesk::CVESKDoc& doc = t.Make();
  for (int i = 0; i < doc.bufferLength; ++i) {
    vesk::TimeChartSample s{};
    for (int ch = 0; ch < vesk::kTimeChartChannels; ++ch) s[ch] = 50 + 40 * std::sin(i * 0.01 + ch);
    doc.timeChartHistory.push_back(s);
  }
  vesk::CTimePlotsView view(doc);
  view.resize(1200, 800);
  view.show();
  for (auto _ : state) {
    view.OnMessage(vesk::Uwm::StartGraph);
    QApplication::processEvents();  // the charts lay out and draw the new curves
  }
  state.counters["samples"] = doc.bufferLength;
}
BENCHMARK(BM_TimeChartReplay)->Unit(benchmark::kMillisecond);

void BM_TimeChartUpdate(benchmark::State& state) {
  vesk::test::TestDoc t;
  vesk::CVESKDoc& doc = t.Make();
  for (int i = 0; i < doc.bufferLength; ++i) doc.timeChartHistory.push_back({});
  vesk::CTimePlotsView view(doc);
  view.OnMessage(vesk::Uwm::StartGraph);
  for (auto _ : state) view.OnMessage(vesk::Uwm::UpdateTimePlots);
}
BENCHMARK(BM_TimeChartUpdate)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
