// Painting the shadowgram grid: only the rows in view are drawn, so a grid of 500000 stored
// rows should paint as fast as one of 1000. The anchor, measured in the same run, is a plain
// fill of the same image. Run with QT_QPA_PLATFORM=offscreen.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <random>

#include "../tests/gui/view_test_support.h"
#include "bench_anchors.h"
#include "display/grid_view.h"

namespace {

void BM_GridPaint(benchmark::State& state) {
  vesk::test::TestDoc t;
  vesk::CVESKDoc& doc = t.Make();
  std::mt19937 random(7);
  std::bernoulli_distribution shaded(0.3);
  for (std::int64_t i = 0; i < state.range(0); ++i) {
    vesk::GridRow row;
    for (int e = 0; e < vesk::kGridElements; ++e) row.set(e, shaded(random));
    doc.Results().AppendGridRows(std::span<const vesk::GridRow>(&row, 1));
  }
  doc.ChangeSettings([](vesk::DocumentSettings& s) { s.gridAutoScroll = true; });
  vesk::CGridView view(doc);
  view.resize(180, 800);
  view.show();
  view.RedrawTick();  // scrolled to the newest rows
  QImage image(view.viewport()->size(), QImage::Format_RGB32);
  const double cpuStart = vesk::bench::ThreadCpuSeconds();
  for (auto _ : state) {
    QPainter painter(&image);
    view.PaintGrid(painter, image.rect());
  }
  const double perPaint =
      (vesk::bench::ThreadCpuSeconds() - cpuStart) / static_cast<double>(state.iterations());
  const double fill = vesk::bench::MinThreadCpu([&] {
                        for (int i = 0; i < 100; ++i) image.fill(Qt::white);
                      }) /
                      100;
  state.counters["rows_in_view"] = image.height();
  state.counters["anchor_image_fill_us"] = fill * 1e6;
  state.counters["x_image_fill"] = perPaint / fill;
}
BENCHMARK(BM_GridPaint)->Arg(1000)->Arg(500000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
