#include "display/grid_view.h"

#include <QColorDialog>
#include <QContextMenuEvent>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimerEvent>
#include <QToolTip>
#include <algorithm>
#include <cstdio>
#include <mutex>

#include "acquisition/vesk_doc.h"
#include "display/axis_ticks.h"
#include "processing/recording_clock.h"
#include "ui/dialogs/dialog_prompts.h"

namespace vesk {
namespace {

constexpr const char* kQueryFormat = "Element %d";
constexpr const char* kParticleFormat =
    "\nParticle of %s (time since the scan started)\n%d elements wide, %zu rows long";
constexpr const char* kTicksFormat = " (%zu clock ticks)";
constexpr const char* kNoParticle = "\nno particle here";
constexpr int kQueryShownMs = 5000;

static_assert(CGridView::kElements == kGridElements);

}  // namespace

CGridView::CGridView(CVESKDoc& doc, QWidget* parent)
    : QAbstractScrollArea(parent), doc_(doc), prompts_(&StandardPrompts()) {
  setObjectName("gridView");
  chooser_ = [this](const QColor& current) { return QColorDialog::getColor(current, this); };
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // The whole viewport is painted from one image: nothing to erase first.
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setAutoFillBackground(false);
  verticalScrollBar()->setSingleStep(kScrollStepRows * kRowHeight);
  UpdateScrollRange(0);
  mepColor_ = QColor::fromRgb(static_cast<QRgb>(doc_.Store().Read(keys::kMepColor)) | 0xFF000000u);
}

CGridView::~CGridView() = default;

void CGridView::OnMessage(Uwm message) {
  switch (message) {
    case Uwm::StartGrid:
      if (timerId_ == 0) timerId_ = startTimer(kRefreshMs);
      if (timerId_ == 0) prompts_->Message(this, kGridTimerError, "", QMessageBox::Critical);
      break;
    case Uwm::StopGrid:
      if (timerId_ != 0) killTimer(timerId_);
      timerId_ = 0;
      break;
    default: break;
  }
}

void CGridView::timerEvent(QTimerEvent* event) {
  if (event->timerId() == timerId_) {
    RedrawTick();
    return;
  }
  QAbstractScrollArea::timerEvent(event);
}

void CGridView::RedrawTick() {
  if (doc_.Settings().scan.gridPaused) return;  // disabled: the picture stays as it is
  UpdateScrollRange(StoredRows());
  ++redraws_;
  viewport()->update();
}

std::size_t CGridView::StoredRows() const {
  return doc_.Results().GridRowCount();
}

void CGridView::UpdateScrollRange(std::size_t rows) {
  QScrollBar* bar = verticalScrollBar();
  const long long content = static_cast<long long>(rows) * kRowHeight;
  const long long maximum = std::max(0LL, content - viewport()->height());
  bar->setRange(0, static_cast<int>(std::min<long long>(maximum, INT32_MAX)));
  bar->setPageStep(std::max(1, viewport()->height()));
  if (doc_.Settings().gridAutoScroll && rows > kAutoScrollRows) bar->setValue(bar->maximum());
}

GridRowSpan CGridView::VisibleRows(int top, int bottom, int scrollY, std::size_t rowCount) {
  const long long firstY = static_cast<long long>(top) + scrollY - kRowHeight;
  const long long lastY = static_cast<long long>(bottom) + scrollY;
  GridRowSpan span;
  span.first = static_cast<std::size_t>(std::max(0LL, firstY / kRowHeight));
  span.last = static_cast<std::size_t>(std::max(0LL, (lastY + kRowHeight - 1) / kRowHeight));
  span.last = std::min(span.last, rowCount);
  span.first = std::min(span.first, span.last);
  return span;
}

void CGridView::PaintGrid(QPainter& painter, const QRect& clip) {
  if (clip.isEmpty()) return;
  if (!image_ || image_->size() != clip.size())
    image_ = std::make_unique<QImage>(clip.size(), QImage::Format_RGB32);
  image_->fill(background_);
  const int width = clip.width();
  const int height = clip.height();
  const int scrollY = verticalScrollBar()->value();
  const QRgb color = mepColor_.rgb();
  // Only the visible rows are drawn, under the grid's lock (the drawing is into an image).
  doc_.Results().ReadGridRows([&](const std::deque<GridRow>& rows) {
    const GridRowSpan span = VisibleRows(clip.top(), clip.bottom() + 1, scrollY, rows.size());
    for (std::size_t r = span.first; r < span.last; ++r) {
      const GridRow& row = rows[r];
      if (row.none()) continue;
      const long long rowTop = static_cast<long long>(r) * kRowHeight - scrollY - clip.top();
      for (int dy = 0; dy < kRowHeight; ++dy) {
        const long long y = rowTop + dy;
        if (y < 0 || y >= height) continue;
        auto* line = reinterpret_cast<QRgb*>(image_->scanLine(static_cast<int>(y)));
        for (int e = 0; e < kElements; ++e) {
          if (!row.test(e)) continue;
          const int x0 = kLeftMargin + e * kCellWidth - clip.left();
          for (int x = std::max(0, x0); x < std::min(width, x0 + kCellWidth); ++x) line[x] = color;
        }
      }
    }
  });
  painter.drawImage(clip.topLeft(), *image_);
}

void CGridView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  PaintGrid(painter, event->rect());
}

