// vesk-sim: a virtual counter on a pseudo-terminal (prints the device to open), or a
// synthetic recording written straight to a .bin file.

#include <signal.h>

#include <CLI/CLI.hpp>
#include <clocale>
#include <cstdio>
#include <exception>
#include <string>

#include "app/command_line.h"
#include "seams/settings_store.h"
#include "sim/counter_simulator.h"

namespace {

// Prints the keys written to it as an INI section, for the program's settings file.
class IniPrinter final : public vesk::SettingsStore {
 public:
  bool Contains(std::string_view, std::string_view) const override { return false; }
  int ReadInt(std::string_view, std::string_view, int def) const override { return def; }
  std::string ReadString(std::string_view, std::string_view, std::string_view def) const override {
    return std::string(def);
  }
  void WriteInt(std::string_view section, std::string_view key, int value) override {
    WriteString(section, key, std::to_string(value));
  }
  void WriteString(std::string_view section, std::string_view key,
                   std::string_view value) override {
    if (section != section_) {
      section_ = section;
      std::printf("[%.*s]\n", static_cast<int>(section.size()), section.data());
    }
    std::printf("%.*s=%.*s\n", static_cast<int>(key.size()), key.data(),
                static_cast<int>(value.size()), value.data());
  }

 private:
  std::string section_;
};

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "C");
  CLI::App app{
      "VESK counter simulator: a virtual counter on a pseudo-terminal, or a synthetic "
      "recording"};
  vesk::CounterSimulatorOptions sim;
  std::string writePath;
  double duration = 60.0;
  bool printCoefficients = false;
  app.add_option("--write", writePath, "Write a synthetic recording (.bin) and exit");
  app.add_option("--duration", duration, "Simulated seconds of the recording")
      ->check(vesk::NumberFrom(0, false));
  app.add_option("--seed", sim.cast.seed, "Random seed (the same seed gives the same stream)");
  app.add_option("--model", sim.cast.ctdModel, "CTD model of the C frames: 0 Micro CTD, 4 SBE 19")
      ->check(CLI::IsMember({0, 4}));
  app.add_option("--sbe-analog", sim.cast.sbeAnalogChannels,
                 "Analog channels in the SBE 19 word (0, 2 or 4)")
      ->check(CLI::IsMember({0, 2, 4}));
  app.add_option("--depth", sim.cast.maxDepth, "Deepest point of the cast (m)")
      ->check(CLI::Range(3.0, 2000.0));
  app.add_option("--link", sim.linkPath, "Make a symlink to the counter's device");
  app.add_option("--aux-link", sim.auxLinkPath, "Make a symlink to the NMEA device");
  app.add_flag(
      "--no-aux", [&](std::int64_t) { sim.auxNmea = false; },
      "Do not serve NMEA on a second device");
  app.add_option("--bitrate", sim.bitRate, "Line speed the stream is paced at (bit/s)")
      ->check(CLI::Range(1200, 4000000));
  app.add_option("--time-scale", sim.timeScale, "Simulated seconds per real second")
      ->check(CLI::Range(0.01, 100.0));
  app.add_option("--tee", sim.teePath, "Append every byte sent while scanning to this file");
  app.add_flag("--print-coefficients", printCoefficients,
               "Print the SBE 19 calibration of the simulated CTD as settings (TC_Coeff) and "
               "exit");
  vesk::NameProgram(app, "vesk-sim");
  if (const auto status = vesk::ParseCommandLine(app, argc, argv)) return *status;

  if (printCoefficients) {
    IniPrinter printer;
    vesk::StoreSimSbe19Calibration(sim.cast.sbe19, sim.cast.sbeAnalogChannels, printer);
    return 0;
  }

  if (!writePath.empty()) {
    try {
      const std::size_t bytes = vesk::WriteSyntheticRecording(writePath, sim.cast, duration);
      std::printf("%s: %.1f s of counter stream, %zu bytes after the header\n", writePath.c_str(),
                  duration, bytes);
      return 0;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "vesk-sim: %s\n", e.what());
      return vesk::kExitFailure;
    }
  }

  // SIGINT/SIGTERM are taken by sigwait below, in this thread only.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  vesk::CounterSimulator counter(sim);
  try {
    counter.Start();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vesk-sim: %s\n", e.what());
    return vesk::kExitFailure;
  }
  std::printf("Counter device: %s\n", counter.SlavePath().c_str());
  if (!sim.linkPath.empty()) std::printf("Counter link: %s\n", sim.linkPath.c_str());
  if (sim.auxNmea) std::printf("NMEA device: %s\n", counter.AuxSlavePath().c_str());
  if (!sim.auxLinkPath.empty() && sim.auxNmea) {
    std::printf("NMEA link: %s\n", sim.auxLinkPath.c_str());
  }
  std::printf("Set PortSettings/Device_DU to the counter device. Ctrl+C stops.\n");
  if (sim.cast.ctdModel == vesk::CtdCode::kSbe19) {
    std::printf("SBE 19 lines: Model_CTD=4 and the TC_Coeff keys of --print-coefficients.\n");
  }
  std::fflush(stdout);

  int signal = 0;
  sigwait(&stopSignals, &signal);
  counter.Stop();
  std::printf("Stopped: %llu bytes sent while scanning\n",
              static_cast<unsigned long long>(counter.ScanBytesSent()));
  return 0;
}
