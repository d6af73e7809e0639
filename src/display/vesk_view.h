#pragma once
// The histogram main view (left pane): the document's cumulative bin counts, refreshed every
// 500 ms while a scan runs, over bin numbers or particle sizes, with buttons that zoom and
// pan the axes, a context menu for y autoscale and the x mode, and "Clear Plot".

#include <QTimer>
#include <QWidget>
#include <memory>

#include "display/histogram_ranges.h"
#include "display/message_receiver.h"

class QMenu;
class QPushButton;

namespace vesk {

class CGraph;
class CVESKDoc;

class CVESKView : public QWidget, public MessageReceiver {
  Q_OBJECT

 public:
  static constexpr int kRefreshMs = 500;

  CVESKView(CVESKDoc& doc, QWidget* parent = nullptr);
  ~CVESKView() override;

  // StartGraph: clear and start refreshing; StopGraph: stop and store the ranges.
  void OnMessage(Uwm message) override;

  // One refresh: the cumulative bins copied under the bin lock and plotted.
  void Refresh();
  bool IsRefreshing() const { return refreshTimer_.isActive(); }

  // The commands of the buttons and menus.
  void ClearPlot();
  void ToggleAutoScale();
  void ToggleBinSizes();
  bool ShowBinSizes() const { return showBinSizes_; }
  bool YAutoScale() const { return yAutoScale_; }

  // The x range now shown, in bins (a mouse zoom included).
  BinRange XRangeBins() const;
  YRange YRangeShown() const;
  void SetXRangeBins(BinRange range);
  void SetYRange(YRange range);

  // The right-click menu "Binned Data Menu", built for one showing.
  std::unique_ptr<QMenu> CreateContextMenu();
  CGraph& Graph() { return *graph_; }

 private:
  QPushButton* AddButton(const char* caption, const char* name, const char* tip);
  void StoreRanges();

  CVESKDoc& doc_;
  CGraph* graph_ = nullptr;
  QTimer refreshTimer_;
  bool showBinSizes_ = false;
  bool yAutoScale_ = false;
};

}  // namespace vesk
