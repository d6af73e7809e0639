// The graph control on a real chart widget: appended points within the history length, and
// autoscale.

#include "display/graph.h"

#include <gtest/gtest.h>

#include <QChart>
#include <QLineSeries>

namespace vesk {
namespace {

// (Whole arrays at a first x and step are driven through the histogram view's bin sizes.)
TEST(Graph, AppendedPointsKeepTheHistoryLengthAndWhatIsDrawnIsWhatIsHeld) {
  CGraph graph;
  graph.SetHistoryLength(3);
  for (int i = 0; i < 5; ++i) graph.AppendPoint("Plot-1", i * 2.0, i);
  EXPECT_EQ(graph.PlotData("Plot-1"), (std::vector<QPointF>{{4, 2}, {6, 3}, {8, 4}}));
  auto* drawn = qobject_cast<QLineSeries*>(graph.Chart()->series().at(0));
  ASSERT_NE(drawn, nullptr);
  EXPECT_EQ(drawn->points(), (QList<QPointF>{{4, 2}, {6, 3}, {8, 4}}));
  graph.AppendValue("Plot-1", 9);  // one step after the last point
  EXPECT_EQ(graph.PlotData("Plot-1").back(), QPointF(9, 9));
}

TEST(Graph, AutoScaledAxisFollowsTheDataAndAFixedOneDoesNot) {
  CGraph graph;
  graph.SetRange("YAxis-1", 0, 100);
  graph.SetAutoScale("YAxis-1", true);
  graph.PlotY("Plot-1", {0, 400, 20}, 0, 1);
  EXPECT_DOUBLE_EQ(graph.Range("YAxis-1").minimum, 0);
  EXPECT_GE(graph.Range("YAxis-1").maximum, 400);
  EXPECT_LE(graph.Range("YAxis-1").maximum, 440);
  graph.SetAutoScale("YAxis-1", false);
  graph.PlotY("Plot-1", {0, 4000}, 0, 1);
  graph.SetRange("YAxis-1", 50, 50);  // refused rather than shown upside down
  EXPECT_LE(graph.Range("YAxis-1").maximum, 440);
}

}  // namespace
}  // namespace vesk
