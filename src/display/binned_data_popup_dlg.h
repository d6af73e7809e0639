#pragma once
// "Binned Counts": a separate, resizable window with the cumulative bin counts over particle
// sizes, refreshed every 500 ms while a scan runs. Modeless and single; it deletes itself
// when closed and tells the main frame so. Its place and size are kept between runs.

#include <QDialog>
#include <QTimer>
#include <memory>

#include "display/message_receiver.h"

class QMenu;

namespace vesk {

class CGraph;
class CVESKDoc;

class CBinnedDataPopupDlg : public QDialog, public MessageReceiver {
  Q_OBJECT

 public:
  static constexpr int kRefreshMs = 500;

  CBinnedDataPopupDlg(CVESKDoc& doc, QWidget* parent = nullptr);
  ~CBinnedDataPopupDlg() override;

  // StartBinnedDataPopup / StopBinnedDataPopup start and stop the refresh.
  void OnMessage(Uwm message) override;
  void Refresh();
  bool IsRefreshing() const { return refreshTimer_.isActive(); }
  // The "Actions" menu's "Clear Plot".
  void ClearPlot();
  std::unique_ptr<QMenu> CreateContextMenu();
  CGraph& Graph() { return *graph_; }

 protected:
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  CVESKDoc& doc_;
  CGraph* graph_ = nullptr;
  QTimer refreshTimer_;
  bool placed_ = false;  // the first placement is over: moves and resizes are stored
};

}  // namespace vesk
