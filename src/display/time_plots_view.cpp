#include "display/time_plots_view.h"

#include <QApplication>
#include <QChart>
#include <QCheckBox>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <cmath>
#include <mutex>
#include <vector>

#include "acquisition/vesk_doc.h"
#include "display/graph.h"
#include "files/mark_log.h"
#include "ui/dialogs/dialog_prompts.h"
#include "ui/dialogs/select_time_plots_dlg.h"
#include "ui/dialogs/time_charts_scaling_prop.h"
#include "ui/dialogs/time_plot_insert_cursor_dlg.h"

namespace vesk {
namespace {

constexpr const IntKey* kChartKeys[kTimeCharts] = {&keys::kPlotA, &keys::kPlotB, &keys::kPlotC};
constexpr const char* kTimeCaption = "Time since the scan started";
// Samples missing from the charts beyond which they are replayed whole rather than appended.
constexpr double kMaxCatchUp = 60;
// The chart margins around the plot area, before lining the charts up; on the right, room
// for half the last time label, which stands centred on the plot's edge.
constexpr int kChartMargin = 4;
constexpr int kChartRightMargin = 22;

QFont LabelFont() {
  QFont font("Arial");
  font.setPixelSize(13);
  return font;
}

int ValidSeries(int index) {
  return index >= 0 && index < kTimeSeriesCount ? index : 0;
}

}  // namespace

CTimePlotsView::CTimePlotsView(CVESKDoc& doc, QWidget* parent)
    : QWidget(parent),
      doc_(doc),
      prompts_(&StandardPrompts()),
      runDialog_([](QDialog& d) { return d.exec(); }) {
  setObjectName("timePlotsView");
  autoScale_ = doc_.Store().ReadBool(keys::kTimePlotsAutoScale);
  autoScroll_ = doc_.Store().ReadBool(keys::kTimePlotsAutoScroll);
  gridLines_ = doc_.Store().ReadBool(keys::kTimePlotsGridLines);
  defaultMinX_ = doc_.Store().Read(keys::kDefaultMinX);
  defaultMaxX_ = doc_.Store().Read(keys::kDefaultMaxX);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  for (int c = 0; c < kTimeCharts; ++c) {
    auto* graph = new CGraph(this, kTimeChartSampleSeconds);
    graph->setObjectName(QStringLiteral("timeChart%1").arg(c));
    graph->SetPlotName(1, kPlot);
    graph->SetAxisName(CGraph::kXAxis, kXAxis);
    graph->SetAxisName(CGraph::kYAxis, kYAxis);
    graph->SetHistoryLength(doc_.Settings().scan.bufferLength);
    if (c == kTimeCharts - 1) graph->SetCaption(kXAxis, kTimeCaption);
    graph->Chart()->setMargins(
        QMargins(kChartMargin, kChartMargin, kChartRightMargin, kChartMargin));
    connect(graph, &CGraph::ContextMenuRequested, this,
            [this](const QPoint& pos) { CreateContextMenu()->exec(pos); });
    connect(graph->Chart(), &QChart::plotAreaChanged, this,
            [this, c](const QRectF& area) { AlignPlotAreas(c, area); });
    charts_[c] = graph;
    layout->addWidget(graph, 1);
  }

  auto* buttons = new QHBoxLayout();
  layout->addLayout(buttons);
  const auto button = [&](const QString& caption, const char* name, const char* tip,
                          void (CTimePlotsView::*command)()) {
    QPushButton* b = AddButton(caption, name, tip);
    buttons->addWidget(b);
    connect(b, &QPushButton::clicked, this, command);
  };
  button("+ ", "xPlusButton", "Widen the time axis by one step", &CTimePlotsView::XPlus);
  button("- ", "xMinusButton", "Narrow the time axis by one step", &CTimePlotsView::XMinus);
  stepLabel_ = new QLabel(StepLabel(defaultMaxX_), this);
  stepLabel_->setObjectName("stepLabel");
  stepLabel_->setFont(LabelFont());
  buttons->addWidget(stepLabel_);
  button("Reset X", "resetXButton", "Default time axis", &CTimePlotsView::ResetX);
  button("<<", "xOlderButton", "Show older samples (ends the auto-scroll)",
         &CTimePlotsView::XOlder);
  button(">>", "xNewerButton", "Show newer samples", &CTimePlotsView::XNewer);
  autoScrollBox_ = new QCheckBox(QStringLiteral("Auto Scroll"), this);
  autoScrollBox_->setObjectName("autoScrollBox");
  autoScrollBox_->setToolTip("Keep the newest samples in view");
  autoScrollBox_->setFont(LabelFont());
  autoScrollBox_->setFocusPolicy(Qt::NoFocus);
  autoScrollBox_->setChecked(autoScroll_);
  connect(autoScrollBox_, &QCheckBox::toggled, this, &CTimePlotsView::SetAutoScroll);
  buttons->addWidget(autoScrollBox_);
  buttons->addSpacing(12);
  button("Reset Y", "resetYButton", "Stored value ranges", &CTimePlotsView::ResetY);
  struct Arrow {
    QStyle::StandardPixmap icon;
    const char* name;
    const char* tip;
    YStep step;
  };
  const Arrow arrows[] = {
      {QStyle::SP_ArrowUp, "yMaxUpButton", "Raise the top of every value axis", YStep::MaxUp},
      {QStyle::SP_ArrowDown, "yMaxDownButton", "Lower the top of every value axis", YStep::MaxDown},
      {QStyle::SP_ArrowDown, "yMinDownButton", "Lower the bottom of every value axis",
       YStep::MinDown},
      {QStyle::SP_ArrowUp, "yMinUpButton", "Raise the bottom of every value axis", YStep::MinUp},
  };
  for (const Arrow& a : arrows) {
    QPushButton* b = AddButton(QString(), a.name, a.tip);
    b->setIcon(style()->standardIcon(a.icon));
    b->setFixedWidth(28);
    buttons->addWidget(b);
    connect(b, &QPushButton::clicked, this, [this, step = a.step] { StepY(step); });
  }
  buttons->addStretch(1);
  button("Clear Plots", "clearPlotsButton", "Empty the charts", &CTimePlotsView::ClearPlots);

  Rebuild();
  // The window of the last session keeps its width; it shows the samples there are.
  SetXWindow({static_cast<double>(
                  doc_.Store().ReadInt(keys::kLastMinX.section, keys::kLastMinX.key, defaultMinX_)),
              static_cast<double>(doc_.Store().ReadInt(keys::kLastMaxX.section, keys::kLastMaxX.key,
                                                       defaultMaxX_))});
  ShowSamples();
}

CTimePlotsView::~CTimePlotsView() {
  if (doc_.Store().ReadBool(keys::kSaveDefaults)) {
    for (int c = 0; c < kTimeCharts; ++c) {
      const AxisRange y = charts_[c]->Range(kYAxis);
      const int minY = static_cast<int>(std::floor(y.minimum));
      const int maxY = std::max(minY + 1, static_cast<int>(std::ceil(y.maximum)));
      StoreSeriesRange(doc_.Store(), series_[c], minY, maxY);
    }
  }
  const XWindow x = XShown();
  doc_.Store().Write(keys::kLastMinX, static_cast<int>(std::lround(x.minimum)));
  doc_.Store().Write(keys::kLastMaxX, static_cast<int>(std::lround(x.maximum)));
}

QPushButton* CTimePlotsView::AddButton(const QString& caption, const char* name, const char* tip) {
  auto* b = new QPushButton(caption, this);
  b->setObjectName(name);
  b->setToolTip(tip);
  b->setFont(LabelFont());
  b->setFocusPolicy(Qt::NoFocus);
  return b;
}

void CTimePlotsView::OnMessage(Uwm message) {
  switch (message) {
    case Uwm::StartGraph: Replay(); break;
    case Uwm::UpdateTimePlots: AppendLatest(); break;
    default: break;  // StopGraph: the charts keep what they show
  }
}

void CTimePlotsView::Replay() {
  for (CGraph* chart : charts_) chart->SetAutoScale(kYAxis, false);
  ReplayLocked();
  ShowSamples();
  for (CGraph* chart : charts_) chart->SetAutoScale(kYAxis, autoScale_);
}

void CTimePlotsView::ShowSamples() {
  // A window left where the samples of an earlier (longer) scan were shows none of this one.
  const XWindow x = XShown();
  const bool showsSamples = nextX_ > firstX_ && x.maximum >= firstX_ && x.minimum < nextX_;
  if (autoScroll_ || !showsSamples) FollowNewest();
}

void CTimePlotsView::ReplayLocked() {
  std::array<std::vector<double>, kTimeCharts> values;
  std::size_t kept = 0;
  std::uint64_t made = 0;
  doc_.Results().ReadHistory([&](const std::deque<TimeChartSample>& history, std::uint64_t n) {
    for (auto& v : values) v.reserve(history.size());
    for (const TimeChartSample& sample : history)
      for (int c = 0; c < kTimeCharts; ++c) values[c].push_back(sample[series_[c]]);
    kept = history.size();
    made = n;
  });
  // The oldest sample kept is not the scan's first once the history is full.
  nextX_ = static_cast<double>(std::max<std::uint64_t>(made, kept));
  firstX_ = nextX_ - static_cast<double>(kept);
  for (int c = 0; c < kTimeCharts; ++c) charts_[c]->PlotY(kPlot, values[c], firstX_, 1.0);
}

void CTimePlotsView::AppendLatest() {
  // The samples made since the last update: notices are coalesced, so there may be several.
  std::vector<TimeChartSample> fresh;
  double made = 0;
  doc_.Results().ReadHistory([&](const std::deque<TimeChartSample>& history, std::uint64_t n) {
    made = static_cast<double>(n);
    if (made >= nextX_ && made - nextX_ <= kMaxCatchUp) {
      const std::size_t count = std::min(static_cast<std::size_t>(made - nextX_), history.size());
      fresh.assign(history.end() - static_cast<std::ptrdiff_t>(count), history.end());
    }
  });
  if (made < nextX_ || made - nextX_ > kMaxCatchUp) {
    // A new scan, or far behind: the history as it stands.
    ReplayLocked();
  } else {
    double x = made - static_cast<double>(fresh.size());
    for (const TimeChartSample& sample : fresh) {
      for (int c = 0; c < kTimeCharts; ++c) charts_[c]->AppendPoint(kPlot, x, sample[series_[c]]);
      x += 1;
    }
    nextX_ = made;
    firstX_ = std::max(firstX_, nextX_ - doc_.Settings().scan.bufferLength);
  }
  if (autoScroll_) FollowNewest();
}

void CTimePlotsView::FollowNewest() {
  const XWindow x = XShown();
  const double width = x.maximum > x.minimum ? x.maximum - x.minimum : defaultMaxX_ - defaultMinX_;
  const double start = std::max(0.0, nextX_ - 1 - width);
  if (x.minimum != start || x.maximum != start + width) SetXWindow({start, start + width});
}

void CTimePlotsView::SetAutoScroll(bool on) {
  if (on != autoScroll_) {
    autoScroll_ = on;
    doc_.Store().Write(keys::kTimePlotsAutoScroll, on ? 1 : 0);
  }
  if (autoScrollBox_->isChecked() != on) {
    const QSignalBlocker block(autoScrollBox_);
    autoScrollBox_->setChecked(on);
  }
  if (on) FollowNewest();
}

void CTimePlotsView::AlignPlotAreas(int chart, const QRectF& area) {
  // The chart just laid out with its present margins: its left edge without what was added
  // to line it up is its own. All of them move to the widest; the right edges agree already
  // (the x axes are the same).
  naturalLeft_[chart] = area.left() - (charts_[chart]->Chart()->margins().left() - kChartMargin);
  const double widest = *std::max_element(naturalLeft_.begin(), naturalLeft_.end());
  for (int c = 0; c < kTimeCharts; ++c) {
    if (naturalLeft_[c] <= 0) continue;  // not laid out yet
    const int extra = static_cast<int>(std::lround(widest - naturalLeft_[c]));
    QChart* qc = charts_[c]->Chart();
    if (qc->margins().left() == kChartMargin + extra) continue;
    qc->setMargins(QMargins(kChartMargin + extra, kChartMargin, kChartRightMargin, kChartMargin));
  }
}

XWindow CTimePlotsView::XShown() const {
  const AxisRange r = charts_[0]->Range(kXAxis);
  return {r.minimum, r.maximum};
}

void CTimePlotsView::SetXWindow(XWindow x) {
  for (CGraph* chart : charts_) chart->SetRange(kXAxis, x.minimum, x.maximum);
}

// With auto-scroll on, a wider or narrower window keeps the newest sample at its right edge.
void CTimePlotsView::XPlus() {
  SetXWindow(vesk::XPlus(XShown(), defaultMaxX_));
  if (autoScroll_) FollowNewest();
}

void CTimePlotsView::XMinus() {
  SetXWindow(vesk::XMinus(XShown(), defaultMaxX_));
  if (autoScroll_) FollowNewest();
}

void CTimePlotsView::ResetX() {
  SetXWindow({static_cast<double>(defaultMinX_), static_cast<double>(defaultMaxX_)});
  if (autoScroll_) FollowNewest();
}

void CTimePlotsView::XOlder() {
  const auto x = vesk::XOlder(XShown(), defaultMinX_, defaultMaxX_);
  if (!x) return;
  // Looking back: the window stays there while new samples come in.
  SetAutoScroll(false);
  SetXWindow(*x);
}

void CTimePlotsView::XNewer() {
  SetXWindow(vesk::XNewer(XShown(), defaultMinX_, defaultMaxX_));
}

void CTimePlotsView::ResetY() {
  for (int c = 0; c < kTimeCharts; ++c) {
    const SeriesScale s = LoadSeriesScale(doc_.Store(), series_[c]);
    charts_[c]->SetRange(kYAxis, s.minY, s.maxY);
  }
}

void CTimePlotsView::StepY(YStep step) {
  for (int c = 0; c < kTimeCharts; ++c) {
    const double by = LoadSeriesScale(doc_.Store(), series_[c]).scaling;
    AxisRange y = charts_[c]->Range(kYAxis);
    switch (step) {
      case YStep::MaxUp: y.maximum += by; break;
      case YStep::MaxDown: y.maximum -= by; break;
      case YStep::MinDown: y.minimum -= by; break;
      case YStep::MinUp: y.minimum += by; break;
    }
    if (y.minimum < y.maximum) charts_[c]->SetRange(kYAxis, y.minimum, y.maximum);
  }
}

void CTimePlotsView::ClearPlots() {
  // For good: a view made later (the histogram and back) replays nothing older either.
  doc_.Results().ClearHistory();
  for (CGraph* chart : charts_) chart->ClearData();
  // New samples go on from where the scan is.
  firstX_ = nextX_;
}

void CTimePlotsView::ToggleAutoScale() {
  autoScale_ = !autoScale_;
  doc_.Store().Write(keys::kTimePlotsAutoScale, autoScale_ ? 1 : 0);
  for (CGraph* chart : charts_) chart->SetAutoScale(kYAxis, autoScale_);
  if (!autoScale_) ResetY();
}

void CTimePlotsView::ToggleGridLines() {
  gridLines_ = !gridLines_;
  doc_.Store().Write(keys::kTimePlotsGridLines, gridLines_ ? 1 : 0);
  for (CGraph* chart : charts_) {
    chart->SetMajorGrid(kXAxis, gridLines_);
    chart->SetMajorGrid(kYAxis, gridLines_);
  }
}

void CTimePlotsView::ChangeTimeCharts() {
  CSelectTimePlotsDlg dlg(doc_, this);
  dlg.SetPrompts(*prompts_);
  if (runDialog_(dlg) == QDialog::Accepted) Rebuild();
}

void CTimePlotsView::ScalingProperties() {
  CTimeChartsScalingProp dlg(doc_, this);
  dlg.SetPrompts(*prompts_);
  if (runDialog_(dlg) != QDialog::Accepted) return;
  autoScale_ = doc_.Store().ReadBool(keys::kTimePlotsAutoScale);
  for (int c = 0; c < kTimeCharts; ++c) ApplyScale(c);
}

void CTimePlotsView::AddNewCursor() {
  CTimePlot_InsertCursorDlg dlg(this);
  dlg.SetSeconds(static_cast<int>(std::max(0.0, nextX_ - 1) * kTimeChartSampleSeconds));
  if (runDialog_(dlg) != QDialog::Accepted) return;
  for (CGraph* chart : charts_) chart->AddCursor(dlg.Seconds() / kTimeChartSampleSeconds);
}

void CTimePlotsView::ShowMarks(const std::vector<Mark>& marks) {
  // A sample is made of two L frames: the mark before L frame n stands at sample n / 2.
  std::vector<std::pair<double, QString>> markers;
  for (const Mark& m : marks) {
    markers.emplace_back(m.lFrameIndex / 2.0, QStringLiteral("M%1").arg(m.number));
  }
  for (CGraph* chart : charts_) chart->SetMarkers(markers);
}

void CTimePlotsView::RemoveAllCursors() {
  if (!prompts_->Ask(this, kConfirmRemoveCursors, "", QMessageBox::Question,
                     DialogPrompts::Buttons::YesNo))
    return;
  for (CGraph* chart : charts_) chart->RemoveAllCursors();
}

std::unique_ptr<QMenu> CTimePlotsView::CreateContextMenu() {
  auto menu = std::make_unique<QMenu>(kTimeChartsMenuTitle, this);
  QAction* autoScale = menu->addAction("Auto Scale");
  autoScale->setObjectName("autoScaleAction");
  autoScale->setCheckable(true);
  autoScale->setChecked(autoScale_);
  connect(autoScale, &QAction::triggered, this, &CTimePlotsView::ToggleAutoScale);
  QAction* grid = menu->addAction("Grid Lines");
  grid->setObjectName("gridLinesAction");
  grid->setCheckable(true);
  grid->setChecked(gridLines_);
  connect(grid, &QAction::triggered, this, &CTimePlotsView::ToggleGridLines);
  menu->addSeparator();
  const auto item = [&](const char* text, const char* name, void (CTimePlotsView::*command)()) {
    QAction* a = menu->addAction(text);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, command);
  };
  item("Change Time Charts", "changeTimeChartsAction", &CTimePlotsView::ChangeTimeCharts);
  item("Scaling Properties", "scalingPropertiesAction", &CTimePlotsView::ScalingProperties);
  menu->addSeparator();
  item("Add New Cursor", "addCursorAction", &CTimePlotsView::AddNewCursor);
  item("Remove All Cursors", "removeCursorsAction", &CTimePlotsView::RemoveAllCursors);
  return menu;
}

void CTimePlotsView::ApplyScale(int chart) {
  CGraph& g = *charts_[chart];
  const SeriesScale s = LoadSeriesScale(doc_.Store(), series_[chart]);
  g.SetCaption(kYAxis, SeriesCaption(series_[chart]));
  g.SetAutoScale(kYAxis, false);
  g.SetRange(kYAxis, s.minY, s.maxY);
  if (s.scaling > 0) g.SetTickSpacing(kYAxis, s.scaling, 0);
  g.SetMajorGrid(kXAxis, gridLines_);
  g.SetMajorGrid(kYAxis, gridLines_);
  g.SetAutoScale(kYAxis, autoScale_);
}

void CTimePlotsView::Rebuild() {
  for (int c = 0; c < kTimeCharts; ++c) {
    series_[c] = ValidSeries(doc_.Store().Read(*kChartKeys[c]));
    charts_[c]->ClearData();
    ApplyScale(c);
  }
  ReplayLocked();
}

QString CTimePlotsView::StepText() const {
  return stepLabel_->text();
}

}  // namespace vesk
