#include "display/graph.h"

#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPen>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace vesk {
namespace {

// A chart view whose right click asks for the owner's menu instead of zooming out; the left
// button draws the zoom rectangle.
class GraphChartView : public QChartView {
 public:
  GraphChartView(QChart* chart, QWidget* parent) : QChartView(chart, parent) {
    setRubberBand(QChartView::RectangleRubberBand);
    setRenderHint(QPainter::Antialiasing, false);
    setContextMenuPolicy(Qt::CustomContextMenu);
  }

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::RightButton) {
      event->accept();
      return;
    }
    QChartView::mouseReleaseEvent(event);
  }
};

// Headroom above the highest value when an axis follows the data.
constexpr double kAutoScaleMargin = 0.05;

}  // namespace

CGraph::CGraph(QWidget* parent) : QWidget(parent) {
  chart_ = new QChart();
  chart_->legend()->hide();
  chart_->setMargins(QMargins(4, 4, 4, 4));
  chart_->setBackgroundRoundness(0);
  view_ = new GraphChartView(chart_, this);  // the view owns the chart
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  connect(view_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { emit ContextMenuRequested(view_->mapToGlobal(pos)); });

  const char* names[2] = {"XAxis", "YAxis-1"};
  for (int i = 0; i < 2; ++i) {
    Axis& a = axes_[i];
    a.name = names[i];
    a.axis = new QValueAxis(chart_);
    a.orientation = i == 0 ? Qt::Horizontal : Qt::Vertical;
    a.axis->setRange(0, 10);
    a.axis->setLabelFormat(i == 0 ? "%g" : "%g");
    chart_->addAxis(a.axis, i == 0 ? Qt::AlignBottom : Qt::AlignLeft);
  }
  connect(axes_[0].axis, &QValueAxis::rangeChanged, this, [this] { ApplyTicks(axes_[0]); });
  connect(chart_, &QChart::plotAreaChanged, this, [this] {
    for (Axis& a : axes_) ApplyTicks(a);
  });
  connect(axes_[1].axis, &QValueAxis::rangeChanged, this, [this] {
    ApplyTicks(axes_[1]);
    UpdateCursors();
  });
  AddPlot("Plot-1");
}

CGraph::~CGraph() = default;

QLineSeries* CGraph::NewSeries() {
  auto* series = new QLineSeries(chart_);
  chart_->addSeries(series);
  series->attachAxis(axes_[0].axis);
  series->attachAxis(axes_[1].axis);
  return series;
}

int CGraph::AddPlot(const QString& name) {
  Plot plot;
  plot.name = name;
  plot.series = NewSeries();
  plot.series->setName(name);
  plots_.push_back(std::move(plot));
  return PlotCount();
}

void CGraph::SetPlotName(int index, const QString& name) {
  if (index < 1 || index > PlotCount()) return;
  plots_[index - 1].name = name;
  plots_[index - 1].series->setName(name);
}

QString CGraph::PlotName(int index) const {
  if (index < 1 || index > PlotCount()) return {};
  return plots_[index - 1].name;
}

void CGraph::SetAxisName(int index, const QString& name) {
  if (index == kXAxis || index == kYAxis) axes_[index - 1].name = name;
}

QString CGraph::AxisName(int index) const {
  if (index == kXAxis || index == kYAxis) return axes_[index - 1].name;
  return {};
}

CGraph::Plot* CGraph::FindPlot(const QString& name) {
  for (Plot& p : plots_) {
    if (p.name == name) return &p;
  }
  return nullptr;
}

const CGraph::Plot* CGraph::FindPlot(const QString& name) const {
  return const_cast<CGraph*>(this)->FindPlot(name);
}

CGraph::Axis* CGraph::FindAxis(const QString& name) {
  for (Axis& a : axes_) {
    if (a.name == name) return &a;
  }
  return nullptr;
}

const CGraph::Axis* CGraph::FindAxis(const QString& name) const {
  return const_cast<CGraph*>(this)->FindAxis(name);
}

void CGraph::PlotY(const QString& plot, const std::vector<double>& y, double firstX, double step) {
  Plot* p = FindPlot(plot);
  if (p == nullptr) return;
  p->points.clear();
  for (std::size_t i = 0; i < y.size(); ++i) {
    p->points.emplace_back(firstX + static_cast<double>(i) * step, y[i]);
  }
  if (step != 0) p->step = step;
  Redraw(*p);
  ApplyAutoScale();
}

