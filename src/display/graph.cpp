#include "display/graph.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPen>
#include <QScatterSeries>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "display/axis_ticks.h"

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

// Headroom above the highest value when a horizontal axis follows the data.
constexpr double kAutoScaleMargin = 0.05;
// Pixels between two labels along an axis, beyond the labels themselves.
constexpr double kLabelGap = 14;
// Caption fonts are made no smaller than this to fit.
constexpr int kSmallestCaptionPixels = 9;

constexpr int kMaxCaptionLines = 3;

// The words of `text` in `lines` lines (fewer when it has fewer words), broken where the
// longest line is shortest.
QStringList SplitIntoLines(const QString& text, int lines, const QFontMetricsF& metrics) {
  const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
  lines = std::clamp(lines, 1, static_cast<int>(std::max<qsizetype>(words.size(), 1)));
  if (lines == 1) return {text};
  QStringList best;
  double bestWidth = 0;
  // Each break after word i (and j for three lines).
  const int n = static_cast<int>(words.size());
  for (int i = 1; i < n; ++i) {
    for (int j = lines == 3 ? i + 1 : n; j <= n; ++j) {
      if (lines == 3 && j == n) break;
      QStringList candidate{words.mid(0, i).join(' ')};
      if (lines == 3) {
        candidate << words.mid(i, j - i).join(' ') << words.mid(j).join(' ');
      } else {
        candidate << words.mid(i).join(' ');
      }
      double widest = 0;
      for (const QString& line : candidate)
        widest = std::max(widest, metrics.horizontalAdvance(line));
      if (best.isEmpty() || widest < bestWidth) {
        best = candidate;
        bestWidth = widest;
      }
      if (lines == 2) break;
    }
  }
  return best;
}

// A label as a printf-style format shows the value ("%d" takes a whole number).
QString FormatLabel(const QString& format, double value) {
  const std::string f = format.toStdString();
  if (f.find_first_of("di") != std::string::npos)
    return QString::asprintf(f.c_str(), static_cast<int>(std::lround(value)));
  return QString::asprintf(f.c_str(), value);
}

}  // namespace

CGraph::CGraph(QWidget* parent, double xSecondsPerUnit) : QWidget(parent) {
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
    if (i == 0 && xSecondsPerUnit > 0) {
      // Labels at round times: a category axis whose categories end at those times.
      auto* time = new QCategoryAxis(chart_);
      time->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
      a.axis = time;
      a.secondsPerUnit = xSecondsPerUnit;
    } else {
      a.axis = new QValueAxis(chart_);
    }
    a.axis->setRange(0, 10);
    a.axis->setLabelFormat(a.labelFormat);
    chart_->addAxis(a.axis, i == 0 ? Qt::AlignBottom : Qt::AlignLeft);
  }
  connect(axes_[0].axis, &QValueAxis::rangeChanged, this, [this] {
    ApplyTicks(axes_[0]);
    if (!markers_.empty()) UpdateCursors();
  });
  connect(chart_, &QChart::plotAreaChanged, this, [this] {
    ApplyAutoScale();
    for (Axis& a : axes_) {
      ApplyTicks(a);
      FitCaption(a);
    }
    if (!markers_.empty()) UpdateCursors();
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
    if (horizontal) {
      if (hi <= lo) hi = lo + 1;
      a.axis->setRange(lo, hi);
      continue;
    }
    // Labels of the value axis need about two text lines of height each.
    const double lineHeight = QFontMetricsF(a.axis->labelsFont()).height();
    const int maxLabels = std::min(LabelsThatFit(a, lineHeight + 8), 7);
    NiceRange nice = ChooseNiceRange(lo, hi, maxLabels);
    if (nice.step < a.minimumStep) {
      // As coarse as the values allow: whole multiples of the minimum step.
      nice.step = a.minimumStep;
      nice.minimum = std::floor(lo / nice.step) * nice.step;
      nice.maximum = std::max(std::ceil(hi / nice.step) * nice.step, nice.minimum + nice.step);
      nice.decimals = DecimalsForStep(nice.step);
    }
    a.autoStep = nice.step;
    a.autoFormat = QStringLiteral("%.%1f").arg(nice.decimals);
    if (a.axis->min() != nice.minimum || a.axis->max() != nice.maximum) {
      a.axis->setRange(nice.minimum, nice.maximum);
    } else {
      ApplyTicks(a);
    }
  }
}

