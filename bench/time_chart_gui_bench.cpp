// Replaying a full history of 3600 samples into the three time charts, as a switch to the
// time charts during a scan does (target: well under 100 ms). The anchor, measured in the same
// run, is a plain QPainter polyline of the same points into an image of the view's size.
// Run with QT_QPA_PLATFORM=offscreen.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <cmath>
#include <cstdlib>

#include "../tests/gui/view_test_support.h"
#include "bench_anchors.h"
#include "display/time_plots_view.h"

namespace {

void BM_TimeChartReplay(benchmark::State& state) {
  vesk::test::TestDoc t;
  vesk::CVESKDoc& doc = t.Make();
  const int samples = doc.Settings().scan.bufferLength;
  std::vector<vesk::TimeChartSample> history;
  for (int i = 0; i < samples; ++i) {
    vesk::TimeChartSample s{};
    for (int ch = 0; ch < vesk::kTimeChartChannels; ++ch) s[ch] = 50 + 40 * std::sin(i * 0.01 + ch);
    history.push_back(s);
    doc.Results().AddSample(s, samples);
  }
  vesk::CTimePlotsView view(doc);
  view.resize(1200, 800);
  view.show();
  const double cpuStart = vesk::bench::ThreadCpuSeconds();
  for (auto _ : state) {
    view.OnMessage(vesk::Uwm::StartGraph);
    QApplication::processEvents();  // the charts lay out and draw the new curves
  }
  const double perReplay =
      (vesk::bench::ThreadCpuSeconds() - cpuStart) / static_cast<double>(state.iterations());
  // Three curves of the history, drawn plainly over the whole view.
  QImage image(view.size(), QImage::Format_RGB32);
  const double polyline = vesk::bench::MinThreadCpu([&] {
    QPainter painter(&image);
    for (int ch = 0; ch < 3; ++ch) {
      QPolygonF points;
      points.reserve(samples);
      for (int i = 0; i < samples; ++i) {
        points.append(
            QPointF(i * image.width() / double(samples), image.height() * history[i][ch] / 100));
      }
      painter.drawPolyline(points);
    }
  });
  state.counters["samples"] = samples;
  state.counters["anchor_polyline_ms"] = polyline * 1e3;
  state.counters["x_polyline"] = perReplay / polyline;
}
BENCHMARK(BM_TimeChartReplay)->Unit(benchmark::kMillisecond);

void BM_TimeChartUpdate(benchmark::State& state) {
  vesk::test::TestDoc t;
  vesk::CVESKDoc& doc = t.Make();
  const int samples = doc.Settings().scan.bufferLength;
  for (int i = 0; i < samples; ++i) doc.Results().AddSample({}, samples);
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
