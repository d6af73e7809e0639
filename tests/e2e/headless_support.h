#pragma once
// Running `vesk --headless` against the simulated counter: its settings file, the remote
// control, and the recordings it leaves in its data directory.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim/counter_simulator.h"
#include "test_support/run_process.h"
#include "test_support/temp_dir.h"
#include "test_support/udp.h"

namespace vesk::test {

// The recordings of `dir` with this extension ("VESK_<date>_<time>[_n]"), oldest first.
inline std::vector<std::string> Recordings(const std::string& dir, const std::string& extension) {
  std::vector<std::pair<std::string, std::string>> found;  // (stem with n padded, path)
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string stem = entry.path().stem().string();
    if (entry.path().extension() != extension || stem.rfind("VESK_2", 0) != 0) continue;
    const std::string n = stem.size() > 23 ? stem.substr(23) : "1";
    found.emplace_back(stem.substr(0, 22) + std::string(8 - n.size(), '0') + n, entry.path());
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> paths;
  for (const auto& f : found) paths.push_back(f.second);
  return paths;
}

// How often `what` occurs in `text`.
inline int Occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// A settings file for a headless run: data directory, counter device, remote-control port
// (0: none), and further "Key=value\n" lines of the Settings, PortSettings and Options
// sections (the Settings lines may go on with sections of their own).
inline std::string WriteHeadlessSettings(const TempDir& dir, const std::string& dataDir,
                                         const std::string& device, int udpPort,
                                         const std::string& settings = "",
                                         const std::string& portSettings = "",
                                         const std::string& options = "") {
  const std::string ini = dir / "vesk.ini";
  WriteFile(ini, "[Settings]\nDataDir=" + dataDir + "\nSurveyLat=44.5\n" + settings +
                     "[Options]\nAddHeaderToDatFile=0\n" + options +
                     "[PortSettings]\n"
                     "Device_DU=" +
                     device + "\n" + portSettings +
                     "[RemoteControl]\nPort=" + std::to_string(udpPort) + "\n");
  return ini;
}

}  // namespace vesk::test

namespace vesk {

// The simulated counter and `vesk --headless` logging from it, with the remote control on.
class HeadlessRun : public ::testing::Test {
 protected:
  // A counter (its device at `link`) that keeps what it sends in each scan.
  CounterSimulator& StartCounter(std::uint64_t seed, const std::string& link = "") {
    CounterSimulatorOptions options;
    options.cast.seed = seed;
    options.auxNmea = false;
    options.linkPath = link.empty() ? link_ : link;
    options.recordScanBytes = true;
    options.timeScale = timeScale_;
    counters_.push_back(std::make_unique<CounterSimulator>(options));
    counters_.back()->Start();
    return *counters_.back();
  }
  CounterSimulator& Counter() { return *counters_.back(); }
  // Waits until the last counter has sent more than `bytes` in its scan number `scan`.
  bool SentInScan(std::size_t scan, std::size_t bytes, double seconds = 15) {
    return test::WaitUntil(
        [&] {
          const auto segments = Counter().ScanSegments();
          return segments.size() > scan && segments[scan].size() > bytes;
        },
        seconds);
  }
  // Waits until the last counter has sent more than `bytes` in its scans.
  bool Sent(std::uint64_t bytes, double seconds = 15) {
    return test::WaitUntil([&] { return Counter().ScanBytesSent() > bytes; }, seconds);
  }

  // `launcher`: a program (and its arguments) that runs vesk, such as prlimit.
  void StartVesk(const std::vector<std::string>& args, const std::string& settings = "",
                 std::vector<std::string> launcher = {}) {
    std::filesystem::create_directories(dataDir_);
    const std::string ini = test::WriteHeadlessSettings(dir_, dataDir_, link_, port_, settings,
                                                        portSettings_, optionSettings_);
    std::vector<std::string> all = {VESK_PATH, "--headless", "--settings", ini};
    all.insert(all.end(), args.begin(), args.end());
    all.insert(all.begin(), launcher.begin(), launcher.end());
    const std::string program = all.front();
    all.erase(all.begin());
    vesk_ = std::make_unique<test::ChildProcess>(program, all, env_);
  }

  // Waits for `text` on the program's stderr (messages) or stdout (status lines).
  bool Says(const std::string& text, double seconds = 10) {
    return test::WaitUntil([&] { return Err().find(text) != std::string::npos; }, seconds);
  }
  bool Status(const std::string& text, double seconds = 10) {
    return test::WaitUntil([&] { return LastStatus().find(text) != std::string::npos; }, seconds);
  }
  std::string Err() const { return vesk_->Err(); }
  void Remote(int command, const std::string& text = "") {
    test::SendRemoteCommand(port_, command, text);
  }

  // Sends a remote command and waits for the status it leads to.
  bool RemoteUntil(int command, const std::string& status, double seconds = 10) {
    Remote(command);
    return Status(status, seconds);
  }

  // Stops the scan and ends the program through the remote control; its exit code.
  int StopAndQuit() {
    EXPECT_TRUE(RemoteUntil(2, "idle")) << vesk_->Out();
    Remote(3);
    return vesk_->Wait(20);
  }

  // The last status line (stdout).
  std::string LastStatus() const {
    const std::string out = vesk_->Out();
    const std::size_t end = out.find_last_not_of('\n');
    if (end == std::string::npos) return "";
    const std::size_t start = out.rfind('\n', end);
    return out.substr(start == std::string::npos ? 0 : start + 1, end + 1 - (start + 1));
  }

  // What the batch player writes for `recording` with the run's settings.
  std::string BatchReplay(const std::string& recording) {
    const auto replay = test::RunProcess(
        VESK_PROCESS_PATH,
        {"--settings", dir_ / "vesk.ini", "--output", dir_ / "replay.dat", recording});
    EXPECT_EQ(replay.exitCode, 0) << replay.err;
    return test::ReadFile(dir_ / "replay.dat");
  }

  test::TempDir dir_;
  std::string portSettings_;    // further [PortSettings] lines
  std::string optionSettings_;  // further [Options] lines
  double timeScale_ = 1.0;      // of the simulated cast
  std::string dataDir_ = dir_ / "data";
  std::map<std::string, std::string> env_;  // added to the program's environment
  const std::string link_ = dir_ / "counter";
  const int port_ = test::FreeUdpPort();
  std::vector<std::unique_ptr<CounterSimulator>> counters_;
  std::unique_ptr<test::ChildProcess> vesk_;
};

}  // namespace vesk
