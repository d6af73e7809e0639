#pragma once
// The plotting surface of the histogram and the time charts, drawn with Qt Charts: named
// plots on a named x axis and y axis, whole arrays and appended points with a history
// length, axis ranges (also after the user zoomed with the mouse), autoscale, grid lines,
// ticks and vertical cursors. Look-ups go by name; an unknown name does nothing. An axis that
// follows its data gets a range of "nice" label steps; an x axis of elapsed time labels its
// ticks "mm:ss"; captions too long for their axis are wrapped or made smaller.

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

QT_BEGIN_NAMESPACE
class QChart;
class QChartView;
class QLineSeries;
class QScatterSeries;
class QValueAxis;
QT_END_NAMESPACE

namespace vesk {

struct AxisRange {
  double minimum = 0;
  double maximum = 0;
};

class CGraph : public QWidget {
  Q_OBJECT

 public:
  enum class PlotStyle { Line, Steps };
  // Axis indices, as the views count them.
  static constexpr int kXAxis = 1;
  static constexpr int kYAxis = 2;
  static constexpr int kDefaultHistoryLength = 1000;
  static constexpr int kMaxMajorTicks = 30;  // labels on one axis at most

  // A new graph holds one plot "Plot-1" on the axes "XAxis" and "YAxis-1". With
  // `xSecondsPerUnit` above 0 the x axis counts time, that many seconds per unit, and its
  // labels read "mm:ss" (or "h:mm:ss") at round times.
  explicit CGraph(QWidget* parent = nullptr, double xSecondsPerUnit = 0);
  ~CGraph() override;

  // --- names (indices are 1-based) ---
  void SetPlotName(int index, const QString& name);
  QString PlotName(int index) const;
  int PlotCount() const { return static_cast<int>(plots_.size()); }
  // Adds a plot on the graph's axes; returns its index.
  int AddPlot(const QString& name);
  void SetAxisName(int index, const QString& name);
  QString AxisName(int index) const;

  // --- data ---
  // Replaces the plot's curve with y[i] at firstX + i * step.
  void PlotY(const QString& plot, const std::vector<double>& y, double firstX, double step);
  // Adds a point after the others; the oldest go beyond the history length.
  void AppendPoint(const QString& plot, double x, double y);
  // The same with x one step (the last whole-array step, else 1) after the last point.
  void AppendValue(const QString& plot, double y);
  void SetHistoryLength(int points);
  int HistoryLength() const { return historyLength_; }
  // Every curve emptied.
  void ClearData();
  // The points a plot holds, as given (not as drawn).
  std::vector<QPointF> PlotData(const QString& plot) const;

  // --- axes ---
  // The range shown now, including a zoom the user made with the mouse.
  AxisRange Range(const QString& axis) const;
  void SetRange(const QString& axis, double minimum, double maximum);
  void SetMinimum(const QString& axis, double minimum);
  void SetMaximum(const QString& axis, double maximum);
  // When on, the axis follows the data after every change of data: its range becomes the
  // data's widened to whole label steps of 1, 2 or 5 x 10^k (4 to 7 labels, fewer where the
  // axis is too short for them), never finer than the axis' minimum step.
  void SetAutoScale(const QString& axis, bool on);
  void SetMinimumStep(const QString& axis, double step);
  bool AutoScale(const QString& axis) const;
  void SetCaption(const QString& axis, const QString& text);
  QString Caption(const QString& axis) const;
  void SetMajorGrid(const QString& axis, bool on, const QColor& color = QColor(128, 128, 128));
  bool MajorGrid(const QString& axis) const;
  // Major ticks every `major` units from 0, minor ticks every `minor` units between them.
  // Where the labels would not fit, the major step becomes a multiple of `major` (x2, x5,
  // x10, ...).
  void SetTickSpacing(const QString& axis, double major, double minor);
  // printf-style label format ("%d", "%.1f"); an autoscaled axis uses as many decimals as
  // its step needs instead.
  void SetLabelFormat(const QString& axis, const QString& format);
  // The label texts an axis shows now (of the time axis: its round times).
  QStringList Labels(const QString& axis) const;

  // --- appearance ---
  void SetPlotColor(const QString& plot, const QColor& color);
  void SetPlotStyle(const QString& plot, PlotStyle style);
  void SetBackground(const QColor& color);

  // --- cursors: vertical lines across the whole y range ---
  void AddCursor(double x);
  void RemoveAllCursors();
  std::vector<double> CursorPositions() const;
  // --- markers: labelled dashed vertical lines (the operator's event marks), shown only
  // within the x range, their labels inside the plot area and stacked where they are close ---
  void SetMarkers(const std::vector<std::pair<double, QString>>& markers);
  std::vector<double> MarkerPositions() const;
  // The row (0 at the top) of each marker's label, -1 for a marker out of the x range.
  std::vector<int> MarkerRows() const;

  QChart* Chart() const { return chart_; }
  QChartView* ChartView() const { return view_; }

 signals:
  // A right click on the graph (which does not zoom out): the owner shows its menu.
  void ContextMenuRequested(const QPoint& globalPos);

 private:
  struct Plot {
    QString name;
    QLineSeries* series = nullptr;
    std::deque<QPointF> points;
    PlotStyle style = PlotStyle::Line;
    double step = 1.0;  // of the last whole array: what AppendValue steps by
  };
  struct Axis {
    QString name;
    QValueAxis* axis = nullptr;
    bool autoScale = false;
    Qt::Orientation orientation = Qt::Horizontal;
    double majorSpacing = 0;  // 0: the chart's own ticks
    double minorSpacing = 0;
    double autoStep = 0;  // the label step of the autoscaled range (0: not autoscaled)
    double minimumStep = 0;
    double secondsPerUnit = 0;  // above 0: a time axis (a QCategoryAxis)
    QString labelFormat = QStringLiteral("%g");
    QString autoFormat;                // of the autoscaled range
    QString caption;                   // as given; what is shown may be wrapped
    std::optional<QFont> captionFont;  // the caption's own font, before any fitting
  };

  Plot* FindPlot(const QString& name);
  const Plot* FindPlot(const QString& name) const;
  Axis* FindAxis(const QString& name);
  const Axis* FindAxis(const QString& name) const;
  QLineSeries* NewSeries();
  void Redraw(Plot& plot);
  void ApplyAutoScale();
  void UpdateCursors();
  void ApplyTicks(Axis& axis);
  void ApplyTimeTicks(Axis& axis);
  // The labels' format the owner asked for, or the autoscaled range's.
  static QString LabelFormat(const Axis& axis);
  // That format on the axis, widened where the labels are very narrow.
  void ApplyLabelFormat(Axis& axis);
  void FitCaption(Axis& axis);
  // The labels that fit along the axis, each `labelExtent` pixels (with room around it).
  int LabelsThatFit(const Axis& axis, double labelExtent) const;

  QChart* chart_ = nullptr;
  QChartView* view_ = nullptr;
  std::vector<Plot> plots_;
  Axis axes_[2];
  std::vector<std::pair<double, QLineSeries*>> cursors_;
  struct Marker {
    double x;
    QString text;
    QLineSeries* line;
    QScatterSeries* label;
    int row = 0;
  };
  std::vector<Marker> markers_;
  int historyLength_ = kDefaultHistoryLength;
};

}  // namespace vesk
