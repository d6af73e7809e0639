#include "display/histogram_plot.h"

#include <mutex>

#include "acquisition/vesk_doc.h"
#include "display/graph.h"

namespace vesk {
namespace {

constexpr const char* kYCaption = "BINNED COUNTS (accumulative)";
constexpr const char* kBinsCaption = "BINS";
constexpr const char* kSizesCaption = "ESD (um)";
const QColor kLightGrey(230, 230, 230);
const QColor kDarkGrey(128, 128, 128);
const QColor kCurveColor(0, 0, 160);

}  // namespace

void SetUpHistogramGraph(CGraph& graph) {
  graph.SetPlotName(1, kHistogramPlot);
  graph.SetAxisName(CGraph::kXAxis, kHistogramXAxis);
  graph.SetAxisName(CGraph::kYAxis, kHistogramYAxis);
  graph.SetHistoryLength(kBinCount);
  graph.SetCaption(kHistogramYAxis, kYCaption);
  graph.SetLabelFormat(kHistogramXAxis, "%d");
  graph.SetLabelFormat(kHistogramYAxis, "%g");
  graph.SetMinimumStep(kHistogramYAxis, 1);  // counts are whole numbers
  graph.SetMajorGrid(kHistogramXAxis, true, kDarkGrey);
  graph.SetMajorGrid(kHistogramYAxis, true, kDarkGrey);
  graph.SetBackground(kLightGrey);
  graph.SetPlotColor(kHistogramPlot, kCurveColor);
  graph.SetPlotStyle(kHistogramPlot, CGraph::PlotStyle::Steps);
}

void ApplyHistogramXMode(CGraph& graph, bool sizeMode, BinRange range) {
  graph.SetCaption(kHistogramXAxis, sizeMode ? kSizesCaption : kBinsCaption);
  graph.SetAutoScale(kHistogramXAxis, false);
  if (sizeMode) {
    graph.SetTickSpacing(kHistogramXAxis, 75, 15);
  } else {
    graph.SetTickSpacing(kHistogramXAxis, 10, 1);
  }
  graph.SetRange(kHistogramXAxis, AxisFromBin(range.minimum, sizeMode),
                 AxisFromBin(range.maximum, sizeMode));
}

std::vector<double> CopyCumulativeBins(CVESKDoc& doc) {
  const BinCounts copy = doc.Results().Bins().cumulative;
  return {copy.begin(), copy.end()};
}

void ClearCumulativeBins(CVESKDoc& doc) {
  doc.Results().ClearCumulativeBins();
}

void PlotHistogram(CGraph& graph, const std::vector<double>& bins, bool sizeMode) {
  graph.PlotY(kHistogramPlot, bins, 0.0, sizeMode ? kMicronsPerBin : 1.0);
}

}  // namespace vesk
