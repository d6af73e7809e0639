#include "display/vesk_view.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "acquisition/vesk_doc.h"
#include "display/graph.h"
#include "display/histogram_plot.h"

namespace vesk {
namespace {

constexpr const char* kContextMenuTitle = "Binned Data Menu";
constexpr const char* kAutoScaleItem = "Auto-Scale";
constexpr const char* kShowSizesItem = "Show Bin Sizes (ESD)";
constexpr const char* kShowBinsItem = "Show Bins";

// A stored range that cannot be shown falls back to the default one.
BinRange StoredBinRange(const SettingsStore& store) {
  const BinRange r{store.Read(keys::kBinnedMinXBins), store.Read(keys::kBinnedMaxXBins)};
  if (r.minimum < 0 || r.maximum > kHistogramBins || r.minimum >= r.maximum) return XReset();
  return r;
}

YRange StoredYRange(const SettingsStore& store) {
  const YRange r{static_cast<double>(store.Read(keys::kBinnedMinY)),
                 static_cast<double>(store.Read(keys::kBinnedMaxY))};
  if (r.minimum >= r.maximum) return YReset();
  return r;
}

}  // namespace

CVESKView::CVESKView(CVESKDoc& doc, QWidget* parent) : QWidget(parent), doc_(doc) {
  setObjectName("histogramView");
  showBinSizes_ = doc_.Store().ReadBool(keys::kBinnedShowBinSizes);
  yAutoScale_ = doc_.Store().ReadBool(keys::kBinnedAutoScale);

  graph_ = new CGraph(this);
  SetUpHistogramGraph(*graph_);
  const YRange y = StoredYRange(doc_.Store());
  graph_->SetRange(kHistogramYAxis, y.minimum, y.maximum);
  graph_->SetAutoScale(kHistogramYAxis, yAutoScale_);
  graph_->SetTickSpacing(kHistogramYAxis, 5, 0);
  ApplyHistogramXMode(*graph_, showBinSizes_, StoredBinRange(doc_.Store()));
  connect(graph_, &CGraph::ContextMenuRequested, this,
          [this](const QPoint& pos) { CreateContextMenu()->exec(pos); });

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(graph_, 1);
  auto* buttons = new QHBoxLayout();
  layout->addLayout(buttons);

  QPushButton* clear =
      AddButton("Clear Plot", "clearPlotButton", "Zero the accumulated bin counts");
  buttons->addWidget(clear);
  connect(clear, &QPushButton::clicked, this, &CVESKView::ClearPlot);
  buttons->addStretch(1);

  buttons->addWidget(new QLabel("Y:", this));
  const auto yButton = [&](const char* caption, const char* name, const char* tip,
                           YRange (*step)(YRange)) {
    QPushButton* b = AddButton(caption, name, tip);
    buttons->addWidget(b);
    connect(b, &QPushButton::clicked, this, [this, step] { SetYRange(step(YRangeShown())); });
  };
  yButton("+", "yZoomOutButton", "Raise the top of the count axis by half", YZoomOut);
  yButton("-", "yZoomInButton", "Halve the top of the count axis", YZoomIn);
  QPushButton* yReset = AddButton("R", "yResetButton", "Count axis 0 to 100");
  buttons->addWidget(yReset);
  connect(yReset, &QPushButton::clicked, this, [this] { SetYRange(YReset()); });

  buttons->addSpacing(12);
  buttons->addWidget(new QLabel("X:", this));
  const auto xButton = [&](const char* caption, const char* name, const char* tip,
                           BinRange (*step)(BinRange)) {
    QPushButton* b = AddButton(caption, name, tip);
    buttons->addWidget(b);
    connect(b, &QPushButton::clicked, this, [this, step] { SetXRangeBins(step(XRangeBins())); });
  };
  xButton("<<", "xPanLeftButton", "Move the bin axis 10 bins to the left", XPanLeft);
  xButton("+", "xZoomOutButton", "Show 10 more bins on each side", XZoomOut);
  xButton("-", "xZoomInButton", "Show 10 fewer bins on each side", XZoomIn);
  xButton(">>", "xPanRightButton", "Move the bin axis 10 bins to the right", XPanRight);
  QPushButton* xReset = AddButton("R", "xResetButton", "Show every bin");
  buttons->addWidget(xReset);
  connect(xReset, &QPushButton::clicked, this, [this] { SetXRangeBins(XReset()); });

  refreshTimer_.setInterval(kRefreshMs);
  connect(&refreshTimer_, &QTimer::timeout, this, &CVESKView::Refresh);
}

CVESKView::~CVESKView() = default;

QPushButton* CVESKView::AddButton(const char* caption, const char* name, const char* tip) {
  auto* b = new QPushButton(caption, this);
  b->setObjectName(name);
  b->setToolTip(tip);
  QFont font("Arial");
  font.setPixelSize(15);
  b->setFont(font);
  b->setFocusPolicy(Qt::NoFocus);
  if (std::string_view(caption).size() <= 2) b->setFixedWidth(32);
  return b;
}

void CVESKView::OnMessage(Uwm message) {
  switch (message) {
    case Uwm::StartGraph:
      graph_->ClearData();
      refreshTimer_.start();
      break;
    case Uwm::StopGraph:
      refreshTimer_.stop();
      StoreRanges();
      break;
    default: break;
  }
}

void CVESKView::Refresh() {
  PlotHistogram(*graph_, CopyCumulativeBins(doc_), showBinSizes_);
}

void CVESKView::ClearPlot() {
  ClearCumulativeBins(doc_);
  graph_->ClearData();
}

void CVESKView::ToggleAutoScale() {
  yAutoScale_ = !yAutoScale_;
  graph_->SetAutoScale(kHistogramYAxis, yAutoScale_);
  doc_.Store().Write(keys::kBinnedAutoScale, yAutoScale_ ? 1 : 0);
}

void CVESKView::ToggleBinSizes() {
  const BinRange shown = XRangeBins();
  showBinSizes_ = !showBinSizes_;
  doc_.Store().Write(keys::kBinnedShowBinSizes, showBinSizes_ ? 1 : 0);
  ApplyHistogramXMode(*graph_, showBinSizes_, shown);
  Refresh();
}

BinRange CVESKView::XRangeBins() const {
  const AxisRange r = graph_->Range(kHistogramXAxis);
  return BinsFromAxis(r.minimum, r.maximum, showBinSizes_);
}

YRange CVESKView::YRangeShown() const {
  const AxisRange r = graph_->Range(kHistogramYAxis);
  return {r.minimum, r.maximum};
}

void CVESKView::SetXRangeBins(BinRange range) {
  graph_->SetRange(kHistogramXAxis, AxisFromBin(range.minimum, showBinSizes_),
                   AxisFromBin(range.maximum, showBinSizes_));
}

void CVESKView::SetYRange(YRange range) {
  graph_->SetRange(kHistogramYAxis, range.minimum, range.maximum);
}

void CVESKView::StoreRanges() {
  const BinRange x = XRangeBins();
  const AxisRange y = graph_->Range(kHistogramYAxis);
  doc_.Store().Write(keys::kBinnedMaxXBins, x.maximum);
  doc_.Store().Write(keys::kBinnedMinXBins, x.minimum);
  doc_.Store().Write(keys::kBinnedMaxY, static_cast<int>(y.maximum));
  doc_.Store().Write(keys::kBinnedMinY, static_cast<int>(y.minimum));
}

std::unique_ptr<QMenu> CVESKView::CreateContextMenu() {
  auto menu = std::make_unique<QMenu>(kContextMenuTitle, this);
  QAction* autoScale = menu->addAction(kAutoScaleItem);
  autoScale->setObjectName("autoScaleAction");
  autoScale->setCheckable(true);
  autoScale->setChecked(yAutoScale_);
  connect(autoScale, &QAction::triggered, this, &CVESKView::ToggleAutoScale);
  QAction* mode = menu->addAction(showBinSizes_ ? kShowBinsItem : kShowSizesItem);
  mode->setObjectName("binSizesAction");
  connect(mode, &QAction::triggered, this, &CVESKView::ToggleBinSizes);
  return menu;
}

}  // namespace vesk
