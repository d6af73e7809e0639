#pragma once
// The main window: the menus, the status bar with its five panes, the control bar and the
// splitter with the main view (left) and the shadowgram grid (right). It routes the menu and
// button commands to the document and the dialogs, hands the registered messages of the
// worker threads on to the views, and shows the scan state.

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QSplitter>
#include <QTimer>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "app/gui/qt_window_messages.h"
#include "display/control_bar.h"
#include "display/message_receiver.h"
#include "files/recent_files.h"

namespace vesk {

class CAlarmPane;
class CElidedLabel;
class CUDPControl;
class CVESKDoc;
class LiveServices;
class WebView;

inline constexpr const char* kScanningNoLogging = "  Scanning - NO Logging  ";
inline constexpr const char* kScanningAndLogging = "  Scanning & Logging  ";
inline constexpr const char* kSourceVesk = "  Source: VESK  ";
inline constexpr const char* kDestEmpty = "  Dest:  ";
inline constexpr const char* kIdleState = "\tIDLE\t";
inline constexpr const char* kConfirmSnapShot = "Confirm Command: 'Take Snap-Shot'";
inline constexpr const char* kConfirmCommandCaption = "Confirm Command";
inline constexpr const char* kBinnedViewActive = "Binned Data View is already active";
inline constexpr const char* kTimeChartsActive = "Time-Charts are already active";
inline constexpr const char* kProfileViewActive = "The Profile view is already active";
// The main view's choices, as stored in Settings/ActiveMainView.
enum MainViewChoice { kHistogramView = 0, kTimeChartsView = 1, kProfileView = 2 };
inline constexpr const char* kInstrumentDescription = "Underwater Laser Particle Counter";
inline constexpr const char* kExitWhileLoggingFormat =
    "A recording is running:\n%s\n\nStop logging and exit?";
inline constexpr const char* kExitCaption = "Exit VESK";
inline constexpr const char* kHeaderOn =
    "Options: Add Header to DAT File is on: the next .dat files begin with the file header.";
inline constexpr const char* kHeaderOff =
    "Options: Add Header to DAT File is OFF: the next .dat files are written without their "
    "header.";

// The error text for a software manual that cannot be opened; `name` as the user sees it.
enum class ManualProblem { NotFound, NoApplication, Other };
std::string ManualErrorText(ManualProblem problem, const std::string& name);
// The manual's file name: ".pdf" appended unless it already ends so (any case).
std::string ManualFileName(const std::string& stored);
// Whether a web browser can open a page ($BROWSER, or an installed browser).
bool WebBrowserAvailable();

class CMainFrame : public QMainWindow, public MessageReceiver, public MessageFrame {
  Q_OBJECT

 public:
  static constexpr int kStatusPeriodMs = 1500;
  static constexpr double kMainViewShare = 0.82;
  static constexpr double kGridShare = 0.18;

  CMainFrame(CVESKDoc& doc, QtWindowMessages& messages, QWidget* parent = nullptr);
  ~CMainFrame() override;

  // The frame's own registered messages.
  void OnMessage(Uwm message) override;

  // MessageFrame
  QObject* FrameObject() override { return this; }
  void Deliver(WindowTarget target, Uwm message) override;
  void ShowPaneText(int pane, const std::string& text) override;

  // Closes the window without the question a running recording asks (the remote command 3,
  // the end of --duration).
  void CloseUnasked();

  // The control bar's commands, also used by the remote control and the command line.
  void StartAcquisition();
  void StartLogging();
  void Stop();
  void Connect();

  // Follows the document's scan state: buttons, flashing, state pane and idle-only commands.
  void SyncScanState();
  // Refreshes the control bar from the document (what UWM_UPDATECONTROLBAR does).
  void RefreshControlBar();
  // One turn of the 1500 ms status timer.
  void StatusTick();
  // The remote control whose last command the status bar shows (null: not available).
  void SetRemoteControl(const CUDPControl* remote);
  QString RemoteText() const;
  // The published records, the alarms (status pane and control bar) and the marks.
  void SetLiveServices(LiveServices* services);
  // The web view the Settings menu's "Web View..." restarts (null: none).
  void SetWebView(WebView* web) { web_ = web; }
  // An event mark with this note now (the Mark command, remote command 6).
  void Mark(const std::string& note = {});
  CAlarmPane* AlarmPane() const { return alarmPane_; }

