// The main window's menus: one table of rows, in the order they show, and the commands that
// are more than a dialog opened modal on the document.

#include <QActionGroup>
#include <QMenuBar>
#include <map>
#include <type_traits>

#include "acquisition/live_services.h"
#include "acquisition/vesk_doc.h"
#include "display/main_frame.h"
#include "display/time_plots_view.h"
#include "ui/dialogs/alarm_limits_dlg.h"
#include "ui/dialogs/analog_input_dlg.h"
#include "ui/dialogs/com_port_prop_sheet.h"
#include "ui/dialogs/ctd_dlg.h"
#include "ui/dialogs/data_file_naming_dlg.h"
#include "ui/dialogs/extract_data_stream_dlg.h"
#include "ui/dialogs/grid_scaling_factor_dlg.h"
#include "ui/dialogs/lat_long_parsing_config_dlg.h"
#include "ui/dialogs/nav_viewer_dlg.h"
#include "ui/dialogs/profiles_dlg.h"
#include "ui/dialogs/publish_dlg.h"
#include "ui/dialogs/remote_control_dlg.h"
#include "ui/dialogs/select_folder_dialog.h"
#include "ui/dialogs/select_time_plots_dlg.h"
#include "ui/dialogs/statistic_analysis_dlg.h"
#include "ui/dialogs/store_snapshot_dlg.h"
#include "ui/dialogs/value_dialogs.h"
#include "ui/dialogs/web_view_dlg.h"