void CGraph::AppendPoint(const QString& plot, double x, double y) {
  Plot* p = FindPlot(plot);
  if (p == nullptr) return;
  p->points.emplace_back(x, y);
  int dropped = 0;
  while (static_cast<int>(p->points.size()) > historyLength_) {
    p->points.pop_front();
    ++dropped;
  }
  if (p->style == PlotStyle::Line &&
      p->series->count() + 1 - dropped == static_cast<int>(p->points.size())) {
    // One point in, the oldest out: no need to hand the whole curve over again.
    if (dropped > 0) p->series->removePoints(0, dropped);
    p->series->append(x, y);
  } else {
    Redraw(*p);
  }
  ApplyAutoScale();
}

void CGraph::AppendValue(const QString& plot, double y) {
  const Plot* p = FindPlot(plot);
  if (p == nullptr) return;
  const double x = p->points.empty() ? 0.0 : p->points.back().x() + p->step;
  AppendPoint(plot, x, y);
}

void CGraph::SetHistoryLength(int points) {
  historyLength_ = std::max(1, points);
  for (Plot& p : plots_) {
    if (static_cast<int>(p.points.size()) <= historyLength_) continue;
    p.points.erase(p.points.begin(), p.points.end() - historyLength_);
    Redraw(p);
  }
}

void CGraph::ClearData() {
  for (Plot& p : plots_) {
    p.points.clear();
    p.series->clear();
  }
}

std::vector<QPointF> CGraph::PlotData(const QString& plot) const {
  const Plot* p = FindPlot(plot);
  if (p == nullptr) return {};
  return {p->points.begin(), p->points.end()};
}

void CGraph::Redraw(Plot& plot) {
  QList<QPointF> drawn;
  if (plot.style == PlotStyle::Steps) {
    drawn.reserve(static_cast<qsizetype>(plot.points.size() * 2));
    for (const QPointF& pt : plot.points) {
      drawn.append(pt);
      drawn.append(QPointF(pt.x() + plot.step, pt.y()));
    }
  } else {
    drawn = QList<QPointF>(plot.points.begin(), plot.points.end());
  }
  plot.series->replace(drawn);
}

void CGraph::ApplyAutoScale() {
  for (Axis& a : axes_) {
    if (!a.autoScale) continue;
    const bool horizontal = a.orientation == Qt::Horizontal;
    double lo = 0;
    double hi = 0;
    bool any = false;
    for (const Plot& p : plots_) {
      for (const QPointF& pt : p.points) {
        const double v = horizontal ? pt.x() : pt.y();
        if (!std::isfinite(v)) continue;
        lo = any ? std::min(lo, v) : v;
        hi = any ? std::max(hi, v) : v;
        any = true;
      }
    }
    if (!any) continue;
    if (!horizontal) hi += (hi - lo) * kAutoScaleMargin;
    if (hi <= lo) hi = lo + 1;
    a.axis->setRange(lo, hi);
  }
}

AxisRange CGraph::Range(const QString& axis) const {
  const Axis* a = FindAxis(axis);
  if (a == nullptr) return {};
  return {a->axis->min(), a->axis->max()};
}

void CGraph::SetRange(const QString& axis, double minimum, double maximum) {
  Axis* a = FindAxis(axis);
  if (a == nullptr || !(minimum < maximum)) return;
  a->axis->setRange(minimum, maximum);
}

void CGraph::SetMinimum(const QString& axis, double minimum) {
  const AxisRange r = Range(axis);
  SetRange(axis, minimum, r.maximum);
}

void CGraph::SetMaximum(const QString& axis, double maximum) {
  const AxisRange r = Range(axis);
  SetRange(axis, r.minimum, maximum);
}

void CGraph::SetAutoScale(const QString& axis, bool on) {
  Axis* a = FindAxis(axis);
  if (a == nullptr) return;
  a->autoScale = on;
  if (on) ApplyAutoScale();
}

bool CGraph::AutoScale(const QString& axis) const {
  const Axis* a = FindAxis(axis);
  return a != nullptr && a->autoScale;
}

