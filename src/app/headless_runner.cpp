#include "app/headless_runner.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>
#include <csignal>
#include <cstdio>

#include "instruments/ctd_conversions.h"

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
  if (!d.scanning) return "idle";
  if (d.playback) return d.playbackPaused ? "paused" : "playing";
  return d.logging ? "logging" : "scanning";
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
  std::fprintf(stderr, "vesk: %s\n", trimmed.c_str());
}

HeadlessRunner::HeadlessRunner(SettingsStore& store, const HeadlessOptions& options)
    : options_(options), windows_(*this), dialogs_(true, false) {
  doc_ = std::make_unique<CVESKDoc>(store, windows_, dialogs_, clock_);
  udp_ = std::make_unique<CUDPControl>(store,
                                       CUDPControl::Actions{
                                           [this] { doc_->StartDataLogging(); },
                                           [this] { StopIfScanning(); },
                                           [this] { Quit(); },
                                           [this] { doc_->StartAcquisition(); },
                                       },
                                       this);
  connect(&statusTimer_, &QTimer::timeout, this, [this] { PrintStatus(); });
  connect(&pollTimer_, &QTimer::timeout, this, [this] {
    if (!doc_->scanning) doc_->PollCounterStatus();
  });
  connect(&playbackTimer_, &QTimer::timeout, this, [this] {
    if (!doc_->scanning) {
      playbackTimer_.stop();  // stopped from outside (remote control): stay for more commands
    } else if (doc_->playbackAtEnd) {
      std::fprintf(stderr, "vesk: Processing Complete\n");
      Quit();
    }
  });
}

HeadlessRunner::~HeadlessRunner() = default;

void HeadlessRunner::OnSignal(int signal) {
  const char byte = signal == SIGUSR1 ? kPauseByte : kQuitByte;
  [[maybe_unused]] const auto n = ::write(signalPipe[1], &byte, 1);
}

bool HeadlessRunner::StartPlayback() {
  doc_->PreparePlayback(options_.playback);
  doc_->playbackSpeed = options_.playbackSpeed;
  doc_->playbackPaused = false;
  if (!doc_->StartScan()) return false;
  std::fprintf(stderr, "vesk: Playback data File...\n");
  playbackTimer_.start(100);
  return true;
}

void HeadlessRunner::TogglePause() {
  if (!doc_->playback || !doc_->scanning) return;
  const bool paused = !doc_->playbackPaused;
  doc_->playbackPaused = paused;
  std::fprintf(stderr, "vesk: %s\n", paused ? "Playback Paused..." : "Playback Data File.");
}

void HeadlessRunner::StopIfScanning() {
  if (doc_->scanning) doc_->StopScan();
}

void HeadlessRunner::Quit() {
  PrintStatus();  // the last counts, before the end of the scan clears them
  StopIfScanning();
  QCoreApplication::exit(exitCode_);
}

void HeadlessRunner::PrintStatus() {
  const CVESKDoc& d = *doc_;
  double total = 0;
  std::uint32_t cumulative = 0;
  {
    std::lock_guard lock(doc_->binLock);
    total = d.frameTotal;
    cumulative = d.cumulativeTotalCount;
  }
  CtdSample ctd;
  {
    std::lock_guard lock(doc_->ctdLock);
    ctd = d.ctd.sample;
  }
  NavDisplay nav;
  {
    std::lock_guard lock(doc_->navLock);
    nav = d.navDisplay;
  }
  std::printf(
      "%s  %s  L frames %u  frame errors %u  total %u  CPS %.0f  depth %.2f m  "
      "temp %.3f C  sal %.3f  pos %s %s %s",
      Elapsed(std::chrono::steady_clock::now() - started_).c_str(), State(d), d.lFrameCount.load(),
      d.frameErrorCount.load(), cumulative, total, PressureToDepth(ctd.pressure, d.surveyLat),
      ctd.temperature, ctd.salinity, ForTerminal(nav.latitude).c_str(),
      ForTerminal(nav.longitude).c_str(), nav.time.c_str());
  // How old the position is, and what the remote control last asked for.
  std::printf("  fix %s  remote %s\n",
              FixAgeAt(nav, std::chrono::steady_clock::now(), d.nav.staleFixSeconds).text.c_str(),
              DescribeReceivedCommand(udp_->LastReceived()).c_str());
  std::fflush(stdout);
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
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGUSR1, OnSignal);
  }
  if (!udp_->Open()) {
    dialogs_.ShowMessage(std::string(kNetworkUnavailable) + " (" + udp_->ErrorText() + ")", "",
                         MessageIcon::Information);
  }
  started_ = std::chrono::steady_clock::now();
  if (!options_.playback.empty()) {
    // Playback needs no counter; a file that cannot be played ends the run.
    if (!StartPlayback()) return 1;
  } else {
    StartCounterScan();
  }
  statusTimer_.start(1000);
  if (options_.duration > 0) {
    QTimer::singleShot(static_cast<int>(options_.duration * 1000), this, [this] { Quit(); });
  }
  const int code = QCoreApplication::exec();
  StopIfScanning();
  return code;
}

void HeadlessRunner::StartCounterScan() {
  doc_->ConnectCounterPort();
  // Give a counter that is just powering up (or the simulator) a moment to say it is there
  // before asking whether to start anyway.
  for (int waited = 0; doc_->connected && waited < 4000 && !doc_->PollCounterStatus().responding;
       waited += 100) {
    QThread::msleep(100);
  }
  if (options_.log) {
    doc_->StartDataLogging();
  } else {
    doc_->StartAcquisition();
  }
  pollTimer_.start(1500);
}

}  // namespace vesk
