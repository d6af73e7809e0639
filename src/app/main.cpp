// vesk: the acquisition program. The main window, or without one (--headless, or no display)
// the document and its threads with a status line on the terminal.

#include <CLI/CLI.hpp>
#include <QApplication>
#include <QCoreApplication>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/command_line.h"
#include "app/gui/vesk_app.h"
#include "app/headless_runner.h"
#include "app/qsettings_store.h"
#include "app/simulated_counter.h"
#include "files/message_log.h"
#include "seams/overlay_settings_store.h"

namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// A platform named by QT_QPA_PLATFORM (offscreen, vnc, ...) counts as a display.
bool HaveDisplay() {
  return Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM");
}

// Qt follows the user's locale; the program's numbers and dates are always C-formatted.
void CLocale() {
  std::setlocale(LC_NUMERIC, "C");
  std::setlocale(LC_TIME, "C");
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App cli{
      "VESK: acquisition, processing, display and logging for the laser particle counter."};
  bool headless = false;
  bool simulate = false;
  bool log = false;
  bool acquire = false;
  bool popup = false;
  double duration = 0;
  std::string settingsFile;
  std::string screenshot;
  double after = 5;
  unsigned seed = 1;
  std::string playback;
  int speed = 8;
  cli.add_flag("--headless", headless, "run without windows");
  cli.add_flag("--simulate", simulate, "connect the counter port to the built-in simulator");
  cli.add_flag("--log", log, "start a logging scan at once");
  cli.add_flag("--acquire", acquire, "start a scan without logging at once");
  cli.add_flag("--popup", popup, "open the histogram popup at once (window only)");
  cli.add_option("--duration", duration, "stop and end after this many seconds")
      ->check(vesk::NumberFrom(0, true));
  bool ignoreSettingsError = false;
  cli.add_option("--settings", settingsFile, "use this INI file as the settings store");
  cli.add_flag("--ignore-settings-error", ignoreSettingsError,
               "without windows, run on the default settings when the settings file cannot be "
               "read (it is never written)");
  cli.add_option("--playback", playback,
                 "play this recording (.bin) without windows, write its .dat and end; SIGUSR1 "
                 "pauses and resumes")
      ->check(CLI::ExistingFile);
  cli.add_option("--speed", speed,
                 "playback speed: 1, 2 or 4 times the recording's own pace (its L frames, two a "
                 "second, or its GPS time), or 8 for as fast as it is processed (the window's Max)")
      ->check(CLI::IsMember({1, 2, 4, 8}));
  cli.add_option("--seed", seed, "seed of the simulated counter");
  cli.add_option("--screenshot", screenshot,
                 "save a picture of the main window to this PNG file and end (window only)");
  cli.add_option("--after", after, "seconds before the --screenshot picture")
      ->check(vesk::NumberFrom(0, true));
  vesk::NameProgram(cli, "vesk");
  if (const auto status = vesk::ParseCommandLine(cli, argc, argv)) return *status;

  // A file-size limit reached while logging must fail the write (the user is told and the
  // scan goes on), not kill the program with what is queued.
  std::signal(SIGXFSZ, SIG_IGN);
  // A status line written to a pipe whose reader has gone (`vesk --headless | head`) fails
  // quietly; the scan and its files go on.
  std::signal(SIGPIPE, SIG_IGN);
  if (!playback.empty()) headless = true;

  if (!headless && !HaveDisplay()) {
    if (!screenshot.empty()) {
      std::fprintf(stderr,
                   "vesk: --screenshot needs a display (run it under xvfb-run, or set "
                   "QT_QPA_PLATFORM=offscreen)\n");
      return 2;
    }
    std::fprintf(stderr,
                 "vesk: no display (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM are unset); "
                 "running headless\n");
    headless = true;
  }

  // The application object decides between windows and none, so it is built only now.
  std::unique_ptr<QCoreApplication> app;
  if (headless) {
    app = std::make_unique<QCoreApplication>(argc, argv);
  } else {
    app = std::make_unique<QApplication>(argc, argv);
  }
  CLocale();
  QCoreApplication::setApplicationName(QStringLiteral("VESK"));
  QCoreApplication::setOrganizationName(QStringLiteral("Corvane"));

  std::unique_ptr<vesk::QSettingsStore> userStore;
  if (!settingsFile.empty()) {
    userStore = std::make_unique<vesk::QSettingsStore>(settingsFile);
  } else {
    userStore = std::make_unique<vesk::QSettingsStore>();
  }
  vesk::OverlaySettingsStore store(*userStore);
  // The messages also go to the log file, or to the journal when systemd runs the program.
  vesk::MessageLog messageLog(vesk::LogDestinationFromEnvironment());
  // A store that cannot be read is never written. Without windows nobody would read a note
  // about it, and a run on the defaults (another data folder, no calibration) looks normal:
  // it is refused unless asked for.
  if (!userStore->ReadError().empty() && headless && !ignoreSettingsError) {
    messageLog.Write(vesk::LogSeverity::Error,
                     "the settings file " + userStore->FileName() +
                         " cannot be read: " + userStore->ReadError() +
                         ". It was not changed. Repair it or name another with --settings, or "
                         "run on the default settings without writing it with "
                         "--ignore-settings-error.");
    return vesk::kExitUsage;
  }
  const std::string settingsProblem = userStore->Problem();
  if (headless && !settingsProblem.empty()) {
    messageLog.Write(vesk::LogSeverity::Warning, settingsProblem);
  }

  std::unique_ptr<vesk::SimulatedCounter> simulator;
  if (simulate) {
    simulator = std::make_unique<vesk::SimulatedCounter>(store, seed);
    if (simulator->Start()) {
      std::fprintf(stderr, "vesk: simulated counter on %s\n", simulator->CounterDevice().c_str());
    } else {
      std::fprintf(stderr, "vesk: the simulated counter could not be started: %s\n",
                   simulator->Error().c_str());
      // Without windows there is nothing left to do; the window still opens without it.
      if (headless) return 1;
      simulator.reset();
    }
  }

  int code = 0;
  if (headless) {
    vesk::HeadlessOptions options;
    options.messageLog = &messageLog;
    // Under systemd the status line goes to the journal: once a minute is enough there.
    options.statusSeconds = vesk::RunBySystemd() ? 60 : 1;
    options.log = log;
    options.duration = duration;
    options.playback = playback;
    options.playbackSpeed = speed == 8 ? 0 : 4 / speed;  // the speed value of each button
    vesk::HeadlessRunner runner(store, options);
    code = runner.Run();
  } else {
    vesk::AppOptions options;
    options.acquire = acquire;
    options.log = log;
    options.popup = popup;
    options.duration = duration;
    options.screenshot = screenshot;
    options.screenshotAfter = after;
    options.messageLog = &messageLog;
    options.settingsProblem = settingsProblem;
    vesk::CVESKApp vesk(store, options);
    code = vesk.Run();
  }
  if (simulator) simulator->Stop();
  return code;
}
