#pragma once
// `vesk --headless`: the document and its threads without windows. A status line on stdout
// about once a second, messages on stderr, the UDP remote control, and a clean end (files
// closed, threads joined) on SIGINT, SIGTERM, remote command 3 or the end of --duration.

#include <QObject>
#include <QTimer>
#include <array>
#include <memory>
#include <mutex>
#include <string>

#include "acquisition/headless_seams.h"
#include "acquisition/vesk_doc.h"
#include "control/udp_control.h"

namespace vesk {

struct HeadlessOptions {
  bool log = false;       // start with StartDataLogging, else StartAcquisition
  double duration = 0;    // seconds; 0 runs until told to stop
};

class HeadlessRunner : public QObject {
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

  void PrintStatus();
  void Quit();
  void StopIfScanning();
  static void OnSignal(int);

  HeadlessOptions options_;
  Windows windows_;
  ConsoleDialogs dialogs_;
  SystemClock clock_;
  std::unique_ptr<CVESKDoc> doc_;
  std::unique_ptr<CUDPControl> udp_;
  QTimer statusTimer_;
  QTimer pollTimer_;
  std::chrono::steady_clock::time_point started_;
  int exitCode_ = 0;
};

}  // namespace vesk