int CGraph::LabelsThatFit(const Axis& a, double labelExtent) const {
  const bool horizontal = a.orientation == Qt::Horizontal;
  const double pixels = horizontal ? chart_->plotArea().width() : chart_->plotArea().height();
  if (!(pixels > 0) || !(labelExtent > 0)) return kMaxMajorTicks;
  return std::clamp(static_cast<int>(pixels / labelExtent) + 1, 2, kMaxMajorTicks);
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
  if (on) {
    ApplyAutoScale();
  } else if (a->autoStep > 0) {
    // Back to the spacing and the label format the owner asked for.
    a->autoStep = 0;
    ApplyTicks(*a);
  }
}

void CGraph::SetMinimumStep(const QString& axis, double step) {
  if (Axis* a = FindAxis(axis)) a->minimumStep = std::max(0.0, step);
}

bool CGraph::AutoScale(const QString& axis) const {
  const Axis* a = FindAxis(axis);
  return a != nullptr && a->autoScale;
}

void CGraph::SetCaption(const QString& axis, const QString& text) {
  Axis* a = FindAxis(axis);
  if (a == nullptr) return;
  a->caption = text;
  FitCaption(*a);
}

QString CGraph::Caption(const QString& axis) const {
  const Axis* a = FindAxis(axis);
  return a == nullptr ? QString() : a->caption;
}

