#pragma once
// The Profile view: the cast as it happens. On the left the concentration against depth
// (depth increasing downward) of the current profile and of the one before, each with its 95 %
// interval as a band, counting all sizes or the window's bins; on the right the current
// profile's normalized biovolume size spectrum on log-log axes with its fitted line and
// slope. It reads the snapshot the scan's cast products publish (ScanResults::Cast()) on its
// timer; the scan never waits for it.

#include <QTimer>
#include <QWidget>
#include <memory>

#include "display/message_receiver.h"
#include "processing/cast_board.h"

class QComboBox;
class QLabel;

namespace vesk {

class CVESKDoc;

class CProfileView : public QWidget, public MessageReceiver {
  Q_OBJECT

 public:
  static constexpr int kRefreshMs = 500;

  explicit CProfileView(CVESKDoc& doc, QWidget* parent = nullptr);
  void OnMessage(Uwm message) override;
  // One refresh: the latest snapshot taken and drawn when it is new.
  void Refresh();
  // The heading: "Profile 3 down, depth bin 12.5 m" (or that no cast is seen yet).
  QString Heading() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void ChooseBins();
  void PaintDepthPlot(QPainter& p, const QRect& area) const;
  void PaintSpectrum(QPainter& p, const QRect& area) const;

  CVESKDoc& doc_;
  QComboBox* sizes_ = nullptr;
  QLabel* heading_ = nullptr;
  QTimer timer_;
  std::shared_ptr<const CastSnapshot> shown_;
};

}  // namespace vesk
