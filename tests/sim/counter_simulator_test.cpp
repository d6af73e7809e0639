// The virtual counter on a real pseudo-terminal, driven through the program's serial port: what
// it says it sent in a scan (what the whole-program tests compare recordings with) is what
// came over the line.

#include "sim/counter_simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "acquisition/serial_port.h"
#include "test_support/frame_builder.h"
#include "test_support/temp_dir.h"

namespace vesk {
namespace {

CounterSimulatorOptions FastOptions() {
  CounterSimulatorOptions o;
  o.statusIntervalSeconds = 0.2;
  o.timeScale = 4.0;
  o.recordScanBytes = true;
  return o;
}

// Reads until `text` has arrived (a generous bound keeps a broken simulator from hanging
// the test); everything read is returned.
std::string ReadUntil(CSerialPort& port, const std::string& text, int maxMs = 10000) {
  std::string got;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
  char buf[1024];
  while (got.find(text) == std::string::npos && std::chrono::steady_clock::now() < end) {
    const std::size_t n = port.Read(buf, sizeof buf, 100);
    got.append(buf, n);
  }
  return got;
}

void Send(CSerialPort& port, const std::string& s) {
  ASSERT_EQ(port.Write(s.data(), s.size()), s.size());
}

TEST(CounterSimulator, ScanSendsFramesThatMatchWhatItRecorded) {
  test::TempDir dir;
  const std::string tee = dir / "tee.bin";
  CounterSimulatorOptions options = FastOptions();
  options.teePath = tee;
  CounterSimulator sim(options);
  sim.Start();
  CSerialPort port;
  port.Open(1, 115200, 2, 8, 0, 0, sim.SlavePath());
  Send(port, "q");
  ReadUntil(port, "SERIAL NO");
  // As the program starts a scan: purge, then "a".
  port.Purge(kPurgeRxClear | kPurgeTxClear);
  Send(port, "a");
  std::string received = ReadUntil(port, "~L", 5000);
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
  char buf[1024];
  while (std::chrono::steady_clock::now() < until) {
    received.append(buf, port.Read(buf, sizeof buf, 100));
  }
  EXPECT_TRUE(sim.IsScanning());
  Send(port, "q");
  // The idle status comes back once the counter has stopped; what came before it is scan.
  received += ReadUntil(port, "VESK VERSION");
  received.erase(std::min(received.size(), received.find("\r\nVESK VERSION")));
  EXPECT_FALSE(sim.IsScanning());
  sim.Stop();

  // The line carries exactly what the counter says it sent while scanning (after any status
  // text it printed between the purge and the "a"), and the tee file holds the same bytes.
  const std::vector<std::uint8_t> sent = sim.ScanBytes();
  ASSERT_GT(sent.size(), 1000u);
  EXPECT_EQ(sim.ScanBytesSent(), sent.size());
  ASSERT_GE(received.size(), sent.size());
  const std::size_t before = received.size() - sent.size();
  EXPECT_EQ(std::vector<std::uint8_t>(received.begin() + before, received.end()), sent);
  EXPECT_EQ(received.substr(0, before).find('~'), std::string::npos)
      << "only idle text may come before the scan";
  EXPECT_EQ(test::ReadFile(tee), std::string(sent.begin(), sent.end()));

  const test::DeframeResult frames = test::Deframe(sent);
  EXPECT_TRUE(frames.aborted.empty());
  int lFrames = 0;
  for (const Frame& f : frames.frames) {
    if (f[0] != 'L') continue;
    ++lFrames;
    EXPECT_EQ(f.size(), 274u);
  }
  EXPECT_GT(lFrames, 4);
}

}  // namespace
}  // namespace vesk
