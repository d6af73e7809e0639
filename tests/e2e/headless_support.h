#pragma once
// Running `vesk --headless` against the simulated counter: its settings file, the remote
// control, and the recordings it leaves in its data directory.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "test_support/run_process.h"
#include "test_support/temp_dir.h"
#include "test_support/udp.h"

namespace vesk::test {

// The recordings of `dir` with this extension ("VESK_<date>_<time>[_n]"), oldest first.
inline std::vector<std::string> Recordings(const std::string& dir, const std::string& extension) {
  std::vector<std::tuple<std::string, int, std::string>> found;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != extension || name.rfind("VESK_2", 0) != 0) continue;
    const std::string stem = entry.path().stem().string();
    const std::size_t second = stem.find('_', 5);  // VESK_<date>_<time>_<n>
    const std::size_t third = second == std::string::npos ? second : stem.find('_', second + 1);
    const int n = third == std::string::npos ? 1 : std::stoi(stem.substr(third + 1));
    found.emplace_back(stem.substr(0, third), n, entry.path().string());
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> paths;
  for (const auto& f : found) paths.push_back(std::get<2>(f));
  return paths;
}

// How often `what` occurs in `text`.
inline int Occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
    ++n;
  }
  return n;
}

// A settings file for a headless run: data directory, counter device, remote-control port
// (0: none), and further "Key=value\n" lines of the Settings and PortSettings sections.
inline std::string WriteHeadlessSettings(const TempDir& dir, const std::string& dataDir,
                                         const std::string& device, int udpPort,
                                         const std::string& settings = "",
                                         const std::string& portSettings = "") {
  const std::string ini = dir / "vesk.ini";
  WriteFile(ini, "[Settings]\nDataDir=" + dataDir + "\nSurveyLat=44.5\n" + settings +
                     "[Options]\nAddHeaderToDatFile=0\n[PortSettings]\n"
                     "Device_DU=" +
                     device + "\n" + portSettings +
                     "[RemoteControl]\nPort=" + std::to_string(udpPort) + "\n");
  return ini;
}

}  // namespace vesk::test
