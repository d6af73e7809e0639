#include "display/main_frame.h"

#include <unistd.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDockWidget>
#include <QFileDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QStatusBar>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>

#include "acquisition/vesk_doc.h"
#include "control/udp_control.h"
#include "display/alarm_pane.h"
#include "display/binned_data_popup_dlg.h"
#include "display/elided_label.h"
#include "display/grid_view.h"
#include "display/profile_view.h"
#include "display/time_plots_view.h"
#include "display/vesk_view.h"
#include "files/file_naming.h"
#include "ui/dialogs/nav_viewer_dlg.h"
#include "ui/dialogs/playback_data_dlg.h"

namespace vesk {
namespace {

constexpr int kStateSyncMs = 250;
constexpr int kBarHeightReserve = 225;
constexpr const char* kSourcePrefix = "  Source: ";
constexpr const char* kDestPrefix = "  Dest: ";
constexpr const char* kPlaybackOpenTitle = "Open File (Data Playback)";
QString Latin1(const std::string& text) {
  return QString::fromLatin1(text.data(), text.size());
}

// Tabs of the state texts show as a few blanks.
QString Shown(const QString& text) {
  QString shown = text;
  shown.replace(QLatin1Char('\t'), QStringLiteral("    "));
  return shown;
}

}  // namespace

CMainFrame::CMainFrame(CVESKDoc& doc, QtWindowMessages& messages, QWidget* parent)
    : QMainWindow(parent), doc_(doc), messages_(messages), recentFiles_(doc.Store()) {
  setObjectName(QStringLiteral("mainFrame"));
  setWindowTitle(QStringLiteral("VESK - %1 [Data Collection, Processing and Display]")
                     .arg(QString::fromLatin1(kInstrumentDescription)));

  BuildStatusBar();

  bar_ = new CVESKDialogBar(this);
  auto* dock = new QDockWidget(this);
  dock->setObjectName(QStringLiteral("controlBarDock"));
  dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
  dock->setTitleBarWidget(new QWidget(dock));
  dock->setWidget(bar_);
  addDockWidget(Qt::BottomDockWidgetArea, dock);

  splitter_ = new QSplitter(Qt::Horizontal, this);
  splitter_->setObjectName(QStringLiteral("mainSplitter"));
  splitter_->setChildrenCollapsible(false);
  if (doc_.Store().Read(keys::kActiveMainView) == kTimeChartsView) {
    mainView_ = new CTimePlotsView(doc_, splitter_);
    doc_.SetTimeChartRelay(true);
  } else if (doc_.Store().Read(keys::kActiveMainView) == kProfileView) {
    mainView_ = new CProfileView(doc_, splitter_);
  } else {
    mainView_ = new CVESKView(doc_, splitter_);
  }
  mainView_->setObjectName(QStringLiteral("mainView"));
  gridPane_ = new CGridView(doc_, splitter_);
  gridPane_->setObjectName(QStringLiteral("gridPane"));
  gridPane_->setAutoFillBackground(true);
  splitter_->addWidget(mainView_);
  splitter_->addWidget(gridPane_);
  splitter_->setStretchFactor(0, 82);
  splitter_->setStretchFactor(1, 18);
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QSize area = screen != nullptr ? screen->availableSize() : QSize(1280, 800);
  const int height = std::max(area.height() - kBarHeightReserve, 200);
  mainView_->resize(static_cast<int>(area.width() * kMainViewShare), height);
  gridPane_->resize(static_cast<int>(area.width() * kGridShare), height);
  splitter_->setSizes({static_cast<int>(area.width() * kMainViewShare),
                       static_cast<int>(area.width() * kGridShare)});
  setCentralWidget(splitter_);

  BuildMenus();

  // Grid scaling factor, auto-scroll and analog caption as stored.
  bar_->SetField(BarField::ScaleFactor,
                 QString::number(doc_.Store().Read(keys::kGridScalingFactor)));
  bar_->SetAutoScroll(doc_.Settings().gridAutoScroll);
  bar_->SetAnalogCaption(Latin1(doc_.Settings().analogCaption));

  connect(bar_, &CVESKDialogBar::startAcquisitionClicked, this, &CMainFrame::StartAcquisition);
  connect(bar_, &CVESKDialogBar::startLoggingClicked, this, &CMainFrame::StartLogging);
  connect(bar_, &CVESKDialogBar::stopClicked, this, &CMainFrame::Stop);
  connect(bar_, &CVESKDialogBar::connectClicked, this, &CMainFrame::Connect);
  connect(bar_, &CVESKDialogBar::resetTotalClicked, this, [this] {
    { doc_.Results().ClearTotalCount(); }
    RefreshControlBar();
  });
  connect(bar_, &CVESKDialogBar::resetWindowClicked, this, [this] {
    { doc_.Results().ClearWindowCount(); }
    RefreshControlBar();
  });
  connect(bar_, &CVESKDialogBar::autoScrollToggled, this, [this](bool on) {
    doc_.ChangeSettings([&](DocumentSettings& s) { s.gridAutoScroll = on; });
  });

  connect(&statusTimer_, &QTimer::timeout, this, &CMainFrame::StatusTick);
  connect(&stateTimer_, &QTimer::timeout, this, &CMainFrame::SyncScanState);
  statusTimer_.start(kStatusPeriodMs);
  stateTimer_.start(kStateSyncMs);

  shownConnected_ = doc_.Connected();
  bar_->SetConnected(doc_.Connected());
  bar_->SetScanDisplay(ScanDisplay::Idle, doc_.Connected());
  RefreshControlBar();
  messages_.Attach(this);
  shownScanning_ = doc_.Scanning();
  UpdateCommandStates();
  SyncScanState();
}

CMainFrame::~CMainFrame() {
  messages_.Detach();
  statusTimer_.stop();
  stateTimer_.stop();
}

void CMainFrame::BuildStatusBar() {
  const char* initial[5] = {kIdleState, "", "", kSourceVesk, kDestEmpty};
  for (int i = 0; i < 5; ++i) {
    panes_[i] = new CElidedLabel(this, Qt::ElideMiddle);
    panes_[i]->setObjectName(QStringLiteral("pane%1").arg(i));
    panes_[i]->setFrameShape(QFrame::Panel);
    panes_[i]->setFrameShadow(QFrame::Sunken);
    panes_[i]->setMinimumWidth(i == 4 ? 200 : 120);
    statusBar()->addPermanentWidget(panes_[i], i == 4 ? 1 : 0);
    ShowPaneText(i, initial[i]);
  }
  // Beside the panes: the alarms, and the remote control's last command.
  alarmPane_ = new CAlarmPane(this);
  statusBar()->addPermanentWidget(alarmPane_);
  remote_ = new CElidedLabel(this);
  remote_->setObjectName(QStringLiteral("remotePane"));
  remote_->setFrameShape(QFrame::Panel);
  remote_->setFrameShadow(QFrame::Sunken);
  remote_->SetPlainToolTip(QStringLiteral("The last command of the UDP remote control"));
  statusBar()->addPermanentWidget(remote_);
  UpdateRemote();
  // A short note (a command ignored, a device back) on the left for a while; the whole text
  // in its tool tip.
  note_ = new QLabel(this);
  note_->setObjectName(QStringLiteral("notePane"));
  note_->setStyleSheet(QStringLiteral("background-color:#fff3b0; padding:0 4px;"));
  note_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  note_->hide();
  statusBar()->insertWidget(0, note_, 2);
  noteTimer_.setSingleShot(true);
  connect(&noteTimer_, &QTimer::timeout, note_, &QWidget::hide);
}

void CMainFrame::ShowNote(const std::string& text) {
  const QString shown = QString::fromStdString(text);
  note_->setText(shown);
  note_->setToolTip(shown);
  note_->show();
  noteTimer_.start(kNoteMilliseconds);
}

QString CMainFrame::NoteText() const {
  return note_->isVisible() ? note_->text() : QString();
}

void CMainFrame::SetRemoteControl(const CUDPControl* remote) {
  remoteControl_ = remote;
  UpdateRemote();
}

void CMainFrame::UpdateRemote() {
  const std::string text = remoteControl_ == nullptr
                               ? std::string("not available")
                               : DescribeReceivedCommand(remoteControl_->LastReceived());
  remote_->SetFullText(QStringLiteral("  Remote: %1  ").arg(Latin1(text)));
}

QString CMainFrame::RemoteText() const {
  return remote_->FullText().trimmed();
}

void CMainFrame::ShowPaneText(int pane, const std::string& text) {
  if (pane < 0 || pane >= static_cast<int>(panes_.size())) return;
  paneTexts_[pane] = Latin1(text);
  panes_[pane]->SetFullText(Shown(paneTexts_[pane]));
}

QString CMainFrame::PaneText(int pane) const {
  if (pane < 0 || pane >= static_cast<int>(paneTexts_.size())) return {};
  return paneTexts_[pane];
}

void CMainFrame::SyncScanState() {
  const bool scanning = doc_.Scanning();
  const ScanDisplay wanted = !scanning                               ? ScanDisplay::Idle
                             : (doc_.Logging() || doc_.IsPlayback()) ? ScanDisplay::Logging
                                                                     : ScanDisplay::Acquiring;
  // A port lent to the Store Snap-Shot dialog is still the counter's connection.
  const bool connected = doc_.Connected() || doc_.CounterPortLent();
  if (wanted != bar_->Display() || connected != shownConnected_) {
    const ScanDisplay before = bar_->Display();
    bar_->SetScanDisplay(wanted, connected);
    bar_->SetConnected(connected);
    shownConnected_ = connected;
    if (wanted != before) {
      if (before == ScanDisplay::Idle) reader_.Reset();
      if (wanted == ScanDisplay::Acquiring) {
        messages_.SetPaneText(kPaneState, kScanningNoLogging);
      } else if (wanted == ScanDisplay::Logging) {
        messages_.SetPaneText(kPaneState, kScanningAndLogging);
      }
    }
  }
  if (scanning != shownScanning_) {
    shownScanning_ = scanning;
    UpdateCommandStates();
  }
}

void CMainFrame::StartAcquisition() {
  doc_.StartAcquisition();
  SyncScanState();
}

void CMainFrame::StartLogging() {
  doc_.StartDataLogging();
  SyncScanState();
  if (doc_.Logging() && !doc_.Settings().addHeaderToDatFile) doc_.Dialogs().Notify(kHeaderOff);
}

void CMainFrame::Stop() {
  if (doc_.Scanning()) doc_.StopScan();
  SyncScanState();
}

void CMainFrame::Connect() {
  doc_.ConnectCounterPort();
  SyncScanState();
}

void CMainFrame::StatusTick() {
  const CVESKDoc::CounterStatus status = doc_.PollCounterStatus();
  bar_->SetConnected(doc_.Connected() || doc_.CounterPortLent());
  bar_->SetSnapshotActive(status.snapshotInProgress);
  UpdateRemote();
  UpdateAlarms();
  SyncScanState();
  // The elapsed time and the age of the position keep counting while the counter is silent.
  if (doc_.Scanning()) {
    RefreshControlBar();
  } else {
    UpdateElapsed();
  }
}

void CMainFrame::RefreshControlBar() {
  bar_->SetFields(reader_.Read(doc_, std::chrono::steady_clock::now()));
  bar_->SetPositionStale(reader_.PositionStale());
  bar_->SetAnalogCaption(Latin1(doc_.Settings().analogCaption));
  UpdateElapsed();
}

void CMainFrame::UpdateElapsed() {
  if (!doc_.Scanning()) return;
  std::tm start = doc_.ScanStartTime();
  std::tm now = doc_.WallClock().LocalTime();
  const double seconds = std::max(0.0, std::difftime(std::mktime(&now), std::mktime(&start)));
  const long s = static_cast<long>(seconds);
  char text[40];
  std::snprintf(text, sizeof text, "  %02ld:%02ld:%02ld  ", s / 3600, (s / 60) % 60, s % 60);
  ShowPaneText(kPaneElapsed, text);
}

bool CMainFrame::event(QEvent* e) {
  if (auto* uwm = dynamic_cast<UwmEvent*>(e)) {
    messages_.Taken(uwm->Message());
    Deliver(uwm->Target(), uwm->Message());
    return true;
  }
  return QMainWindow::event(e);
}

void CMainFrame::Deliver(WindowTarget target, Uwm message) {
  switch (target) {
    case WindowTarget::MainFrame: OnMessage(message); break;
    case WindowTarget::AllViews:
      for (QWidget* view : {mainView_, gridPane_}) {
        if (auto* receiver = dynamic_cast<MessageReceiver*>(view)) receiver->OnMessage(message);
      }
      if (message == Uwm::StartGraph) ShowMarks();  // a new scan's marks (none yet)
      break;
    case WindowTarget::Popup:
      if (auto* receiver = dynamic_cast<MessageReceiver*>(popup_.data())) {
        receiver->OnMessage(message);
      }
      break;
    case WindowTarget::NavViewer:
      if (auto* viewer = findChild<CNavViewerDlg*>()) viewer->OnMessage(message);
      break;
  }
}

void CMainFrame::OnMessage(Uwm message) {
  switch (message) {
    case Uwm::UpdateControlBar:
      RefreshControlBar();
      SyncScanState();
      break;
    case Uwm::UpdateTimePlotsRelay: Deliver(WindowTarget::AllViews, Uwm::UpdateTimePlots); break;
    case Uwm::PerformStop: Stop(); break;
    case Uwm::ClosePlayback: OnClosePlayback(); break;
    case Uwm::CloseBinnedDataPopup: popup_ = nullptr; break;
    default: break;
  }
}

void CMainFrame::OnClosePlayback() {
  playback_ = nullptr;
  // A file that held no frame of the counter is no recording to offer again.
  if (doc_.Playback().noCounterFrames) {
    recentFiles_.Remove(doc_.PlayedPath());
    UpdateRecentFiles();
  }
  doc_.EndPlayback();
  messages_.SetPaneText(kPaneSource, kSourceVesk);
  messages_.SetPaneText(kPaneDest, kDestEmpty);
  ShowMarks();
  SyncScanState();
}

void CMainFrame::CloseUnasked() {
  closeUnasked_ = true;
  close();
  closeUnasked_ = false;
}

void CMainFrame::closeEvent(QCloseEvent* e) {
  // One slip must not end a cast: the user says so first.
  if (!closeUnasked_ && doc_.Scanning() && doc_.Logging() && !doc_.IsPlayback()) {
    char text[1024];
    std::snprintf(text, sizeof text, kExitWhileLoggingFormat, doc_.RawPath().c_str());
    if (!doc_.Dialogs().AskYesNo(text, kExitCaption, false)) {
      e->ignore();
      return;
    }
  }
  // The playback dialog's end stops its scan; then no thread may outlive the windows.
  if (playback_ != nullptr) delete playback_.data();
  if (doc_.Scanning()) doc_.StopScan();
  if (popup_ != nullptr) popup_->close();
  statusTimer_.stop();
  stateTimer_.stop();
  e->accept();
}

void CMainFrame::ShowPopup() {
  if (popup_ == nullptr) {
    auto* popup = new CBinnedDataPopupDlg(doc_, this);
    popup_ = popup;
    popup->show();
    if (doc_.Scanning()) popup->OnMessage(Uwm::StartBinnedDataPopup);
  } else {
    popup_->show();
    popup_->raise();
    popup_->activateWindow();
  }
}

void CMainFrame::OnOpenFile() {
  const QString path = QFileDialog::getOpenFileName(this, QString::fromLatin1(kPlaybackOpenTitle),
                                                    QString::fromStdString(doc_.DataDirectory()),
                                                    QString::fromLatin1(kBinFileFilter));
  if (path.isEmpty()) return;
  OpenPlayback(path.toStdString());
}

// `path` by value: it may be an entry of the recent list, which this changes.
void CMainFrame::OpenPlayback(std::string path) {
  if (::access(path.c_str(), R_OK) != 0) {
    // A recording moved or deleted since: said, and dropped from the list.
    const std::string reason = std::strerror(errno);
    recentFiles_.Remove(path);
    UpdateRecentFiles();
    doc_.Dialogs().ShowMessage("ERROR: Cannot open " + path + ":\n" + reason, "",
                               MessageIcon::Error);
    return;
  }
  recentFiles_.Add(path);
  UpdateRecentFiles();
  doc_.PreparePlayback(path);
  ShowMarks();  // the recording's own, none of the last scan's
  if (playback_ == nullptr) {
    auto* dialog = new CPlaybackDataDlg(doc_, this);
    playback_ = dialog;
    dialog->show();
    dialog->move(geometry().center() - dialog->rect().center());
  } else {
    playback_->raise();
    playback_->activateWindow();
  }
}

void CMainFrame::UpdateRecentFiles() {
  const std::vector<std::string>& entries = recentFiles_.Entries();
  for (std::size_t i = 0; i < recentActions_.size(); ++i) {
    QAction* a = recentActions_[i];
    a->setVisible(i < entries.size());
    if (i < entries.size()) {
      const QString path = QString::fromStdString(entries[i]);
      a->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(
          fontMetrics().elidedText(path, Qt::ElideMiddle, fontMetrics().averageCharWidth() * 60)));
      a->setToolTip(path);
    }
  }
  recentSeparator_->setVisible(!entries.empty());
}

