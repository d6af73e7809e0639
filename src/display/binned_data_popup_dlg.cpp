#include "display/binned_data_popup_dlg.h"

#include <QMenu>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QVBoxLayout>

#include "acquisition/vesk_doc.h"
#include "display/graph.h"
#include "display/histogram_plot.h"

namespace vesk {
namespace {

constexpr const char* kCaption = "Binned Counts";
constexpr const char* kActionsMenu = "Actions";
constexpr const char* kClearPlotItem = "Clear Plot";

}  // namespace

CBinnedDataPopupDlg::CBinnedDataPopupDlg(CVESKDoc& doc, QWidget* parent)
    : QDialog(parent), doc_(doc) {
  setObjectName("binnedDataPopup");
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  setWindowTitle(kCaption);
  // A dialog of the main window: it stays above it whatever is clicked there.
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setSizeGripEnabled(true);

  graph_ = new CGraph(this);
  SetUpHistogramGraph(*graph_);
  ApplyHistogramXMode(*graph_, true, XReset());
  graph_->SetRange(kHistogramYAxis, 0, kHistogramYDefaultTop);
  graph_->SetAutoScale(kHistogramYAxis, true);
  graph_->SetTickSpacing(kHistogramYAxis, 5, 0);
  connect(graph_, &CGraph::ContextMenuRequested, this,
          [this](const QPoint& pos) { CreateContextMenu()->exec(pos); });
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(graph_);

  // The stored frame position and inner size, restored as they were kept.
  move(doc_.Store().Read(keys::kPopupXPos), doc_.Store().Read(keys::kPopupYPos));
  resize(std::max(160, doc_.Store().Read(keys::kPopupWidth)),
         std::max(120, doc_.Store().Read(keys::kPopupHeight)));

  refreshTimer_.setInterval(kRefreshMs);
  connect(&refreshTimer_, &QTimer::timeout, this, &CBinnedDataPopupDlg::Refresh);
}

CBinnedDataPopupDlg::~CBinnedDataPopupDlg() {
  refreshTimer_.stop();
  doc_.Windows().Post(WindowTarget::MainFrame, Uwm::CloseBinnedDataPopup);
}

void CBinnedDataPopupDlg::OnMessage(Uwm message) {
  if (message == Uwm::StartBinnedDataPopup) {
    refreshTimer_.start();
  } else if (message == Uwm::StopBinnedDataPopup) {
    refreshTimer_.stop();
  }
}

void CBinnedDataPopupDlg::Refresh() {
  PlotHistogram(*graph_, CopyCumulativeBins(doc_), true);
}

void CBinnedDataPopupDlg::ClearPlot() {
  ClearCumulativeBins(doc_);
  graph_->ClearData();
}

std::unique_ptr<QMenu> CBinnedDataPopupDlg::CreateContextMenu() {
  auto menu = std::make_unique<QMenu>(kActionsMenu, this);
  QAction* clear = menu->addAction(kClearPlotItem);
  clear->setObjectName("clearPlotAction");
  connect(clear, &QAction::triggered, this, &CBinnedDataPopupDlg::ClearPlot);
  return menu;
}

void CBinnedDataPopupDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  placed_ = true;  // the pending move and resize of the placement came before this
}

void CBinnedDataPopupDlg::moveEvent(QMoveEvent* event) {
  QDialog::moveEvent(event);
  if (!placed_ || !isVisible()) return;
  doc_.Store().Write(keys::kPopupXPos, pos().x());
  doc_.Store().Write(keys::kPopupYPos, pos().y());
}

void CBinnedDataPopupDlg::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (!placed_ || !isVisible()) return;
  doc_.Store().Write(keys::kPopupWidth, event->size().width());
  doc_.Store().Write(keys::kPopupHeight, event->size().height());
}

}  // namespace vesk
