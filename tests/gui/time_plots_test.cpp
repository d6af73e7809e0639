// The time charts: the replay of the buffered history and the update per sample, the
// buttons, and the selection and scaling dialogs.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "display/graph.h"
#include "display/time_plots_view.h"
#include "gui/view_test_support.h"
#include "ui/dialogs/select_time_plots_dlg.h"
#include "ui/dialogs/time_charts_scaling_prop.h"

namespace vesk {
namespace {

using test::TestDoc;

TEST(TimeChartScaling, RefusalsNameTheValueTheSeriesAndItsRule) {
  ScalingRows defaults{};
  for (int r = 0; r < kSelectableSeries; ++r)
    defaults[r] = {SeriesInfo(r).minY, SeriesInfo(r).maxY, SeriesInfo(r).scaling};
  EXPECT_EQ(ValidateTimeChartScaling(defaults), std::nullopt);
  // The message gives the refused value and names the series and its rule.
  constexpr ScalingField S = ScalingField::Scaling, M = ScalingField::MinY;
  const struct {
    const char* shown;
    int row;
    SeriesScale value;
    ScalingField field;
    const char* rule;
  } cases[] = {
      {"30", 0, {0, 100, 30}, S, "Depth - Scaling Values must be multiples of 25"},
      {"0", 6, {0, 8, 0}, S, "Flow Speed - Scaling Value must be greater than 0."},
      {"5", 1, {5, 5, 2}, M, "Temperature - Min Y must be less than Max Y"},
  };
  for (const auto& c : cases) {
    ScalingRows rows = defaults;
    rows[c.row] = c.value;
    const auto failure = ValidateTimeChartScaling(rows);
    ASSERT_TRUE(failure.has_value()) << c.rule;
    EXPECT_EQ(failure->row, c.row) << c.rule;
    EXPECT_EQ(failure->field, c.field) << c.rule;
    const std::string start = std::string("Error: ") + c.shown + " is an invalid value.\n\n";
    EXPECT_EQ(failure->message.rfind(start + c.rule, 0), 0u) << failure->message;
  }
}

class TimePlotsTest : public ::testing::Test {
 protected:
  TestDoc t;
  CVESKDoc& doc = t.Make();
  test::RecordingPrompts prompts;

