#pragma once
// The MEP shadowgram grid (right pane): every stored grid row is one time slice of the
// counter's 35 beam elements, drawn as a line of small cells, so that consecutive rows show
// the outline of the large particles. Redrawn every 200 ms between the start-grid and
// stop-grid messages; only the rows in view are drawn, into one off-screen image per paint.

#include <QAbstractScrollArea>
#include <QColor>
#include <QString>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

#include "display/message_receiver.h"

class QMenu;
class QImage;

namespace vesk {

class CVESKDoc;
class DialogPrompts;

inline constexpr const char* kGridTimerError = "Error: SetTimer _UPDATEGRID_ failed";
inline constexpr const char* kGridMenuTitle = "Grid Menu";
inline constexpr const char* kMebColorItem = "&MEP Color";

// The element and stored row under a point of the view.
struct GridCell {
  int element = 0;
  int row = 0;
  bool operator==(const GridCell&) const = default;
};

// Stored rows [first, last) that a band of the view shows.
struct GridRowSpan {
  std::size_t first = 0;
  std::size_t last = 0;
  bool operator==(const GridRowSpan&) const = default;
};

class CGridView : public QAbstractScrollArea, public MessageReceiver {
  Q_OBJECT

 public:
  static constexpr int kRefreshMs = 200;
  static constexpr int kElements = 35;
  static constexpr int kCellWidth = 4;
  static constexpr int kRowHeight = 1;
  static constexpr int kLeftMargin = 10;
  static constexpr int kScrollStepRows = 10;
  static constexpr std::size_t kAutoScrollRows = 500;

  CGridView(CVESKDoc& doc, QWidget* parent = nullptr);
  ~CGridView() override;

  // StartGrid / StopGrid start and stop the redraw timer.
  void OnMessage(Uwm message) override;
  bool IsRedrawing() const { return timerId_ != 0; }

  // One turn of the redraw timer: scroll range, auto-scroll and a repaint, unless the grid
  // is disabled.
  void RedrawTick();
  int RedrawCount() const { return redraws_; }

  // Draws the rows that meet `clip` (viewport coordinates) at the current scroll position.
  void PaintGrid(QPainter& painter, const QRect& clip);

  // The rows a band of the viewport [top, bottom) shows when scrolled down by `scrollY`.
  static GridRowSpan VisibleRows(int top, int bottom, int scrollY, std::size_t rowCount);
  // The element and row under a viewport point; nothing left of element 0 or right of 34.
  // The row counts from the first stored row (the scroll offset included).
  static std::optional<GridCell> CellAt(int x, int y, int scrollY);
  // The pointer query (on hover and on a left click): shows the element at a viewport point,
  // and the particle there with its time and size; the text shown, empty when the point is
  // outside the elements.
  QString QueryAt(const QPoint& pos);
  QString QueryText(const QPoint& pos) const;

  QColor MepColor() const { return mepColor_; }
  void SetMepColor(const QColor& color);
  // "&MEP Color": the colour chooser, then the new colour (kept for the next run).
  void ChooseMepColor();
  // The right-click menu "Grid Menu", built for one showing.
  std::unique_ptr<QMenu> CreateContextMenu();

  // Seams for tests: the message boxes, and the colour chooser (returns an invalid colour
  // when cancelled).
  void SetPrompts(DialogPrompts& prompts) { prompts_ = &prompts; }
  void SetColorChooser(std::function<QColor(const QColor&)> chooser);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void UpdateScrollRange(std::size_t rows);
  std::size_t StoredRows() const;

  CVESKDoc& doc_;
  DialogPrompts* prompts_;
  std::function<QColor(const QColor&)> chooser_;
  QColor background_{230, 230, 230};
  QColor mepColor_{0, 0, 128};
  int timerId_ = 0;
  int redraws_ = 0;
  std::unique_ptr<QImage> image_;  // the off-screen image, reused between paints
};

}  // namespace vesk
