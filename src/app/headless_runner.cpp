#include "app/headless_runner.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <cstdio>

#include "instruments/ctd_conversions.h"
#include "processing/batch_player.h"
#include "web/live_cast_profile.h"

namespace vesk {
namespace {

int signalPipe[2] = {-1, -1};
constexpr char kQuitByte = 1;
constexpr char kPauseByte = 2;

std::string Elapsed(std::chrono::steady_clock::duration d) {
  const long s = static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(d).count());
  char text[32];
  std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", s / 3600, (s / 60) % 60, s % 60);
  return text;
}

// The control bar's texts are Windows-1252: show the degree sign on a UTF-8 terminal.
std::string ForTerminal(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (static_cast<unsigned char>(c) == 0xB0) {
      out += "\xC2\xB0";
    } else {
      out += c;
    }
  }
  return out;
}

const char* State(const CVESKDoc& d) {
  if (!d.Scanning()) return "idle";
  if (d.IsPlayback()) return d.PlaybackPaused() ? "paused" : "playing";
  if (d.LoggingSuspended()) return "scanning (logging suspended: disk full)";
  return d.Logging() ? "logging" : "scanning";
}

}  // namespace

void HeadlessRunner::Windows::Post(WindowTarget, Uwm message) {
  if (message != Uwm::PerformStop) return;
  QMetaObject::invokeMethod(
      &runner_, [this] { runner_.StopIfScanning(); }, Qt::QueuedConnection);
}

void HeadlessRunner::Windows::SetPaneText(int pane, const std::string& text) {
  if (pane != kPaneState && pane != kPaneDest) return;
  std::string trimmed = text;
  for (char& c : trimmed) {
    if (c == '\t') c = ' ';
  }
  const auto first = trimmed.find_first_not_of(' ');
  if (first == std::string::npos) return;
  trimmed = trimmed.substr(first, trimmed.find_last_not_of(' ') - first + 1);
  runner_.dialogs_.Notify(trimmed);
}

HeadlessRunner::HeadlessRunner(SettingsStore& store, const HeadlessOptions& options)
    : options_(options), windows_(*this), dialogs_(true, false) {
  dialogs_.SetLog(options_.messageLog);
  doc_ = std::make_unique<CVESKDoc>(store, windows_, dialogs_, clock_);
  services_ = std::make_unique<LiveServices>(*doc_);
  udp_ = std::make_unique<CUDPControl>(store, CUDPControl::ActionsFor(*this), this);
  web_ = std::make_unique<WebView>(LiveSources{
      *doc_, *services_, [this] { return DescribeReceivedCommand(udp_->LastReceived()); },
      CastProfileSource(doc_->Results())});
  connect(&statusTimer_, &QTimer::timeout, this, [this] {
    services_->Tick();
    if (++ticks_ % std::max(1, options_.statusSeconds) == 0) PrintStatus();
  });
  connect(&pollTimer_, &QTimer::timeout, this, [this] {
    if (!doc_->Scanning()) doc_->PollCounterStatus();
  });
  connect(&startTimer_, &QTimer::timeout, this, [this] { StartRequestedScanWhenReady(); });
  connect(&playbackTimer_, &QTimer::timeout, this, [this] {
    if (!doc_->Scanning()) {
      // Stopped from outside (remote control): stay for more commands. Stopped by a fault
      // (the recording could not be read, the .dat not written): the run failed.
      playbackTimer_.stop();
      if (exitCode_ != 0) Quit();
    } else if (const PlaybackProgress p = doc_->Playback(); p.atEnd) {
      // A file without one frame of the counter is no recording: the run fails (and its
      // .dat goes with the stop).
      if (p.noCounterFrames) {
        dialogs_.Notify(NoCounterFramesText(options_.playback));
        exitCode_ = 1;
      }
      Quit();
      if (exitCode_ == 0) dialogs_.Notify("Processing Complete");
    }
  });
}

HeadlessRunner::~HeadlessRunner() = default;

void HeadlessRunner::RemoteStart(bool log) {
  // While a scan runs the document says why a start does nothing (a playback, or a scan of
  // that kind already running).
  if (!doc_->Scanning() && !doc_->Connected()) {
    dialogs_.Notify(
        "Remote start ignored: the counter port is not open (it is tried again "
        "every few seconds).");
  } else if (log) {
    doc_->StartDataLogging();
  } else {
    doc_->StartAcquisition();
  }
}

void HeadlessRunner::Mark(const std::string& note) {
  dialogs_.Notify(services_->AddMark(note).text);
}

void HeadlessRunner::OnSignal(int signal) {
  const char byte = signal == SIGUSR1 ? kPauseByte : kQuitByte;
  [[maybe_unused]] const auto n = ::write(signalPipe[1], &byte, 1);
}

bool HeadlessRunner::StartPlayback() {
  doc_->PreparePlayback(options_.playback);
  doc_->SetPlaybackSpeed(options_.playbackSpeed);
  doc_->SetPlaybackPaused(false);
  if (!doc_->StartScan()) return false;
  dialogs_.Notify(kPlaybackPlayingText);
  playbackTimer_.start(100);
  return true;
}

void HeadlessRunner::TogglePause() {
  if (!doc_->IsPlayback() || !doc_->Scanning()) return;
  const bool paused = !doc_->PlaybackPaused();
  doc_->SetPlaybackPaused(paused);
  dialogs_.Notify(paused ? kPlaybackPausedText : kPlaybackResumedText);
}

