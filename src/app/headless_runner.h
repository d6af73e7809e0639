#pragma once
// `vesk --headless`: the document and its threads without windows. A status line on stdout
// about once a second, messages on stderr, the UDP remote control, and a clean end (files
// closed, threads joined) on SIGINT, SIGTERM, SIGHUP, remote command 3 or the end of
// --duration. The alarms are judged every second and shown on the status line; remote
// command 6 makes an event mark. A counter port that is missing is tried again every few seconds,
// and the scan asked for starts once it opens. With a recording to play back, SIGUSR1 pauses and
// resumes it and its end ends the run. The exit status is 0 only when what was asked for was done.

#include <QObject>
#include <QTimer>
#include <array>
#include <memory>
#include <mutex>
#include <string>

#include "acquisition/headless_seams.h"
#include "acquisition/live_services.h"
#include "acquisition/vesk_doc.h"
#include "control/udp_control.h"
#include "web/web_view.h"

namespace vesk {

struct HeadlessOptions {
  bool log = false;       // start with StartDataLogging, else StartAcquisition
  double duration = 0;    // seconds; 0 runs until told to stop
  std::string playback;   // play this recording instead of scanning; the end of it ends the run
  int playbackSpeed = 0;  // as CVESKDoc::SetPlaybackSpeed takes it (0: as fast as processed)
  MessageLog* messageLog = nullptr;  // the messages also go here
  int statusSeconds = 1;             // between status lines
};

class HeadlessRunner : public QObject, private RemoteCommandTarget {
 public:
  HeadlessRunner(SettingsStore& store, const HeadlessOptions& options);
  ~HeadlessRunner() override;

  // Runs until the end; the process exit code.
  int Run();

 private:
  // The window seam for a run without windows: a worker's stop request runs StopScan on the
  // event loop's thread; the state pane is echoed on stderr.
  class Windows : public WindowMessages {
   public:
    explicit Windows(HeadlessRunner& runner) : runner_(runner) {}
    void Post(WindowTarget target, Uwm message) override;
    void Send(WindowTarget, Uwm) override {}
    void SetPaneText(int pane, const std::string& text) override;

   private:
    HeadlessRunner& runner_;
  };

  // The remote commands. Without a window nobody can press Connect: a start that finds the
  // port closed says what happens instead.
  void StartLogging() override { RemoteStart(true); }
  void Stop() override { StopIfScanning(); }
  void CloseApplication() override { Quit(); }
  void StartAcquisition() override { RemoteStart(false); }
  void Mark(const std::string& note) override;
  void NoteRemote(const std::string& text) override { dialogs_.Notify(text); }
  void RemoteStart(bool log);

  void PrintStatus();
  void PrintStatus(const ScanStatus& status, const char* state);
  bool StartPlayback();
  void StartCounterScan();
  // The requested scan, once the port is open and the counter had a moment to speak.
  void StartRequestedScanWhenReady();
  void Fail(const std::string& text);
  int DurationMs() const;
  void QuitAfterDuration();
  void TogglePause();
  void Quit();
  void StopIfScanning();
  static void OnSignal(int);

  HeadlessOptions options_;
  Windows windows_;
  ConsoleDialogs dialogs_;
  SystemClock clock_;
  std::unique_ptr<CVESKDoc> doc_;
  std::unique_ptr<LiveServices> services_;
  std::unique_ptr<CUDPControl> udp_;
  std::unique_ptr<WebView> web_;
  QTimer statusTimer_;
  QTimer pollTimer_;
  QTimer playbackTimer_;
  QTimer startTimer_;  // while the requested scan waits for its port and counter
  int ticks_ = 0;      // of the status timer
  std::chrono::steady_clock::time_point started_;
  std::chrono::steady_clock::time_point connectedAt_{};
  bool scanStarted_ = false;  // the requested scan (or playback) ran at some time
  bool waitingTold_ = false;
  int exitCode_ = 0;
};

}  // namespace vesk