void CMainFrame::ShowMainView(MainViewChoice choice) {
  const bool timeCharts = choice == kTimeChartsView;
  const MainViewChoice shown = dynamic_cast<CTimePlotsView*>(mainView_) != nullptr ? kTimeChartsView
                               : dynamic_cast<CProfileView*>(mainView_) != nullptr ? kProfileView
                                                                                   : kHistogramView;
  if (shown == choice) {
    // Shown already: brought forward, with a note rather than a box to click away.
    raise();
    activateWindow();
    mainView_->setFocus();
    ShowNote(choice == kTimeChartsView ? kTimeChartsActive
             : choice == kProfileView  ? kProfileViewActive
                                       : kBinnedViewActive);
    return;
  }
  const QList<int> sizes = splitter_->sizes();
  QWidget* view = timeCharts               ? static_cast<QWidget*>(new CTimePlotsView(doc_))
                  : choice == kProfileView ? static_cast<QWidget*>(new CProfileView(doc_))
                                           : new CVESKView(doc_);
  view->setObjectName(QStringLiteral("mainView"));
  // Made without a parent: a child of the splitter would be added to it as a third pane.
  QWidget* old = splitter_->replaceWidget(0, view);
  splitter_->setSizes(sizes);
  mainView_ = view;
  doc_.SetTimeChartRelay(timeCharts);
  delete old;
  ShowMarks();
  if (doc_.Scanning()) Deliver(WindowTarget::AllViews, Uwm::StartGraph);
  doc_.Store().Write(keys::kActiveMainView, choice);
}

}  // namespace vesk
