// The shadowgram grid: which rows a paint draws and where, the scroll range and auto-scroll,
// the pointer query, the redraw timer and the disabled grid, and the colour.

#include "display/grid_view.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

#include "gui/view_test_support.h"

namespace vesk {
namespace {

using test::TestDoc;

TEST(GridGeometry, VisibleRowsAndPointerQuery) {
  // {top, bottom, scrollY, rows}: the rows a paint draws (one above a scrolled band too).
  EXPECT_EQ(CGridView::VisibleRows(0, 300, 0, 120), (GridRowSpan{0, 120}));
  EXPECT_EQ(CGridView::VisibleRows(100, 150, 400, 1000), (GridRowSpan{499, 550}));
  EXPECT_EQ(CGridView::VisibleRows(0, 400, 499600, 500000), (GridRowSpan{499599, 500000}));
  EXPECT_EQ(CGridView::VisibleRows(0, 300, 0, 0), (GridRowSpan{0, 0}));
  // {x, y, scrollY}: the margin is 10 pixels, an element 4 wide, rows from the first stored.
  EXPECT_EQ(CGridView::CellAt(9, 5, 0), std::nullopt);
  EXPECT_EQ(CGridView::CellAt(7, 5, 0), std::nullopt);  // would round to element 0
  EXPECT_EQ(CGridView::CellAt(10, 5, 0), (GridCell{0, 5}));
  EXPECT_EQ(CGridView::CellAt(149, 7, 0), (GridCell{34, 7}));
  EXPECT_EQ(CGridView::CellAt(150, 7, 0), std::nullopt);
  EXPECT_EQ(CGridView::CellAt(30, 7, 1000), (GridCell{5, 1007}));
}

class GridTest : public ::testing::Test {
 protected:
  TestDoc t;
  CVESKDoc& doc = t.Make();
  test::RecordingPrompts prompts;

  void Store(std::size_t rows, int element = -1) {
    doc.Results().ClearGrid();
    GridRow row;
    if (element >= 0) row.set(static_cast<std::size_t>(element));
    const std::vector<GridRow> all(rows, row);
    doc.Results().AppendGridRows(all);
  }
  QImage Paint(CGridView& view) {
    QImage image(view.viewport()->size(), QImage::Format_RGB32);
    QPainter painter(&image);
    view.PaintGrid(painter, image.rect());
    return image;
  }
};

TEST_F(GridTest, PaintsShadedCellsOfTheRowsInViewAndAnswersThePointer) {
  CGridView view(doc);
  view.resize(200, 300);
  std::vector<GridRow> rows(10);
  rows[3].set(5);
  rows[3].set(34);
  rows[4].set(0);
  doc.Results().AppendGridRows(rows, std::vector<GridParticleRows>{{3, 2, 10}});
  const QImage image = Paint(view);
  const QRgb mep = QColor(0, 0, 128).rgb();
  const QRgb background = QColor(230, 230, 230).rgb();
  EXPECT_EQ(image.pixel(10 + 5 * 4 + 3, 3), mep);
  EXPECT_EQ(image.pixel(10 + 5 * 4 + 4, 3), background);  // element 6
  EXPECT_EQ(image.pixel(10, 4), mep);
  EXPECT_EQ(image.pixel(9, 4), background);            // margin
  EXPECT_EQ(image.pixel(10 + 5 * 4, 20), background);  // past the stored rows

  view.SetColorChooser([](const QColor&) { return QColor(200, 0, 0); });
  view.CreateContextMenu()->actions().front()->trigger();
  EXPECT_EQ(Paint(view).pixel(10 + 5 * 4, 3), QColor(200, 0, 0).rgb());
  // The pointer query, through the rule of CellAt: the particle there, its time and size.
  EXPECT_EQ(view.QueryAt({30, 4}),
            "Element 5\nParticle of 00:00 (time since the scan started)\n35 elements wide, 2 "
            "rows long (20 clock ticks)");
  EXPECT_EQ(view.QueryAt({30, 12}), "Element 5\nno particle here");
  EXPECT_EQ(view.QueryAt({5, 12}), "");
}

TEST_F(GridTest, AutoScrollOnlyPast500Rows) {
  struct Case {
    std::size_t rows;
    bool autoScroll;
    bool atBottom;
  };
  const Case cases[] = {
      {500, true, false}, {501, true, true}, {5000, true, true}, {5000, false, false}};
  for (const Case& c : cases) {
    CGridView view(doc);
    view.resize(200, 200);
    doc.ChangeSettings([&](DocumentSettings& s) { s.gridAutoScroll = c.autoScroll; });
    Store(c.rows, 1);
    view.RedrawTick();
    QScrollBar* bar = view.verticalScrollBar();
    EXPECT_EQ(bar->maximum(), static_cast<int>(c.rows) - view.viewport()->height()) << c.rows;
    EXPECT_EQ(bar->value() == bar->maximum(), c.atBottom) << c.rows;
    EXPECT_EQ(bar->value() == 0, !c.atBottom) << c.rows;
    if (c.atBottom) {
      // The newest row is drawn on the bottom line of the view.
      const QImage image = Paint(view);
      EXPECT_EQ(image.pixel(10 + 4, image.height() - 1), QColor(0, 0, 128).rgb());
    }
  }
}

TEST_F(GridTest, RedrawsBetweenStartAndStopUnlessDisabled) {
  CGridView view(doc);
  view.SetPrompts(prompts);
  view.OnMessage(Uwm::StartGrid);
  EXPECT_TRUE(view.IsRedrawing());
  view.RedrawTick();
  EXPECT_EQ(view.RedrawCount(), 1);
  doc.ChangeSettings([&](DocumentSettings& s) { s.scan.gridPaused = true; });  // disabled
  view.RedrawTick();
  EXPECT_EQ(view.RedrawCount(), 1);
  view.OnMessage(Uwm::StopGrid);
  EXPECT_FALSE(view.IsRedrawing());
}

}  // namespace
}  // namespace vesk
