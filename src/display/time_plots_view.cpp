#include "display/time_plots_view.h"

#include <QApplication>
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
#include "ui/dialogs/dialog_prompts.h"
#include "ui/dialogs/select_time_plots_dlg.h"
#include "ui/dialogs/time_charts_scaling_prop.h"
#include "ui/dialogs/time_plot_insert_cursor_dlg.h"

namespace vesk {
namespace {

constexpr const IntKey* kChartKeys[kTimeCharts] = {&keys::kPlotA, &keys::kPlotB, &keys::kPlotC};

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
  autoScale_ = doc_.store.ReadBool(keys::kTimePlotsAutoScale);
  gridLines_ = doc_.store.ReadBool(keys::kTimePlotsGridLines);
  defaultMinX_ = doc_.store.Read(keys::kDefaultMinX);
  defaultMaxX_ = doc_.store.Read(keys::kDefaultMaxX);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  for (int c = 0; c < kTimeCharts; ++c) {
    auto* graph = new CGraph(this);
    graph->setObjectName(QStringLiteral("timeChart%1").arg(c));
    graph->SetPlotName(1, kPlot);
    graph->SetAxisName(CGraph::kXAxis, kXAxis);
    graph->SetAxisName(CGraph::kYAxis, kYAxis);
    graph->SetLabelFormat(kXAxis, "%d");
    graph->SetHistoryLength(doc_.bufferLength);
    connect(graph, &CGraph::ContextMenuRequested, this,
            [this](const QPoint& pos) { CreateContextMenu()->exec(pos); });
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
  button("<<", "xOlderButton", "Show older samples", &CTimePlotsView::XOlder);
  button(">>", "xNewerButton", "Show newer samples", &CTimePlotsView::XNewer);
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
  SetXWindow({static_cast<double>(
                  doc_.store.ReadInt(keys::kLastMinX.section, keys::kLastMinX.key, defaultMinX_)),
              static_cast<double>(
                  doc_.store.ReadInt(keys::kLastMaxX.section, keys::kLastMaxX.key, defaultMaxX_))});
}

CTimePlotsView::~CTimePlotsView() {
  if (doc_.store.ReadBool(keys::kSaveDefaults)) {
    for (int c = 0; c < kTimeCharts; ++c) {
      const AxisRange y = charts_[c]->Range(kYAxis);
      const int minY = static_cast<int>(std::floor(y.minimum));
      const int maxY = std::max(minY + 1, static_cast<int>(std::ceil(y.maximum)));
      StoreSeriesRange(doc_.store, series_[c], minY, maxY);
    }
  }
  const XWindow x = XShown();
  doc_.store.Write(keys::kLastMinX, static_cast<int>(std::lround(x.minimum)));
  doc_.store.Write(keys::kLastMaxX, static_cast<int>(std::lround(x.maximum)));
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
  for (CGraph* chart : charts_) {
    chart->SetAutoScale(kYAxis, false);
    chart->SetRange(kXAxis,
                    doc_.store.ReadInt(keys::kLastMinX.section, keys::kLastMinX.key, defaultMinX_),
                    doc_.store.ReadInt(keys::kLastMaxX.section, keys::kLastMaxX.key, defaultMaxX_));
  }
  ReplayLocked();
  for (CGraph* chart : charts_) chart->SetAutoScale(kYAxis, autoScale_);
}

void CTimePlotsView::ReplayLocked() {
  std::array<std::vector<double>, kTimeCharts> values;
  std::lock_guard lock(doc_.timeChartHistoryLock);
  for (auto& v : values) v.reserve(doc_.timeChartHistory.size());
  for (const TimeChartSample& sample : doc_.timeChartHistory)
    for (int c = 0; c < kTimeCharts; ++c) values[c].push_back(sample[series_[c]]);
  for (int c = 0; c < kTimeCharts; ++c) charts_[c]->PlotY(kPlot, values[c], 0.0, 1.0);
  nextX_ = static_cast<double>(doc_.timeChartHistory.size());
}

void CTimePlotsView::AppendLatest() {
  TimeChartSample sample;
  {
    std::lock_guard lock(doc_.timeChartLock);
    sample = doc_.latestSample;
  }
  const XWindow shown = XShown();
  const double x = nextX_;
  nextX_ += 1;
  for (int c = 0; c < kTimeCharts; ++c) charts_[c]->AppendPoint(kPlot, x, sample[series_[c]]);
  // A window at the newest sample follows the new ones; one the user moved back stays put.
  if (x > shown.maximum && x - 1 <= shown.maximum)
    SetXWindow({shown.minimum + (x - shown.maximum), x});
}

XWindow CTimePlotsView::XShown() const {
  const AxisRange r = charts_[0]->Range(kXAxis);
  return {r.minimum, r.maximum};
}

void CTimePlotsView::SetXWindow(XWindow x) {
  for (CGraph* chart : charts_) chart->SetRange(kXAxis, x.minimum, x.maximum);
}

void CTimePlotsView::XPlus() {
  SetXWindow(vesk::XPlus(XShown(), defaultMaxX_));
}

void CTimePlotsView::XMinus() {
  SetXWindow(vesk::XMinus(XShown(), defaultMaxX_));
}

void CTimePlotsView::ResetX() {
  SetXWindow({static_cast<double>(defaultMinX_), static_cast<double>(defaultMaxX_)});
}

void CTimePlotsView::XOlder() {
  if (const auto x = vesk::XOlder(XShown(), defaultMinX_, defaultMaxX_)) SetXWindow(*x);
}

void CTimePlotsView::XNewer() {
  SetXWindow(vesk::XNewer(XShown(), defaultMinX_, defaultMaxX_));
}

void CTimePlotsView::ResetY() {
  for (int c = 0; c < kTimeCharts; ++c) {
    const SeriesScale s = LoadSeriesScale(doc_.store, series_[c]);
    charts_[c]->SetRange(kYAxis, s.minY, s.maxY);
  }
}

void CTimePlotsView::StepY(YStep step) {
  for (int c = 0; c < kTimeCharts; ++c) {
    const double by = LoadSeriesScale(doc_.store, series_[c]).scaling;
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
  for (CGraph* chart : charts_) chart->ClearData();
  nextX_ = 0;
}

void CTimePlotsView::ToggleAutoScale() {
  autoScale_ = !autoScale_;
  doc_.store.Write(keys::kTimePlotsAutoScale, autoScale_ ? 1 : 0);
  for (CGraph* chart : charts_) chart->SetAutoScale(kYAxis, autoScale_);
  if (!autoScale_) ResetY();
}

void CTimePlotsView::ToggleGridLines() {
  gridLines_ = !gridLines_;
  doc_.store.Write(keys::kTimePlotsGridLines, gridLines_ ? 1 : 0);
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
  autoScale_ = doc_.store.ReadBool(keys::kTimePlotsAutoScale);
  for (int c = 0; c < kTimeCharts; ++c) ApplyScale(c);
}

void CTimePlotsView::AddNewCursor() {
  CTimePlot_InsertCursorDlg dlg(this);
  if (runDialog_(dlg) != QDialog::Accepted) return;
  for (CGraph* chart : charts_) chart->AddCursor(dlg.Sample());
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
  const SeriesScale s = LoadSeriesScale(doc_.store, series_[chart]);
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
    series_[c] = ValidSeries(doc_.store.Read(*kChartKeys[c]));
    charts_[c]->ClearData();
    ApplyScale(c);
  }
  ReplayLocked();
}

QString CTimePlotsView::StepText() const {
  return stepLabel_->text();
}

}  // namespace vesk