  static double Value(int channel, int i) { return channel * 10000.0 + i; }
  // A new scan's history of `samples` samples.
  void FillHistory(int samples) {
    doc.Results().Reset();
    for (int i = 0; i < samples; ++i) NewSample(i);
  }
  // A sample made as the processing thread makes it.
  void NewSample(int i) {
    TimeChartSample s{};
    for (int ch = 0; ch < kTimeChartChannels; ++ch) s[ch] = Value(ch, i);
    doc.Results().AddSample(s, static_cast<std::size_t>(doc.Settings().scan.bufferLength));
  }
  // Samples up to (not including) `until`, the views told after each `every` of them.
  void Samples(CTimePlotsView& view, int from, int until, int every = 1) {
    for (int i = from; i < until; ++i) {
      NewSample(i);
      if ((i - from + 1) % every == 0 || i + 1 == until) view.OnMessage(Uwm::UpdateTimePlots);
    }
  }
  std::unique_ptr<CTimePlotsView> MakeView() {
    auto view = std::make_unique<CTimePlotsView>(doc);
    view->SetPrompts(prompts);
    return view;
  }
  void Click(CTimePlotsView& view, const char* name) {
    auto* b = view.findChild<QPushButton*>(name);
    ASSERT_NE(b, nullptr) << name;
    b->click();
  }
};

TEST_F(TimePlotsTest, ReplaysTheFullHistoryThenOnePointPerUpdate) {
  t.store.Write(keys::kPlotA, 2);
  t.store.Write(keys::kPlotB, 9);
  t.store.Write(keys::kPlotC, 5);
  auto view = MakeView();
  FillHistory(3600);
  view->OnMessage(Uwm::StartGraph);
  const int series[] = {2, 9, 5};
  const auto expectSpan = [&](int first, int last) {
    for (int c = 0; c < kTimeCharts; ++c) {
      const auto points = view->Chart(c).PlotData(CTimePlotsView::kPlot);
      ASSERT_EQ(points.size(), 3600u);
      EXPECT_EQ(points.front(), QPointF(first, Value(series[c], first)));
      EXPECT_EQ(points.back(), QPointF(last, Value(series[c], last)));
    }
  };
  expectSpan(0, 3599);
  NewSample(3600);  // pushes out the oldest
  view->OnMessage(Uwm::UpdateTimePlots);
  expectSpan(1, 3600);
}

// The window of a long session does not hide the next one's samples: with auto-scroll on the
// newest sample stays at the right edge, whether the charts were open at the start, opened
// mid-scan or told of several samples at once; looking back ends the auto-scroll.
TEST_F(TimePlotsTest, FollowsTheNewestSamplesAfterARestart) {
  t.store.Write(keys::kLastMinX, 3000);  // where an hour-long cast ended
  t.store.Write(keys::kLastMaxX, 3600);
  auto view = MakeView();
  EXPECT_TRUE(view->AutoScrollOn());
  const auto points = [&] { return view->Chart(2).PlotData(CTimePlotsView::kPlot); };

  doc.Results().Reset();
  view->OnMessage(Uwm::StartGraph);
  EXPECT_EQ(view->XShown(), (XWindow{0, 600}));
  Samples(*view, 0, 1000, 7);  // notices coalesced: every sample still arrives
  EXPECT_EQ(points().size(), 1000u);
  EXPECT_EQ(view->XShown(), (XWindow{399, 999}));

  Click(*view, "xOlderButton");
  EXPECT_FALSE(view->AutoScrollOn());
  Samples(*view, 1000, 1010);
  EXPECT_EQ(view->XShown(), (XWindow{99, 699}));  // stays where the user looks
  view->findChild<QCheckBox*>("autoScrollBox")->setChecked(true);
  EXPECT_EQ(t.store.Read(keys::kTimePlotsAutoScroll), 1);

  // Opened mid-scan, past the history's length: the newest samples, at their sample numbers.
  view.reset();
  FillHistory(5000);
  view = MakeView();
  view->OnMessage(Uwm::StartGraph);
  ASSERT_EQ(points().size(), 3600u);
  EXPECT_EQ(points().front().x(), 1400);
  Samples(*view, 5000, 5002);
  EXPECT_EQ(view->XShown(), (XWindow{4401, 5001}));
  EXPECT_EQ(points().back(), QPointF(5001, Value(2, 5001)));
}

TEST_F(TimePlotsTest, ButtonsActOnEveryChart) {
  auto view = MakeView();
  Click(*view, "xPlusButton");
  for (int c = 0; c < kTimeCharts; ++c)
    EXPECT_EQ(view->Chart(c).Range(CTimePlotsView::kXAxis).maximum, 1200) << c;
  Click(*view, "xOlderButton");  // would go below 0
  Click(*view, "resetXButton");
  EXPECT_EQ(view->XShown(), (XWindow{0, 600}));

  // Depth 0..100 by 25, temperature 0..25 by 2, counts per second 0..100 by 50.
  Click(*view, "yMaxUpButton");
  Click(*view, "yMinDownButton");
  const double expected[3][2] = {{-25, 125}, {-2, 27}, {-50, 150}};
  for (int c = 0; c < kTimeCharts; ++c) {
    const AxisRange y = view->Chart(c).Range(CTimePlotsView::kYAxis);
    EXPECT_EQ(y.minimum, expected[c][0]) << c;
    EXPECT_EQ(y.maximum, expected[c][1]) << c;
  }

  FillHistory(10);
  view->OnMessage(Uwm::StartGraph);
  Click(*view, "clearPlotsButton");
  for (int c = 0; c < kTimeCharts; ++c)
    EXPECT_TRUE(view->Chart(c).PlotData(CTimePlotsView::kPlot).empty());
}

TEST_F(TimePlotsTest, SelectionRefusesDuplicatesAndRebuilds) {
  auto view = MakeView();
  FillHistory(5);
  std::array<int, 3> choice{0, 3, 0};
  int result = -1;
  view->SetDialogRunner([&](QDialog& d) {
    auto& dlg = dynamic_cast<CSelectTimePlotsDlg&>(d);
    for (int c = 0; c < 3; ++c) dlg.Select(c, choice[c]);
    dlg.accept();
    result = dlg.result();
    return dlg.result();
  });
  view->ChangeTimeCharts();  // A and C the same
  EXPECT_EQ(result, QDialog::Rejected);
  ASSERT_EQ(prompts.Texts(), std::vector<std::string>{kDuplicateSelections});
  EXPECT_EQ(t.store.Read(keys::kPlotC), 2);
  choice = {8, 3, 6};
  view->ChangeTimeCharts();
  EXPECT_EQ(result, QDialog::Accepted);
  EXPECT_EQ(t.store.Read(keys::kPlotA), 8);
  EXPECT_EQ(t.store.Read(keys::kPlotC), 6);
  EXPECT_EQ(view->Chart(0).PlotData(CTimePlotsView::kPlot).back(), QPointF(4, Value(8, 4)));
}

TEST_F(TimePlotsTest, ScalingDialogRestoresTheRefusedFieldAndStoresOnOk) {
  auto view = MakeView();
  int calls = 0;
  view->SetDialogRunner([&](QDialog& d) {
    auto& dlg = dynamic_cast<CTimeChartsScalingProp&>(d);
    ++calls;
    if (calls == 1) {
      dlg.Field(0, ScalingField::Scaling)->setText("0");
      dlg.accept();
      EXPECT_EQ(dlg.Field(0, ScalingField::Scaling)->text(), "25");
      return dlg.result();
    }
    dlg.Field(1, ScalingField::MinY)->setText("-4");
    dlg.Field(1, ScalingField::MaxY)->setText("30");
    dlg.Field(1, ScalingField::Scaling)->setText("4");
    dlg.SaveDefaultsBox()->setChecked(false);
    dlg.accept();
    return dlg.result();
  });
  view->ScalingProperties();
  ASSERT_EQ(prompts.Texts().size(), 1u);
  EXPECT_EQ(prompts.Texts()[0].rfind("Error: 0 is an invalid value.\n\nDepth", 0), 0u);
  EXPECT_FALSE(t.store.Contains("Time Plots", "DefSFY0"));
  view->ScalingProperties();
  EXPECT_EQ(LoadSeriesScale(t.store, 1), (SeriesScale{-4, 30, 4}));
  EXPECT_EQ(LoadSeriesScale(t.store, 0), (SeriesScale{0, 100, 25}));
  EXPECT_EQ(t.store.Read(keys::kSaveDefaults), 0);
  const AxisRange y = view->Chart(1).Range(CTimePlotsView::kYAxis);
  EXPECT_EQ(y.minimum, -4);
  EXPECT_EQ(y.maximum, 30);
}

}  // namespace
}  // namespace vesk