void CGraph::FitCaption(Axis& a) {
  // The caption runs along its axis: a vertical one has the plot's height, less a little.
  const QRectF area = chart_->plotArea();
  const double room = (a.orientation == Qt::Vertical ? area.height() : area.width()) - 4;
  if (!a.captionFont) a.captionFont = a.axis->titleFont();
  QFont font = *a.captionFont;
  QString shown = a.caption.toHtmlEscaped();
  if (room > 0 && !a.caption.isEmpty()) {
    // Whole, else in two or three lines, each size from the caption's own down to the
    // smallest; where nothing fits, the smallest three lines (cut by the chart).
    const int basePixels = QFontInfo(font).pixelSize();
    bool fits = false;
    for (int pixels = basePixels; !fits && pixels >= std::min(basePixels, kSmallestCaptionPixels);
         --pixels) {
      if (pixels != basePixels) font.setPixelSize(pixels);
      const QFontMetricsF metrics(font);
      for (int lines = 1; !fits && lines <= kMaxCaptionLines; ++lines) {
        const QStringList split = SplitIntoLines(a.caption, lines, metrics);
        double widest = 0;
        for (const QString& line : split)
          widest = std::max(widest, metrics.horizontalAdvance(line));
        QStringList escaped;
        for (const QString& line : split) escaped << line.toHtmlEscaped();
        shown = escaped.join(QStringLiteral("<br>"));
        fits = widest <= room;
      }
    }
    if (font != a.axis->titleFont()) a.axis->setTitleFont(font);
  }
  if (a.axis->titleText() != shown) a.axis->setTitleText(shown);
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

QString CGraph::LabelFormat(const Axis& a) {
  return a.autoStep > 0 ? a.autoFormat : a.labelFormat;
}

void CGraph::ApplyLabelFormat(Axis& a) {
  QString format = LabelFormat(a);
  if (a.orientation == Qt::Vertical) {
    // The chart gives a value axis' caption the room its labels leave beyond "...": labels
    // narrower than that ("0" to "2") would cut the caption. They are widened with blanks.
    const QFontMetricsF metrics(a.axis->labelsFont());
    const double widest = std::max(metrics.horizontalAdvance(FormatLabel(format, a.axis->min())),
                                   metrics.horizontalAdvance(FormatLabel(format, a.axis->max())));
    if (widest < metrics.horizontalAdvance(QStringLiteral("...")) + 2)
      format = QStringLiteral("&nbsp;&nbsp;") + format;
  }
  if (a.axis->labelFormat() != format) a.axis->setLabelFormat(format);
}

void CGraph::ApplyTicks(Axis& a) {
  if (a.secondsPerUnit > 0) {
    ApplyTimeTicks(a);
    return;
  }
  ApplyLabelFormat(a);
  const double base = a.autoScale && a.autoStep > 0 ? a.autoStep : a.majorSpacing;
  if (!(base > 0)) return;
  const double span = a.axis->max() - a.axis->min();
  if (!(span > 0) || !std::isfinite(span)) return;
  // Labels need room: as many as the plot area holds, else their text is cut to "...".
  const bool horizontal = a.orientation == Qt::Horizontal;
  const QFontMetricsF metrics(a.axis->labelsFont());
  double extent = metrics.height() + 8;
  if (horizontal) {
    const QString format = LabelFormat(a);
    extent = std::max(metrics.horizontalAdvance(FormatLabel(format, a.axis->min())),
                      metrics.horizontalAdvance(FormatLabel(format, a.axis->max()))) +
             kLabelGap;
  }
  const int maxTicks = LabelsThatFit(a, extent);
  // Coarser ticks stay multiples of the spacing asked for: x1, x2, x5, x10, x20 ...
  double multiplier = 1;
  for (int i = 0; span / (base * multiplier) + 1 > maxTicks; ++i) {
    multiplier = std::pow(10.0, i / 3) * (i % 3 == 0 ? 2 : i % 3 == 1 ? 5 : 10);
  }
  const double interval = base * multiplier;
  a.axis->setTickType(QValueAxis::TicksDynamic);
  a.axis->setTickAnchor(0);
  a.axis->setTickInterval(interval);
  int minorCount = a.minorSpacing > 0 && a.autoStep == 0
                       ? static_cast<int>(std::lround(interval / a.minorSpacing)) - 1
                       : 0;
  // Too many minor lines for one major step: mark the spacing asked for instead.
  if (minorCount > 9) minorCount = static_cast<int>(std::lround(multiplier)) - 1;
  a.axis->setMinorTickCount(std::clamp(minorCount, 0, 9));
}

void CGraph::ApplyTimeTicks(Axis& a) {
  auto* time = static_cast<QCategoryAxis*>(a.axis);
  const double lo = a.axis->min();
  const double hi = a.axis->max();
  if (!(hi > lo) || !std::isfinite(hi - lo)) return;
  const bool withHours = std::max(std::abs(lo), std::abs(hi)) * a.secondsPerUnit >= 3600;
  const QFontMetricsF metrics(a.axis->labelsFont());
  const double extent = metrics.horizontalAdvance(QString::fromStdString(
                            ElapsedLabel(withHours ? 36000 : 6000, withHours))) +
                        kLabelGap * 2;
  const double step =
      ChooseTimeStep((hi - lo) * a.secondsPerUnit, LabelsThatFit(a, extent)) / a.secondsPerUnit;
  QStringList labels;
  std::vector<double> ends;
  for (double k = std::ceil(lo / step - 1e-9); k * step <= hi + step * 1e-9; k += 1) {
    labels << QString::fromStdString(ElapsedLabel(k * step * a.secondsPerUnit, withHours));
    ends.push_back(k * step);
  }
  if (labels == time->categoriesLabels() && time->startValue() <= lo) return;
  for (const QString& old : time->categoriesLabels()) time->remove(old);
  // The first category starts below the range, so that a label on its lower end shows.
  time->setStartValue(lo - step);
  for (int i = 0; i < labels.size(); ++i) time->append(labels[i], ends[static_cast<size_t>(i)]);
}

void CGraph::SetLabelFormat(const QString& axis, const QString& format) {
  Axis* a = FindAxis(axis);
  if (a == nullptr) return;
  a->labelFormat = format;
  if (a->autoStep == 0) ApplyTicks(*a);
}

QStringList CGraph::Labels(const QString& axis) const {
  const Axis* a = FindAxis(axis);
  if (a == nullptr) return {};
  if (a->secondsPerUnit > 0) return static_cast<QCategoryAxis*>(a->axis)->categoriesLabels();
  // The multiples of the tick interval within the range, as the label format shows them.
  QStringList labels;
  const double interval = a->axis->tickInterval();
  if (a->axis->tickType() != QValueAxis::TicksDynamic || !(interval > 0)) return labels;
  const double lo = a->axis->min();
  const double hi = a->axis->max();
  for (double k = std::ceil(lo / interval - 1e-9); k * interval <= hi + interval * 1e-9; k += 1)
    labels << FormatLabel(LabelFormat(*a), k * interval);
  return labels;
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

void CGraph::SetMarkers(const std::vector<std::pair<double, QString>>& markers) {
  for (Marker& m : markers_) {
    for (QAbstractSeries* s :
         {static_cast<QAbstractSeries*>(m.line), static_cast<QAbstractSeries*>(m.label)}) {
      chart_->removeSeries(s);
      delete s;
    }
  }
  markers_.clear();
  const QColor color(21, 101, 192);
  for (const auto& [x, text] : markers) {
    QLineSeries* line = NewSeries();
    QPen pen(color);
    pen.setWidth(2);
    pen.setStyle(Qt::DashLine);
    line->setPen(pen);
    auto* label = new QScatterSeries(chart_);
    chart_->addSeries(label);
    label->attachAxis(axes_[0].axis);
    label->attachAxis(axes_[1].axis);
    label->setMarkerSize(7);
    label->setColor(color);
    label->setBorderColor(color);
    label->setPointLabelsFormat(text);
    label->setPointLabelsColor(color);
    label->setPointLabelsClipping(true);
    label->setPointLabelsVisible(true);
    markers_.push_back({x, text, line, label});
  }
  std::sort(markers_.begin(), markers_.end(),
            [](const Marker& a, const Marker& b) { return a.x < b.x; });
  UpdateCursors();
}

std::vector<int> CGraph::MarkerRows() const {
  std::vector<int> rows;
  for (const Marker& m : markers_) rows.push_back(m.line->isVisible() ? m.row : -1);
  return rows;
}

std::vector<double> CGraph::MarkerPositions() const {
  std::vector<double> out;
  for (const Marker& m : markers_) out.push_back(m.x);
  return out;
}

void CGraph::UpdateCursors() {
  const double lo = axes_[1].axis->min();
  const double hi = axes_[1].axis->max();
  for (auto& [x, series] : cursors_) series->replace({QPointF(x, lo), QPointF(x, hi)});
  if (markers_.empty()) return;
  // The labels just under the top, where they stay inside the plot (each stands centred above
  // its point); a label that would touch the one before it goes a row lower.
  const double xLo = axes_[0].axis->min();
  const double xHi = axes_[0].axis->max();
  const QRectF area = chart_->plotArea();
  const QFontMetricsF metrics(markers_.front().label->pointLabelsFont());
  const double pixelsPerX = area.width() > 0 && xHi > xLo ? area.width() / (xHi - xLo) : 0;
  const double valuePerPixel = area.height() > 0 ? (hi - lo) / area.height() : 0;
  const double rowPixels = metrics.height() + 2;
  std::vector<double> rowEnds;  // the right edge of the last label of each row, in pixels
  for (Marker& m : markers_) {
    const bool shown = m.x >= xLo && m.x <= xHi;
    m.line->setVisible(shown);
    m.label->setVisible(shown);
    if (!shown) continue;
    const double centre = (m.x - xLo) * pixelsPerX;
    const double half = metrics.horizontalAdvance(m.text) / 2 + 3;
    std::size_t row = 0;
    while (row < rowEnds.size() && rowEnds[row] > centre - half) ++row;
    if (row == rowEnds.size()) rowEnds.push_back(0);
    rowEnds[row] = centre + half;
    m.row = static_cast<int>(row);
    m.line->replace({QPointF(m.x, lo), QPointF(m.x, hi)});
    m.label->replace({QPointF(m.x, hi - valuePerPixel * (rowPixels * (m.row + 1) + 4))});
  }
}

}  // namespace vesk