void CGraph::SetCaption(const QString& axis, const QString& text) {
  if (Axis* a = FindAxis(axis)) a->axis->setTitleText(text);
}

QString CGraph::Caption(const QString& axis) const {
  const Axis* a = FindAxis(axis);
  return a == nullptr ? QString() : a->axis->titleText();
}

void CGraph::SetMajorGrid(const QString& axis, bool on, const QColor& color) {
  Axis* a = FindAxis(axis);
  if (a == nullptr) return;
  a->axis->setGridLineVisible(on);
  a->axis->setGridLineColor(color);
}

bool CGraph::MajorGrid(const QString& axis) const {
  const Axis* a = FindAxis(axis);
  return a != nullptr && a->axis->isGridLineVisible();
}

void CGraph::SetTickSpacing(const QString& axis, double major, double minor) {
  Axis* a = FindAxis(axis);
  if (a == nullptr || !(major > 0)) return;
  a->majorSpacing = major;
  a->minorSpacing = minor;
  ApplyTicks(*a);
}

void CGraph::ApplyTicks(Axis& a) {
  if (!(a.majorSpacing > 0)) return;
  const double span = a.axis->max() - a.axis->min();
  if (!(span > 0) || !std::isfinite(span)) return;
  // Labels need room: as many as the plot area holds, else their text is cut to "...".
  const bool horizontal = a.orientation == Qt::Horizontal;
  const double pixels = horizontal ? chart_->plotArea().width() : chart_->plotArea().height();
  int maxTicks = kMaxMajorTicks;
  if (pixels > 0)
    maxTicks = std::clamp(static_cast<int>(pixels / (horizontal ? 45 : 22)), 2, kMaxMajorTicks);
  // Coarser ticks stay multiples of the spacing asked for: x1, x2, x5, x10, x20 ...
  double multiplier = 1;
  for (int i = 0; span / (a.majorSpacing * multiplier) > maxTicks; ++i) {
    multiplier = std::pow(10.0, i / 3) * (i % 3 == 0 ? 2 : i % 3 == 1 ? 5 : 10);
  }
  const double interval = a.majorSpacing * multiplier;
  a.axis->setTickType(QValueAxis::TicksDynamic);
  a.axis->setTickAnchor(0);
  a.axis->setTickInterval(interval);
  int minorCount =
      a.minorSpacing > 0 ? static_cast<int>(std::lround(interval / a.minorSpacing)) - 1 : 0;
  // Too many minor lines for one major step: mark the spacing asked for instead.
  if (minorCount > 9) minorCount = static_cast<int>(std::lround(multiplier)) - 1;
  a.axis->setMinorTickCount(std::clamp(minorCount, 0, 9));
}

void CGraph::SetLabelFormat(const QString& axis, const QString& format) {
  if (Axis* a = FindAxis(axis)) a->axis->setLabelFormat(format);
}

void CGraph::SetPlotColor(const QString& plot, const QColor& color) {
  if (Plot* p = FindPlot(plot)) p->series->setColor(color);
}

void CGraph::SetPlotStyle(const QString& plot, PlotStyle style) {
  Plot* p = FindPlot(plot);
  if (p == nullptr) return;
  p->style = style;
  Redraw(*p);
}

void CGraph::SetBackground(const QColor& color) {
  chart_->setBackgroundBrush(color);
}

void CGraph::AddCursor(double x) {
  QLineSeries* series = NewSeries();
  QPen pen(QColor(200, 0, 0));
  pen.setWidth(1);
  series->setPen(pen);
  cursors_.emplace_back(x, series);
  UpdateCursors();
}

void CGraph::RemoveAllCursors() {
  for (auto& [x, series] : cursors_) {
    chart_->removeSeries(series);
    delete series;
  }
  cursors_.clear();
}

std::vector<double> CGraph::CursorPositions() const {
  std::vector<double> out;
  for (const auto& [x, series] : cursors_) out.push_back(x);
  return out;
}

void CGraph::UpdateCursors() {
  const double lo = axes_[1].axis->min();
  const double hi = axes_[1].axis->max();
  for (auto& [x, series] : cursors_) series->replace({QPointF(x, lo), QPointF(x, hi)});
}

}  // namespace vesk
