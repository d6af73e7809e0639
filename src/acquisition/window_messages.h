#pragma once
// The window seam: the registered messages that tie worker threads to windows, and the
// status bar panes. The GUI registers one event type per message name; headless runs and
// tests implement it without windows.

#include <string>
#include <string_view>

namespace vesk {

enum class Uwm {
  StartGrid,
  StartGraph,
  StartBinnedDataPopup,
  StopGrid,
  StopGraph,
  StopBinnedDataPopup,
  CloseBinnedDataPopup,
  PerformStop,
  ClosePlayback,
  UpdateControlBar,
  UpdateTimePlotsRelay,
  UpdateTimePlots,
  NavViewerUpdate,
  UpdateStatisticsDlg,
};
inline constexpr int kUwmCount = static_cast<int>(Uwm::UpdateStatisticsDlg) + 1;

// The registered name of a message, "UWM_..._5645534B".
std::string_view UwmName(Uwm message);

enum class WindowTarget {
  MainFrame,  // the application's main window
  AllViews,   // every view of the document
  Popup,      // the binned-counts popup, when it exists
  NavViewer,  // the navigation viewer, when it is open
};

// Status bar panes: 0 scan state, 1 scan start time, 2 elapsed time, 3 source, 4 destination.
enum StatusPane {
  kPaneState = 0,
  kPaneStart = 1,
  kPaneElapsed = 2,
  kPaneSource = 3,
  kPaneDest = 4
};

class WindowMessages {
 public:
  virtual ~WindowMessages() = default;
  // From any thread; never waits for the receiver.
  virtual void Post(WindowTarget target, Uwm message) = 0;
  // From the user-interface thread only; returns after the receiver handled it.
  virtual void Send(WindowTarget target, Uwm message) = 0;
  virtual void SetPaneText(int pane, const std::string& text) = 0;
};

}  // namespace vesk