  CVESKDialogBar* ControlBar() const { return bar_; }
  QString PaneText(int pane) const;
  QWidget* MainView() const { return mainView_; }
  QWidget* GridPane() const { return gridPane_; }
  QSplitter* Splitter() const { return splitter_; }
  QWidget* Popup() const { return popup_; }
  QWidget* PlaybackDialog() const { return playback_; }
  // The menu command whose text (with its "&") is `text`, or null.
  QAction* FindAction(const QString& text) const;
  // A note the user sees without a box, shown in the status bar for a while.
  void ShowNote(const std::string& text);
  // The note shown now (empty when none).
  QString NoteText() const;
  static constexpr int kNoteMilliseconds = 15000;
  // Opens the histogram popup, or brings it to the front.
  void ShowPopup();

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  // When a menu command can be given.
  enum class When { kAnyTime, kIdleOnly, kScanOnly };
  // One row of the menus (main_frame_menus.cpp): a command, a check item, a radio item, a
  // submenu, a separator, a section caption, or the recent files.
  struct MenuRow {
    enum Kind { kCommand, kCheck, kRadio, kSubmenu, kSeparator, kSection, kRecentFiles };
    const char* menu = nullptr;  // the menu or submenu it goes in
    const char* text = nullptr;
    const char* key = nullptr;  // its shortcut
    When when = When::kAnyTime;
    Kind kind = kCommand;
    std::function<void(CMainFrame&)> run = {};            // on a click
    std::function<bool(const CMainFrame&)> checked = {};  // a check item's state at the start
    std::function<void(CMainFrame&, bool)> toggled = {};  // a check item changed
    std::function<bool(const CMainFrame&)> shown = {};    // there only when this says so
    const char* tip = nullptr;                            // its status tip
  };
  static const std::vector<MenuRow> kMenuRows;
  void BuildMenus();
  QAction* AddAction(QMenu* menu, const char* text, const char* key, When when);
  void AddRecentFiles(QMenu* file);
  // Opens the settings window `Dialog` modal on the document (or its store); `onAccept` after
  // its OK.
  template <class Dialog, void (CMainFrame::*onAccept)() = nullptr>
  void ExecDialog();
  void BuildStatusBar();
  void UpdateCommandStates();
  void UpdateElapsed();
  void UpdateRemote();

  // Menu commands
  void OnOpenFile();
  // Plays `path` back (the playback dialog opens) and puts it first in the recent files.
  void OpenPlayback(std::string path);
  // The File menu's recent-file entries, shown as the list stands.
  void UpdateRecentFiles();
  void OnDataStorageDirectory();
  void OnTakeSnapShot();
  // The histogram, the time charts or the Profile view in the left pane (Display menu).
  void ShowMainView(MainViewChoice choice);
  void OnChangeTimeCharts();
  void ShowNavViewer();
  void ShowAnalogCaption();
  void ShowGridScalingFactor();
  void SetGridDisabled(bool on);
  void SetAddHeader(bool on);
  void SetLogInitialNmeaOnly(bool on);
  void SetStandardTunnel(bool standard);
  // The Help menu (main_frame_help.cpp).
  void OnAbout();
  void OnWebPage();
  void OnManual();
  // The manual built with the program, in its window.
  void ShowBuiltManual();
  void OnClosePlayback();
  // The live services' part (main_frame_live.cpp).
  void OnMarkWithNote();
  void ConfigureLiveServices();
  void ConfigureWebView();
  void UpdateAlarms();
  // The marks of the scan on the time charts, when they are shown.
  void ShowMarks();

  CVESKDoc& doc_;
  QtWindowMessages& messages_;
  CVESKDialogBar* bar_ = nullptr;
  QSplitter* splitter_ = nullptr;
  QWidget* mainView_ = nullptr;
  QWidget* gridPane_ = nullptr;
  QPointer<QWidget> popup_;
  QPointer<QWidget> playback_;
  QPointer<QWidget> manual_;
  std::array<CElidedLabel*, 5> panes_{};
  std::array<QString, 5> paneTexts_;
  CElidedLabel* remote_ = nullptr;
  QLabel* note_ = nullptr;
  QTimer noteTimer_;
  const CUDPControl* remoteControl_ = nullptr;
  CAlarmPane* alarmPane_ = nullptr;
  LiveServices* services_ = nullptr;
  WebView* web_ = nullptr;
  std::vector<QAction*> scanOnly_;  // enabled only while a scan runs
  QTimer statusTimer_;
  QTimer stateTimer_;
  ControlBarReader reader_;
  std::vector<QAction*> idleOnly_;
  std::vector<QAction*> actions_;
  RecentFileList recentFiles_;
  std::array<QAction*, RecentFileList::kSize> recentActions_{};
  QAction* recentSeparator_ = nullptr;
  bool shownScanning_ = false;
  bool shownConnected_ = false;
  bool closeUnasked_ = false;
};

}  // namespace vesk
