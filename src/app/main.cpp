// vesk: the acquisition program. Until the main window is built, every run is headless.

#include <CLI/CLI.hpp>
#include <QCoreApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/headless_runner.h"
#include "app/overlay_settings_store.h"
#include "app/qsettings_store.h"
#include "app/simulated_counter.h"

int main(int argc, char** argv) {
  CLI::App cli{"VESK: acquisition, processing, display and logging for the laser particle counter."};
  bool headless = false;
  bool simulate = false;
  bool log = false;
  bool acquire = false;
  double duration = 0;
  std::string settingsFile;
  unsigned seed = 1;
  cli.add_flag("--headless", headless, "run without windows");
  cli.add_flag("--simulate", simulate, "connect the counter port to the built-in simulator");
  cli.add_flag("--log", log, "start a logging scan at once");
  cli.add_flag("--acquire", acquire, "start a scan without logging at once");
  cli.add_option("--duration", duration, "stop and end after this many seconds")
      ->check(CLI::NonNegativeNumber);
  cli.add_option("--settings", settingsFile, "use this INI file as the settings store");
  cli.add_option("--seed", seed, "seed of the simulated counter");
  try {
    cli.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = cli.exit(e);
    return code == 0 ? 0 : 2;
  }

  if (!headless) {
    std::fprintf(stderr, "vesk: the main window is not available in this build; running headless\n");
  }

  QCoreApplication app(argc, argv);
  // Qt follows the user's locale; the program's numbers and dates are always C-formatted.
  std::setlocale(LC_NUMERIC, "C");
  std::setlocale(LC_TIME, "C");

  std::unique_ptr<vesk::SettingsStore> userStore;
  if (!settingsFile.empty()) {
    userStore = std::make_unique<vesk::QSettingsStore>(settingsFile);
  } else {
    userStore = std::make_unique<vesk::QSettingsStore>();
  }
  vesk::OverlaySettingsStore store(*userStore);

  std::unique_ptr<vesk::SimulatedCounter> simulator;
  if (simulate) {
    simulator = std::make_unique<vesk::SimulatedCounter>(store, seed);
    if (!simulator->Start()) {
      std::fprintf(stderr, "vesk: the simulated counter could not be started: %s\n",
                   simulator->Error().c_str());
      return 1;
    }
    std::fprintf(stderr, "vesk: simulated counter on %s\n", simulator->CounterDevice().c_str());
  }

  vesk::HeadlessOptions options;
  options.log = log;
  options.duration = duration;
  vesk::HeadlessRunner runner(store, options);
  const int code = runner.Run();
  if (simulator) simulator->Stop();
  return code;
}