void HeadlessRunner::StopIfScanning() {
  if (!doc_->Scanning()) return;
  doc_->StopScan();
  services_->Tick();  // the scan's alarms are cleared
  // A scan ended by a fault (a file that cannot be written, a recording that cannot be
  // read, a thread that failed) makes the run fail, whatever else it did.
  if (doc_->StoppedByFault()) exitCode_ = 1;
}

void HeadlessRunner::Fail(const std::string& text) {
  dialogs_.Notify(text + (doc_->Connected() ? "" : " (the counter port could not be opened)"));
  exitCode_ = 1;
  Quit();
}

void HeadlessRunner::Quit() {
  if (doc_->Scanning()) {
    // The last line shows what the scan ended with, once its queued frames are processed.
    StopIfScanning();
    PrintStatus(doc_->LastScanStatus(), "stopped");
  } else {
    PrintStatus();
  }
  if (!scanStarted_ && exitCode_ == 0) {
    dialogs_.Notify(std::string("no scan was started") +
                    (doc_->Connected() ? "" : " (the counter port could not be opened)"));
    exitCode_ = 1;
  }
  QCoreApplication::exit(exitCode_);
}

void HeadlessRunner::PrintStatus() {
  PrintStatus(doc_->StatusSnapshot(), State(*doc_));
}

void HeadlessRunner::PrintStatus(const ScanStatus& s, const char* state) {
  std::printf(
      "%s  %s  L frames %u  frame errors %u  total %u  CPS %.0f  depth %.2f m  "
      "temp %.3f C  sal %.3f  profile %s  pos %s %s %s",
      Elapsed(std::chrono::steady_clock::now() - started_).c_str(), state, s.lFrames, s.frameErrors,
      s.cumulativeTotal, s.countsPerSecond, s.depth, s.ctd.temperature, s.ctd.salinity,
      CastStatusText(doc_->Results().Cast().Latest().get()).c_str(),
      ForTerminal(s.nav.latitude).c_str(), ForTerminal(s.nav.longitude).c_str(),
      s.nav.time.c_str());
  // How old the position is, what the remote control last asked for, the alarms raised and
  // what was published.
  const std::string published = services_->PublishSummary();
  std::printf(
      "  fix %s  remote %s  alarms %s%s%s\n",
      FixAgeAt(s.nav, std::chrono::steady_clock::now(), doc_->Settings().scan.nav.staleFixSeconds)
          .text.c_str(),
      DescribeReceivedCommand(udp_->LastReceived()).c_str(), services_->AlarmSummary().c_str(),
      published.empty() ? "" : "  ", published.c_str());
  std::fflush(stdout);  // a closed stdout (a pipe whose reader left) is no reason to stop
}

int HeadlessRunner::Run() {
  if (::pipe(signalPipe) == 0) {
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
      char byte = kQuitByte;
      [[maybe_unused]] const auto n = ::read(signalPipe[0], &byte, 1);
      if (byte == kPauseByte) {
        TogglePause();
      } else {
        Quit();
      }
    });
    // A hang-up (the terminal or ssh session gone) ends the scan cleanly like SIGTERM. No
    // call is restarted after a signal: whatever waits hears of it at once.
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGUSR1}) ::sigaction(signal, &action, nullptr);
  }
  if (!udp_->Open()) {
    dialogs_.ShowMessage(std::string(kNetworkUnavailable) + " (" + udp_->ErrorText() + ")", "",
                         MessageIcon::Information);
  }
  for (const std::string& warning : udp_->Warnings()) dialogs_.Notify(warning);
  web_->Configure();
  started_ = std::chrono::steady_clock::now();
  if (!options_.playback.empty()) {
    // Playback needs no counter; a file that cannot be played ends the run.
    if (!StartPlayback()) return 1;
    scanStarted_ = true;
  } else {
    StartCounterScan();
  }
  statusTimer_.start(1000);
  if (options_.duration > 0) {
    if (scanStarted_) {
      QuitAfterDuration();
    } else {
      // The scan runs for the duration from its start; a port that never opens within it
      // ends the run as a failure.
      QTimer::singleShot(DurationMs(), this, [this] {
        if (!scanStarted_) Fail("no scan was started within the --duration");
      });
    }
  }
  const int code = QCoreApplication::exec();
  StopIfScanning();
  return code != 0 ? code : exitCode_;
}

void HeadlessRunner::StartCounterScan() {
  if (!doc_->ConnectCounterPort()) {
    dialogs_.Notify("waiting for the counter port " + doc_->CounterDeviceName() +
                    "; it is tried again every few seconds");
  }
  pollTimer_.start(1500);  // also reopens the port while it is missing
  startTimer_.start(200);
}

void HeadlessRunner::StartRequestedScanWhenReady() {
  if (!doc_->Connected()) {
    connectedAt_ = {};
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  if (connectedAt_ == std::chrono::steady_clock::time_point{}) connectedAt_ = now;
  // Give a counter that is just powering up (or the simulator) a moment to say it is there
  // before asking whether to start anyway.
  if (!doc_->PollCounterStatus().responding && now - connectedAt_ < std::chrono::seconds(4)) {
    return;
  }
  startTimer_.stop();
  if (options_.log) {
    doc_->StartDataLogging();
  } else {
    doc_->StartAcquisition();
  }
  if (!doc_->Scanning()) {
    Fail("the scan was not started (see the message above)");
    return;
  }
  scanStarted_ = true;
  if (options_.duration > 0) QuitAfterDuration();
}

int HeadlessRunner::DurationMs() const {
  return static_cast<int>(std::min(options_.duration * 1000, 2e9));
}

void HeadlessRunner::QuitAfterDuration() {
  QTimer::singleShot(DurationMs(), this, [this] { Quit(); });
}

}  // namespace vesk
