#pragma once
// What the histogram view and its popup share: the graph's names and look, the copy of the
// document's cumulative bins taken under the bin lock, and their clearing.

#include <vector>

#include "display/histogram_ranges.h"

namespace vesk {

class CGraph;
class CVESKDoc;

inline constexpr const char* kHistogramPlot = "BinCountHistogram";
inline constexpr const char* kHistogramXAxis = "Bins";
inline constexpr const char* kHistogramYAxis = "Binned Count";

// Renames the graph's plot and axes and gives them the histogram's captions and look.
void SetUpHistogramGraph(CGraph& graph);
// The x axis in bins (0 .. 128, ticks every 10) or in sizes (um, ticks every 75), showing
// `range` (in bins).
void ApplyHistogramXMode(CGraph& graph, bool sizeMode, BinRange range);
// The cumulative bins, copied under the bin lock.
std::vector<double> CopyCumulativeBins(CVESKDoc& doc);
// Zeroes the cumulative bins under the bin lock (the "Clear Plot" command).
void ClearCumulativeBins(CVESKDoc& doc);
// Plots `bins` on the histogram: first x 0, step 1 (bins) or 15 (sizes).
void PlotHistogram(CGraph& graph, const std::vector<double>& bins, bool sizeMode);

}  // namespace vesk