void CGridView::scrollContentsBy(int, int) {
  viewport()->update();
}

void CGridView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollRange(StoredRows());
}

std::optional<GridCell> CGridView::CellAt(int x, int y, int scrollY) {
  if (x < kLeftMargin || y < 0) return std::nullopt;
  const int element = (x - kLeftMargin) / kCellWidth;
  if (element >= kElements) return std::nullopt;
  return GridCell{element, (y + scrollY) / kRowHeight};
}

QString CGridView::QueryAt(const QPoint& pos) {
  const QString shown = QueryText(pos);
  if (shown.isEmpty()) {
    QToolTip::hideText();
  } else {
    QToolTip::showText(viewport()->mapToGlobal(pos), shown, viewport(), QRect(), kQueryShownMs);
  }
  return shown;
}

QString CGridView::QueryText(const QPoint& pos) const {
  const std::optional<GridCell> cell = CellAt(pos.x(), pos.y(), verticalScrollBar()->value());
  if (!cell) return {};
  char text[256];
  int n = std::snprintf(text, sizeof text, kQueryFormat, cell->element);
  const std::optional<GridParticle> p =
      doc_.Results().ParticleAt(static_cast<std::size_t>(cell->row));
  if (!p) {
    std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), "%s", kNoParticle);
    return QString::fromLatin1(text);
  }
  const double seconds = p->lFrames * RecordingClock::kSecondsPerLFrame;
  const std::string when = ElapsedLabel(seconds, seconds >= 3600);
  n += std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), kParticleFormat,
                     when.c_str(), p->lastElement - p->firstElement + 1, p->rows);
  if (p->scale > 1) {
    std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), kTicksFormat,
                  p->rows * static_cast<std::size_t>(p->scale));
  }
  return QString::fromLatin1(text);
}

bool CGridView::viewportEvent(QEvent* event) {
  // Hovering shows what lies under the pointer.
  if (event->type() == QEvent::ToolTip) {
    QueryAt(static_cast<QHelpEvent*>(event)->pos());
    return true;
  }
  return QAbstractScrollArea::viewportEvent(event);
}

void CGridView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    QueryAt(event->position().toPoint());
    return;
  }
  QAbstractScrollArea::mousePressEvent(event);
}

void CGridView::contextMenuEvent(QContextMenuEvent* event) {
  CreateContextMenu()->exec(event->globalPos());
}

std::unique_ptr<QMenu> CGridView::CreateContextMenu() {
  auto menu = std::make_unique<QMenu>(kGridMenuTitle, this);
  QAction* color = menu->addAction(kMebColorItem);
  color->setObjectName("mebColorAction");
  connect(color, &QAction::triggered, this, &CGridView::ChooseMepColor);
  return menu;
}

void CGridView::SetColorChooser(std::function<QColor(const QColor&)> chooser) {
  chooser_ = std::move(chooser);
}

void CGridView::ChooseMepColor() {
  const QColor chosen = chooser_(mepColor_);
  if (chosen.isValid()) SetMepColor(chosen);
}

void CGridView::SetMepColor(const QColor& color) {
  mepColor_ = color;
  doc_.Store().Write(keys::kMepColor, static_cast<int>(color.rgb() & 0xFFFFFF));
  viewport()->update();
}

}  // namespace vesk
