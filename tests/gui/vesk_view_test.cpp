// The histogram view and its popup: the buttons' arithmetic, the refresh from the document's
// bins between the start and stop messages, clearing and what is stored.

#include "display/vesk_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QChart>
#include <QMenu>
#include <QPushButton>

#include "display/binned_data_popup_dlg.h"
#include "display/graph.h"
#include "display/histogram_plot.h"
#include "gui/view_test_support.h"

namespace vesk {
namespace {

using test::TestDoc;

TEST(HistogramButtons, Arithmetic) {
  struct Case {
    const char* what;
    BinRange (*step)(BinRange);
    BinRange in;
    BinRange out;
  };
  const Case cases[] = {
      {">> stops at 128", XPanRight, {0, 125}, {0, 128}},
      {"<< at 10 goes to 0 keeping the maximum", XPanLeft, {10, 60}, {0, 60}},
      {"<< at 11 moves both", XPanLeft, {11, 60}, {1, 50}},
      {"- keeps one bin", XZoomIn, {50, 65}, {60, 61}},
      {"+ within 0..128", XZoomOut, {5, 125}, {0, 128}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.step(c.in), c.out) << c.what;
  EXPECT_EQ(YZoomIn({0, 15}), (YRange{0, 10}));
  // An axis range in sizes is read in whole bins.
  EXPECT_EQ(BinsFromAxis(0, 1920, true), (BinRange{0, 128}));
  EXPECT_EQ(BinsFromAxis(100, 1000.5, true), (BinRange{6, 66}));
  EXPECT_EQ(BinsFromAxis(3.7, 64.9, false), (BinRange{3, 64}));
}

class ViewTest : public ::testing::Test {
 protected:
  TestDoc t;
  CVESKDoc& doc = t.Make();
  void Click(CVESKView& view, const char* name) {
    auto* b = view.findChild<QPushButton*>(name);
    ASSERT_NE(b, nullptr) << name;
    b->click();
  }
};

// Counts added to the cumulative bins as an L frame adds them: {bin, count}.
void AddBins(CVESKDoc& doc, std::initializer_list<std::pair<int, std::uint32_t>> counts) {
  BinCounts bins{};
  for (const auto& [bin, count] : counts) bins[bin] = count;
  doc.Results().AddFrameBins(bins, 0, 0);
}

TEST_F(ViewTest, XButtonsStartFromTheRangeTheUserZoomedTo) {
  CVESKView view(doc);
  view.resize(700, 400);
  view.show();
  QApplication::processEvents();
  // What the zoom rectangle does: the plot area's middle half.
  QChart* chart = view.Graph().Chart();
  const QRectF area = chart->plotArea();
  chart->zoomIn(
      QRectF(area.left() + area.width() * 0.25, area.top(), area.width() * 0.5, area.height()));
  const BinRange zoomed = view.XRangeBins();
  EXPECT_NEAR(zoomed.minimum, 32, 1);
  EXPECT_NEAR(zoomed.maximum, 96, 1);
  Click(view, "xPanLeftButton");
  EXPECT_EQ(view.XRangeBins(), (BinRange{zoomed.minimum - 10, zoomed.maximum - 10}));
}

TEST_F(ViewTest, RefreshesFromTheCumulativeBinsOnlyBetweenStartAndStop) {
  t.windows.view = nullptr;
  CVESKView view(doc);
  EXPECT_FALSE(view.IsRefreshing());
  AddBins(doc, {{3, 7}, {127, 2}});
  view.OnMessage(Uwm::StartGraph);
  EXPECT_TRUE(view.IsRefreshing());
  view.Refresh();
  auto points = view.Graph().PlotData(kHistogramPlot);
  ASSERT_EQ(points.size(), 128u);
  EXPECT_EQ(points[3], QPointF(3, 7));
  EXPECT_EQ(points[127], QPointF(127, 2));

  view.ToggleBinSizes();  // replots at once, 15 um per bin
  points = view.Graph().PlotData(kHistogramPlot);
  EXPECT_EQ(points[3], QPointF(45, 7));

  view.OnMessage(Uwm::StopGraph);
  EXPECT_FALSE(view.IsRefreshing());
  view.OnMessage(Uwm::StartGraph);  // a new scan starts from an empty plot
  EXPECT_TRUE(view.Graph().PlotData(kHistogramPlot).empty());
}

TEST_F(ViewTest, ClearPlotZeroesTheSharedBinsAndTheCurve) {
  CVESKView view(doc);
  BinCounts five;
  five.fill(5);
  doc.Results().AddFrameBins(five, 640, 0);
  view.Refresh();
  Click(view, "clearPlotButton");
  EXPECT_TRUE(view.Graph().PlotData(kHistogramPlot).empty());
  for (auto c : doc.Results().Bins().cumulative) ASSERT_EQ(c, 0u);
  AddBins(doc, {{0, 1}});  // counting goes on from zero
  view.Refresh();
  EXPECT_EQ(view.Graph().PlotData(kHistogramPlot)[0], QPointF(0, 1));
}

TEST_F(ViewTest, StopStoresTheRangesAndANewViewShowsThemAgain) {
  {
    CVESKView view(doc);
    view.OnMessage(Uwm::StartGraph);
    view.SetXRangeBins({20, 90});
    view.SetYRange({0, 250.7});
    view.OnMessage(Uwm::StopGraph);
  }
  CVESKView again(doc);
  EXPECT_EQ(again.XRangeBins(), (BinRange{20, 90}));
  EXPECT_DOUBLE_EQ(again.Graph().Range(kHistogramYAxis).maximum, 250);

  // A stored range that cannot be shown gives the default one.
  doc.Store().Write(keys::kBinnedMinXBins, 90);
  doc.Store().Write(keys::kBinnedMaxXBins, 20);
  CVESKView broken(doc);
  EXPECT_EQ(broken.XRangeBins(), (BinRange{0, 128}));
}

// The popup refreshes over sizes, clears from its menu and tells the main frame when it
// closes.
TEST_F(ViewTest, PopupRefreshClearAndClose) {
  auto* popup = new CBinnedDataPopupDlg(doc);
  popup->show();
  AddBins(doc, {{2, 9}});
  popup->OnMessage(Uwm::StartBinnedDataPopup);
  popup->Refresh();
  EXPECT_EQ(popup->Graph().PlotData(kHistogramPlot)[2], QPointF(30, 9));
  auto menu = popup->CreateContextMenu();
  auto* clear = menu->findChild<QAction*>("clearPlotAction");
  ASSERT_NE(clear, nullptr);
  clear->trigger();
  EXPECT_EQ(doc.Results().Bins().cumulative[2], 0u);
  EXPECT_TRUE(popup->Graph().PlotData(kHistogramPlot).empty());
  popup->OnMessage(Uwm::StopBinnedDataPopup);
  EXPECT_FALSE(popup->IsRefreshing());
  menu.reset();
  popup->close();  // deletes itself
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(t.windows.ToMainFrame(), std::vector<Uwm>{Uwm::CloseBinnedDataPopup});
}

}  // namespace
}  // namespace vesk