namespace vesk {
namespace {

constexpr const char* kMarkTip =
    "A numbered mark in the recording's .mrk file and on the time charts";

}  // namespace

template <class Dialog, void (CMainFrame::*onAccept)()>
void CMainFrame::ExecDialog() {
  // A settings window is made on the document, or on the store when it needs no more.
  const bool accepted = [this] {
    if constexpr (std::is_constructible_v<Dialog, CVESKDoc&, QWidget*>) {
      Dialog d(doc_, this);
      return d.exec() == QDialog::Accepted;
    } else {
      Dialog d(doc_.Store(), this);
      return d.exec() == QDialog::Accepted;
    }
  }();
  if constexpr (onAccept != nullptr) {
    if (accepted) (this->*onAccept)();
  }
}

using F = CMainFrame;

// A menu shows where a row first names it; a submenu where its kSubmenu row stands (named
// twice, the second shows the same commands, so that their shortcuts stay unambiguous).
// clang-format off
const std::vector<CMainFrame::MenuRow> CMainFrame::kMenuRows = {
    {.menu = "&File", .text = "&Open File (Data Playback)...", .key = "Ctrl+O",
     .when = When::kIdleOnly, .run = &F::OnOpenFile},
    {.menu = "&File", .text = "Data Storage", .kind = MenuRow::kSubmenu},
    {.menu = "Data Storage", .text = "Data &Storage Directory...", .key = "Ctrl+Alt+S",
     .when = When::kIdleOnly, .run = &F::OnDataStorageDirectory},
    {.menu = "Data Storage", .text = "Data &File Naming...", .key = "Ctrl+Alt+N",
     .when = When::kIdleOnly, .run = &F::ExecDialog<CDataFileNamingDlg>},
    {.menu = "&File", .kind = MenuRow::kSeparator},
    {.menu = "&File", .kind = MenuRow::kRecentFiles},
    {.menu = "&File", .text = "E&xit", .run = [](F& f) { f.close(); }},

    {.menu = "&Commands", .text = "&Snapshot", .kind = MenuRow::kSubmenu},
    {.menu = "&Snapshot", .text = "&Take Snap-Shot...", .when = When::kScanOnly,
     .run = &F::OnTakeSnapShot},
    {.menu = "&Snapshot", .text = "&Store Snap-Shot...", .when = When::kIdleOnly,
     .run = &F::ExecDialog<CStoreSnapshotDlg>},
    {.menu = "&Commands", .kind = MenuRow::kSeparator},
    {.menu = "&Commands", .text = "&Mark Event", .key = "Ctrl+M", .when = When::kScanOnly,
     .run = [](F& f) { f.Mark(); }, .tip = kMarkTip},
    {.menu = "&Commands", .text = "Mark Event with &Note...", .key = "Ctrl+Shift+M",
     .when = When::kScanOnly, .run = &F::OnMarkWithNote, .tip = kMarkTip},

    {.menu = "&Display", .text = "Counts Histogram (&Main View)", .key = "Ctrl+H",
     .run = [](F& f) { f.ShowMainView(kHistogramView); }},
    {.menu = "&Display", .text = "Counts Histogram (&PopUp)", .key = "Ctrl+P",
     .run = &F::ShowPopup},
    {.menu = "&Display", .text = "&Time Charts", .key = "Ctrl+T",
     .run = [](F& f) { f.ShowMainView(kTimeChartsView); }},
    {.menu = "&Display", .text = "&Change Time Charts...", .key = "Ctrl+C",
     .run = &F::OnChangeTimeCharts},
    {.menu = "&Display", .text = "P&rofile View (Main View)", .key = "Ctrl+R",
     .run = [](F& f) { f.ShowMainView(kProfileView); }},
    {.menu = "&Display", .kind = MenuRow::kSeparator},
    {.menu = "&Display", .text = "Nav Viewer", .run = &F::ShowNavViewer},

    {.menu = "&Settings", .text = "Data Storage", .kind = MenuRow::kSubmenu},
    {.menu = "&Settings", .text = "&Port Settings...", .key = "Shift+P", .when = When::kIdleOnly,
     .run = &F::ExecDialog<CComPortPropSheet>},
    {.menu = "&Settings", .text = "&Instrument Input (CTD)...", .key = "Shift+I",
     .when = When::kIdleOnly, .run = &F::ExecDialog<CCTDDlg>},
    {.menu = "&Settings", .text = "Analog Input...",
     .run = &F::ExecDialog<CAnalogInputDlg, &F::ShowAnalogCaption>},
    {.menu = "&Settings", .text = "Multi-Element Plankton &Grid", .kind = MenuRow::kSubmenu},
    {.menu = "Multi-Element Plankton &Grid", .text = "Max MEP &Length...",
     .when = When::kIdleOnly, .run = &F::ExecDialog<CMaxMepLengthDlg>},
    {.menu = "Multi-Element Plankton &Grid", .text = "&Grid Scaling Factor...",
     .run = &F::ExecDialog<CGridScalingFactorDlg, &F::ShowGridScalingFactor>},
    {.menu = "Multi-Element Plankton &Grid", .text = "&Disable MEP Grid", .kind = MenuRow::kCheck,
     .checked = [](const F& f) { return f.doc_.Settings().scan.gridPaused; },
     .toggled = &F::SetGridDisabled},
    {.menu = "&Settings", .text = "&Window Count Bounds...", .key = "Shift+W",
     .run = &F::ExecDialog<CWindowCountBoundsDlg>},
    {.menu = "&Settings", .text = "Set Survey &Latitude...", .key = "Shift+L",
     .when = When::kIdleOnly, .run = &F::ExecDialog<CSurveyLatDlg>},
    {.menu = "&Settings", .text = "User Supplied File Header...", .key = "Shift+H",
     .when = When::kIdleOnly, .run = &F::ExecDialog<CUserHeaderDlg>},
    {.menu = "&Settings", .text = "Counter Constant...", .when = When::kIdleOnly,
     .run = &F::ExecDialog<CCounterConstantDlg>},
    {.menu = "&Settings", .text = "Installed Tunnel", .kind = MenuRow::kSubmenu},
    {.menu = "Installed Tunnel", .text = "Standard Tunnel", .kind = MenuRow::kRadio,
     .run = [](F& f) { f.SetStandardTunnel(true); },
     .checked = [](const F& f) { return f.doc_.Settings().scan.standardTunnel; }},
    {.menu = "Installed Tunnel", .text = "Wide (2.5x) Tunnel", .kind = MenuRow::kRadio,
     .run = [](F& f) { f.SetStandardTunnel(false); },
     .checked = [](const F& f) { return !f.doc_.Settings().scan.standardTunnel; }},
    {.menu = "&Settings", .text = "NMEA Data Parsing...", .when = When::kIdleOnly,
     .run = &F::ExecDialog<CLatLongParsingConfigDlg>},
    {.menu = "&Settings", .text = "Remote Control...", .run = &F::ExecDialog<CRemoteControlDlg>},
    {.menu = "&Settings", .text = "VESK Firmware Version...", .when = When::kIdleOnly,
     .run = &F::ExecDialog<CFirmwareVersionDlg>},
    {.menu = "&Settings", .kind = MenuRow::kSeparator},
    {.menu = "&Settings", .text = "Alarm Limits...",
     .run = &F::ExecDialog<CAlarmLimitsDlg, &F::ConfigureLiveServices>},
    {.menu = "&Settings", .text = "P&rofiles...", .run = &F::ExecDialog<CProfilesDlg>},
    {.menu = "&Settings", .text = "Publish Records...",
     .run = &F::ExecDialog<CPublishDlg, &F::ConfigureLiveServices>},
    {.menu = "&Settings", .text = "We&b View...",
     .run = &F::ExecDialog<CWebViewDlg, &F::ConfigureWebView>},

    // A caption first: a click on "Options" whose button comes up a little lower selects what
    // lies under it (how "Add Header to DAT File", the first item, was found turned off).
    {.menu = "&Options", .text = "Files of the next scans", .kind = MenuRow::kSection},
    {.menu = "&Options", .text = "Add Header to DAT File", .kind = MenuRow::kCheck,
     .checked = [](const F& f) { return f.doc_.Settings().addHeaderToDatFile; },
     .toggled = &F::SetAddHeader},
    {.menu = "&Options", .text = "Log Initial NMEA Sample Only", .kind = MenuRow::kCheck,
     .checked = [](const F& f) { return f.doc_.Settings().scan.logInitialNmeaOnly; },
     .toggled = &F::SetLogInitialNmeaOnly},
    // The analysis CSV beside each .dat (taken at the next scan start).
    {.menu = "&Options", .text = "Write CSV Export File", .kind = MenuRow::kCheck,
     .checked = [](const F& f) { return f.doc_.Store().ReadBool(keys::kExportCsv); },
     .toggled = [](F& f, bool on) { f.doc_.Store().Write(keys::kExportCsv, on ? 1 : 0); }},

    {.menu = "&Tools", .text = "&Extract Data Stream...",
     .run = &F::ExecDialog<CExtractDataStreamDlg>},
    {.menu = "&Tools", .text = "&Statistical Analysis...",
     .run = &F::ExecDialog<CStatisticAnalysisDlg>,
     .shown = [](const F& f) { return f.doc_.Store().Read(keys::kStatsWindow) != 0; }},

    {.menu = "&Help", .text = "&About VESK...", .run = &F::OnAbout},
    {.menu = "&Help", .text = "Corvane Web", .run = &F::OnWebPage},
    {.menu = "&Help", .text = "VESK Software Manual", .run = &F::OnManual},
};
// clang-format on

void CMainFrame::BuildMenus() {
  // The grid as it was left at the last run; the statistics window's switch written back, so
  // that the settings file shows it.
  const bool gridDisabled = doc_.Store().ReadBool(keys::kGridDisabled);
  doc_.ChangeSettings([&](DocumentSettings& s) { s.scan.gridPaused = gridDisabled; });
  doc_.Store().Write(keys::kStatsWindow, doc_.Store().Read(keys::kStatsWindow));

  std::map<std::string, QMenu*> menus;
  std::map<std::string, QActionGroup*> groups;
  for (const MenuRow& row : kMenuRows) {
    if (row.shown && !row.shown(*this)) continue;
    QMenu*& menu = menus[row.menu];
    if (menu == nullptr) menu = menuBar()->addMenu(QString::fromLatin1(row.menu));
    switch (row.kind) {
      case MenuRow::kSeparator: menu->addSeparator(); continue;
      case MenuRow::kSection:
        menu->setSeparatorsCollapsible(false);
        menu->addSection(QString::fromLatin1(row.text));
        continue;
      case MenuRow::kRecentFiles: AddRecentFiles(menu); continue;
      case MenuRow::kSubmenu: {
        QMenu* sub = menu->addMenu(QString::fromLatin1(row.text));
        // Named again: the same commands, so that their shortcuts stay unambiguous.
        if (QMenu* first = menus[row.text]) {
          sub->addActions(first->actions());
        } else {
          menus[row.text] = sub;
        }
        continue;
      }
      case MenuRow::kCommand:
      case MenuRow::kCheck:
      case MenuRow::kRadio: break;
    }
    QAction* action = AddAction(menu, row.text, row.key, row.when);
    if (row.tip != nullptr) action->setStatusTip(QString::fromLatin1(row.tip));
    if (row.kind != MenuRow::kCommand) {
      action->setCheckable(true);
      action->setChecked(row.checked(*this));
    }
    if (row.kind == MenuRow::kRadio) {
      QActionGroup*& group = groups[row.menu];
      if (group == nullptr) group = new QActionGroup(this);
      group->addAction(action);
    }
    if (row.toggled) {
      connect(action, &QAction::toggled, this, [this, &row](bool on) { row.toggled(*this, on); });
    }
    if (row.run) connect(action, &QAction::triggered, this, [this, &row] { row.run(*this); });
  }
  for (QAction* a : actions_) addAction(a);  // shortcuts work with the menus closed
}

QAction* CMainFrame::AddAction(QMenu* menu, const char* text, const char* key, When when) {
  QAction* action = menu->addAction(QString::fromLatin1(text));
  if (key != nullptr) action->setShortcut(QKeySequence(QString::fromLatin1(key)));
  if (when == When::kIdleOnly) idleOnly_.push_back(action);
  if (when == When::kScanOnly) scanOnly_.push_back(action);
  actions_.push_back(action);
  return action;
}

void CMainFrame::AddRecentFiles(QMenu* file) {
  for (std::size_t i = 0; i < recentActions_.size(); ++i) {
    QAction* recent = AddAction(file, "", nullptr, When::kIdleOnly);
    connect(recent, &QAction::triggered, this, [this, i] {
      if (i < recentFiles_.Entries().size()) OpenPlayback(recentFiles_.Entries()[i]);
    });
    recentActions_[i] = recent;
  }
  recentSeparator_ = file->addSeparator();
  UpdateRecentFiles();
}

QAction* CMainFrame::FindAction(const QString& text) const {
  for (QAction* a : actions_) {
    if (a->text() == text) return a;
  }
  return nullptr;
}

void CMainFrame::UpdateCommandStates() {
  const bool scanning = doc_.Scanning();
  for (QAction* a : idleOnly_) a->setEnabled(!scanning);
  for (QAction* a : scanOnly_) a->setEnabled(scanning);
}

void CMainFrame::OnDataStorageDirectory() {
  const std::optional<std::string> folder =
      CSelectFolderDialog::ChooseFolder(this, doc_.DataDirectory());
  if (!folder) return;
  doc_.SetDataDirectory(*folder);
}

void CMainFrame::OnTakeSnapShot() {
  if (!doc_.Scanning()) return;
  if (doc_.Dialogs().AskYesNo(kConfirmSnapShot, kConfirmCommandCaption)) doc_.TakeSnapShot();
}

void CMainFrame::OnChangeTimeCharts() {
  if (auto* charts = dynamic_cast<CTimePlotsView*>(mainView_)) {
    charts->ChangeTimeCharts();
    return;
  }
  ExecDialog<CSelectTimePlotsDlg>();
}

void CMainFrame::ShowNavViewer() {
  auto* viewer = findChild<CNavViewerDlg*>();
  if (viewer == nullptr) viewer = new CNavViewerDlg(doc_, this);
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
}

void CMainFrame::ShowAnalogCaption() {
  const std::string& caption = doc_.Settings().analogCaption;
  bar_->SetAnalogCaption(QString::fromLatin1(caption.data(), caption.size()));
}

void CMainFrame::ShowGridScalingFactor() {
  bar_->SetField(BarField::ScaleFactor, QString::number(doc_.Settings().scan.gridScalingFactor));
}

void CMainFrame::SetGridDisabled(bool on) {
  doc_.ChangeSettings([&](DocumentSettings& s) { s.scan.gridPaused = on; });
  doc_.Store().Write(keys::kGridDisabled, on ? 1 : 0);
}

void CMainFrame::SetAddHeader(bool on) {
  doc_.ChangeSettings([&](DocumentSettings& s) { s.addHeaderToDatFile = on; });
  doc_.Store().Write(keys::kAddHeaderToDatFile, on ? 1 : 0);
  // The first item of its menu, easily flipped by a click that slips: said, and logged.
  doc_.Dialogs().Notify(on ? kHeaderOn : kHeaderOff);
}

void CMainFrame::SetLogInitialNmeaOnly(bool on) {
  doc_.ChangeSettings([&](DocumentSettings& s) { s.scan.logInitialNmeaOnly = on; });
  doc_.Store().Write(keys::kLogInitialNmeaOnly, on ? 1 : 0);
}

void CMainFrame::SetStandardTunnel(bool standard) {
  doc_.ChangeSettings([&](DocumentSettings& s) { s.scan.standardTunnel = standard; });
  doc_.Store().Write(keys::kStandardTunnel, standard ? 1 : 0);
}

}  // namespace vesk
