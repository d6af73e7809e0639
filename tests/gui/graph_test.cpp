// The graph control: whole arrays and appended points, ranges after a mouse zoom and
// autoscale, on a real chart widget; the choice of axis ticks.

#include "display/graph.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QMouseEvent>
#include <cmath>
#include <set>

#include "display/axis_ticks.h"

namespace vesk {
namespace {

void SendMouse(QWidget* target, QEvent::Type type, QPoint pos, Qt::MouseButton button) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
  QMouseEvent event(type, QPointF(pos), target->mapToGlobal(QPointF(pos)), button, held,
                    Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

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
  graph.SetHistoryLength(2);
  EXPECT_EQ(graph.PlotData("Plot-1").size(), 2u);
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

// Over ranges from millionths to millions, at any offset: the widened range holds the data,
// its ends are whole steps of 1, 2 or 5 x 10^k, and it carries 4 to 7 distinct labels.
TEST(TickChoice, NiceStepsGiveFourToSevenLabelsForAnyRange) {
  for (int exponent = -6; exponent <= 6; ++exponent) {
    for (double mantissa = 1.0; mantissa < 10.0; mantissa += 0.173) {
      const double span = mantissa * std::pow(10.0, exponent);
      for (double offset : {0.0, -0.37, 0.5, 3.3, -12.1, 1000.0}) {
        const double lo = offset * span + (offset == 1000.0 ? 0.123 * span : 0);
        const double hi = lo + span;
        const NiceRange r = ChooseNiceRange(lo, hi);
        SCOPED_TRACE(testing::Message() << lo << " .. " << hi);
        ASSERT_LE(r.minimum, lo + span * 1e-9);
        ASSERT_GE(r.maximum, hi - span * 1e-9);
        const double power = std::pow(10.0, std::floor(std::log10(r.step) + 1e-9));
        const double m = r.step / power;
        ASSERT_TRUE(std::abs(m - 1) < 1e-9 || std::abs(m - 2) < 1e-9 || std::abs(m - 5) < 1e-9)
            << r.step;
        const double labels = (r.maximum - r.minimum) / r.step + 1;
        ASSERT_NEAR(labels, std::round(labels), 1e-6);
        ASSERT_GE(std::lround(labels), 4);
        ASSERT_LE(std::lround(labels), 7);
        std::set<std::string> texts;
        for (long i = 0; i < std::lround(labels); ++i) {
          char text[64];
          std::snprintf(text, sizeof text, "%.*f", r.decimals, r.minimum + i * r.step);
          texts.insert(text);
        }
        ASSERT_EQ(static_cast<long>(texts.size()), std::lround(labels));
      }
    }
  }
  // A flat line sits in the middle of a range around it; a short axis gets fewer labels.
  const NiceRange flat = ChooseNiceRange(35, 35);
  EXPECT_LT(flat.minimum, 35);
  EXPECT_GT(flat.maximum, 35);
  const NiceRange shortAxis = ChooseNiceRange(0, 80, 4);
  EXPECT_LE((shortAxis.maximum - shortAxis.minimum) / shortAxis.step + 1, 4);

  // Time axes: round steps, and their labels.
  const struct {
    double span;
    int maxLabels;
    double step;
  } times[] = {{600, 11, 60},  {600, 7, 120},   {120, 7, 30},      {45, 10, 5},
               {3600, 7, 600}, {3600, 3, 1800}, {86400, 5, 21600}, {10 * 86400, 6, 2 * 86400}};
  for (const auto& c : times) EXPECT_EQ(ChooseTimeStep(c.span, c.maxLabels), c.step) << c.span;
  EXPECT_EQ(ElapsedLabel(754, false), "12:34");
  EXPECT_EQ(ElapsedLabel(6000, false), "100:00");
  EXPECT_EQ(ElapsedLabel(3725, true), "1:02:05");
}

TEST(Graph, RangeReadsBackWhatTheUserZoomedToWithTheMouseAndRightClickDoesNotZoomOut) {
  CGraph graph;
  graph.resize(600, 400);
  graph.show();
  graph.SetRange("XAxis", 0, 128);
  graph.SetRange("YAxis-1", 0, 100);
  QApplication::processEvents();

  QChart* chart = graph.Chart();
  const QRectF area = chart->plotArea();
  QWidget* viewport = graph.ChartView()->viewport();
  const QPoint from = graph.ChartView()->mapFromScene(chart->mapToScene(
      QPointF(area.left() + area.width() * 0.25, area.top() + area.height() * 0.25)));
  const QPoint to = graph.ChartView()->mapFromScene(chart->mapToScene(
      QPointF(area.left() + area.width() * 0.75, area.top() + area.height() * 0.75)));
  SendMouse(viewport, QEvent::MouseButtonPress, from, Qt::LeftButton);
  SendMouse(viewport, QEvent::MouseMove, to, Qt::LeftButton);
  SendMouse(viewport, QEvent::MouseButtonRelease, to, Qt::LeftButton);

  const AxisRange x = graph.Range("XAxis");
  const AxisRange y = graph.Range("YAxis-1");
  EXPECT_NEAR(x.minimum, 32, 2);
  EXPECT_NEAR(x.maximum, 96, 2);
  EXPECT_NEAR(y.minimum, 25, 2);
  EXPECT_NEAR(y.maximum, 75, 2);

  int menuRequests = 0;
  QObject::connect(&graph, &CGraph::ContextMenuRequested, [&] { ++menuRequests; });
  SendMouse(viewport, QEvent::MouseButtonPress, from, Qt::RightButton);
  SendMouse(viewport, QEvent::MouseButtonRelease, from, Qt::RightButton);
  QContextMenuEvent context(QContextMenuEvent::Mouse, from, viewport->mapToGlobal(from));
  QApplication::sendEvent(viewport, &context);
  EXPECT_DOUBLE_EQ(graph.Range("XAxis").minimum, x.minimum);
  EXPECT_DOUBLE_EQ(graph.Range("XAxis").maximum, x.maximum);
  EXPECT_EQ(menuRequests, 1);
}

}  // namespace
}  // namespace vesk
