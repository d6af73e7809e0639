#pragma once
// The time charts (left pane, instead of the histogram): three stacked strip charts, each
// one of the ten time chart series chosen by the user, over the time since the scan started
// (x counts samples, labelled "mm:ss"). On the start-graph message the buffered history is
// replayed at once; then every update message adds the samples made since. With auto-scroll
// on, the x window follows the newest sample. Buttons under the charts zoom and move the x
// window and step the y ranges; the context menu toggles autoscale and grid lines, opens the
// selection and scaling dialogs and adds or removes cursors. The plot areas of the three
// charts line up.

#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "display/message_receiver.h"
#include "display/time_chart_settings.h"

class QCheckBox;
class QDialog;
class QLabel;
class QMenu;
class QPushButton;
class QRectF;

namespace vesk {

class CGraph;
class CVESKDoc;
class DialogPrompts;

inline constexpr const char* kTimeChartsMenuTitle = "Time Charts";
inline constexpr const char* kConfirmRemoveCursors = "Please confirm 'Remove All Cursors' request.";

class CTimePlotsView : public QWidget, public MessageReceiver {
  Q_OBJECT

 public:
  static inline const QString kPlot = QStringLiteral("TimeSeries");
  static inline const QString kXAxis = QStringLiteral("Samples");
  static inline const QString kYAxis = QStringLiteral("Values");

  // Which end of the y ranges an arrow button moves, and which way.
  enum class YStep { MaxUp, MaxDown, MinDown, MinUp };

  CTimePlotsView(CVESKDoc& doc, QWidget* parent = nullptr);
  // Stores the x range, and the y ranges as defaults when "SaveDefaults" is on.
  ~CTimePlotsView() override;

  // StartGraph: replay of the history; UpdateTimePlots: the new samples; StopGraph: nothing.
  void OnMessage(Uwm message) override;
  void Replay();
  void AppendLatest();
  // The x window follows the newest sample (stored as "AutoScroll").
  void SetAutoScroll(bool on);
  bool AutoScrollOn() const { return autoScroll_; }

  // The commands of the buttons.
  void XPlus();
  void XMinus();
  void ResetX();
  void ResetY();
  void XOlder();
  void XNewer();
  void ClearPlots();
  void StepY(YStep step);

  // The commands of the context menu ("&Change Time Charts..." of the main menu as well).
  void ToggleAutoScale();
  void ToggleGridLines();
  void ChangeTimeCharts();
  void ScalingProperties();
  void AddNewCursor();
  void RemoveAllCursors();
  std::unique_ptr<QMenu> CreateContextMenu();

  // Puts the stored selection and scaling on the charts and replays the history into them.
  void Rebuild();

  CGraph& Chart(int chart) { return *charts_[chart]; }
  int SeriesOf(int chart) const { return series_[chart]; }
  XWindow XShown() const;
  bool AutoScaleOn() const { return autoScale_; }
  bool GridLinesOn() const { return gridLines_; }
  QString StepText() const;

  // Seams for tests: message boxes, and how a modal dialog is run (exec() by default).
  void SetPrompts(DialogPrompts& prompts) { prompts_ = &prompts; }
  void SetDialogRunner(std::function<int(QDialog&)> runner) { runDialog_ = std::move(runner); }

 private:
  QPushButton* AddButton(const QString& caption, const char* name, const char* tip);
  void ApplyScale(int chart);
  void SetXWindow(XWindow x);
  void ReplayLocked();
  // With auto-scroll on, or when the window shows none of the samples: FollowNewest.
  void ShowSamples();
  // The newest sample at the right edge (the window from 0 while the samples do not fill it).
  void FollowNewest();
  // Equal left edges of the plot areas, whatever their y labels' widths; `chart` was just
  // laid out into `area`.
  void AlignPlotAreas(int chart, const QRectF& area);

  CVESKDoc& doc_;
  DialogPrompts* prompts_;
  std::function<int(QDialog&)> runDialog_;
  std::array<CGraph*, kTimeCharts> charts_{};
  std::array<int, kTimeCharts> series_{};
  QLabel* stepLabel_ = nullptr;
  QCheckBox* autoScrollBox_ = nullptr;
  std::array<double, kTimeCharts> naturalLeft_{};  // a plot area's left edge, unaligned
  bool autoScroll_ = true;
  bool autoScale_ = false;
  bool gridLines_ = true;
  int defaultMinX_ = 0;
  int defaultMaxX_ = 600;
  double nextX_ = 0;   // the sample number of the next point
  double firstX_ = 0;  // the sample number of the oldest point
};

}  // namespace vesk
