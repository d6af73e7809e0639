#pragma once
// The application object: brings the program up in its fixed order (remote control socket,
// settings, first-run check, document and counter port, main window) and runs it. The
// command line can start a scan at once, end the run after a while (counted from the start),
// or save a picture of the main window and end. A close request (the remote control, the end
// of --duration) ends the program whenever it comes, a message box open at the start
// included, and nothing it would have started is started.

#include <QObject>
#include <memory>
#include <string>

#include "app/gui/qt_user_dialogs.h"
#include "app/gui/qt_window_messages.h"
#include "control/udp_control.h"
#include "seams/clock.h"
#include "seams/settings_store.h"
#include "ui/dialogs/title_fitter.h"

namespace vesk {

class CVESKDoc;
class CMainFrame;
class LiveServices;
class MessageLog;
class WebView;

inline constexpr const char* kFirstRunMessage =
    "This appears to be the first time this software has been loaded.  Please configure the "
    "software under the Settings menu.";

struct AppOptions {
  bool acquire = false;        // start a scan without logging once the window is up
  bool log = false;            // start a logging scan once the window is up
  bool popup = false;          // open the histogram popup once the window is up
  double duration = 0;         // seconds; then stop and end (0: run until closed)
  std::string screenshot;      // save a picture of the main window here, then end
  double screenshotAfter = 5;  // seconds before the picture
  // Messages to stderr and Yes to every question (always so with a screenshot).
  bool scripted = false;
  MessageLog* messageLog = nullptr;  // the messages also go here
  std::string settingsProblem;       // told at the start: the store cannot be read or written
};

class CVESKApp : public QObject, private RemoteCommandTarget {
 public:
  static constexpr const char* kVersion = "1.20";

  CVESKApp(SettingsStore& store, const AppOptions& options);
  ~CVESKApp() override;

  // Start-up in order; false when the program cannot go on.
  bool InitInstance();
  // InitInstance, then the event loop; the process exit code.
  int Run();

  CVESKDoc* Doc() const { return doc_.get(); }
  LiveServices* Services() const { return services_.get(); }
  CMainFrame* Frame() const { return frame_.get(); }
  bool RemoteControlAvailable() const { return remoteControl_; }
  const QtUserDialogs& Dialogs() const { return dialogs_; }
  // The remote control's UDP port (0 when it is not available).
  quint16 RemoteControlPort() const;

 private:
  // The remote commands: they wait for the document and the window.
  void StartLogging() override;
  void Stop() override;
  void CloseApplication() override { Quit(0); }
  void StartAcquisition() override;
  void Mark(const std::string& note) override;
  void NoteRemote(const std::string& text) override { dialogs_.Notify(text); }

  void TakeScreenshot();
  // Ends the program with `code`: an open message box or question is closed (answered No),
  // and the start-up goes no further.
  void Quit(int code);

  SettingsStore& store_;
  AppOptions options_;
  QtWindowMessages messages_;
  QtUserDialogs dialogs_;
  SystemClock clock_;
  CTitleFitter titleFitter_;
  std::unique_ptr<CUDPControl> udp_;
  std::unique_ptr<CVESKDoc> doc_;
  std::unique_ptr<LiveServices> services_;
  std::unique_ptr<WebView> web_;
  std::unique_ptr<CMainFrame> frame_;
  bool remoteControl_ = false;
  bool quitting_ = false;
  int exitCode_ = 0;
};

}  // namespace vesk
