// The virtual counter on a real pseudo-terminal, driven through the program's serial port.

#include "sim/counter_simulator.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "acquisition/serial_port.h"
#include "processing/deframer.h"

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

TEST(CounterSimulator, IdleCounterPrintsItsStatus) {
  CounterSimulator sim(FastOptions());
  sim.Start();
  ASSERT_FALSE(sim.SlavePath().empty());
  CSerialPort port;
  port.Open(1, 115200, 2, 8, 0, 0, sim.SlavePath());
  const std::string text = ReadUntil(port, "SERIAL NO: 0042\r\n");
  EXPECT_NE(text.find("VESK VERSION: 2.30\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("SERIAL NO: 0042\r\n"), std::string::npos) << text;
  EXPECT_FALSE(sim.IsScanning());
  sim.Stop();
  sim.Stop();
  EXPECT_FALSE(sim.IsRunning());
}

TEST(CounterSimulator, ScanSendsFramesThatMatchWhatItRecorded) {
  const auto tee = std::filesystem::temp_directory_path() / "vesk_sim_tee_test.bin";
  std::filesystem::remove(tee);
  CounterSimulatorOptions options = FastOptions();
  options.teePath = tee.string();
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
  std::ifstream in(tee, std::ios::binary);
  EXPECT_EQ(std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), {}), sent);
  std::filesystem::remove(tee);

  Deframer deframer;
  int lFrames = 0, aborts = 0;
  deframer.Feed(
      sent.data(), sent.size(),
      [&](std::span<const std::uint8_t> f) {
        if (f[0] == 'L') {
          ++lFrames;
          EXPECT_EQ(f.size(), 274u);
        }
      },
      [&](std::uint8_t) { ++aborts; });
  EXPECT_GT(lFrames, 4);
  EXPECT_EQ(aborts, 0);
}

TEST(CounterSimulator, SnapshotCommandsGetTheirReplies) {
  CounterSimulator sim(FastOptions());
  sim.Start();
  CSerialPort port;
  port.Open(1, 115200, 2, 8, 0, 0, sim.SlavePath());
  Send(port, "p");
  EXPECT_NE(ReadUntil(port, "file number").find("SNAPSHOT STORE"), std::string::npos);
  // The store dialog closes and reopens the port between its steps.
  port.Close();
  port.Open(1, 115200, 2, 8, 0, 0, sim.SlavePath());
  Send(port, "12\r\n");
  EXPECT_NE(ReadUntil(port, CounterSimulator::kDiskWriteComplete).find("Disk Write Complete"),
            std::string::npos);
  Send(port, "r");
  EXPECT_NE(ReadUntil(port, "SNAPSHOT:").find("SNAPSHOT:"), std::string::npos);
  EXPECT_EQ(sim.ReceivedCommands(), "p12\r\nr");
}

TEST(CounterSimulator, LinksAndTheNmeaPort) {
  const auto dir = std::filesystem::temp_directory_path() / "vesk_sim_link_test";
  std::filesystem::create_directories(dir);
  CounterSimulatorOptions options = FastOptions();
  options.linkPath = (dir / "counter").string();
  options.auxLinkPath = (dir / "gps").string();
  {
    CounterSimulator sim(options);
    sim.Start();
    EXPECT_EQ(std::filesystem::read_symlink(options.linkPath).string(), sim.SlavePath());
    EXPECT_EQ(std::filesystem::read_symlink(options.auxLinkPath).string(), sim.AuxSlavePath());
    CSerialPort gps;
    gps.Open(2, 4800, 2, 8, 0, 0, options.auxLinkPath);
    std::string text = ReadUntil(gps, "\r\n$GPRMC");
    text += ReadUntil(gps, "\r\n");
    const auto start = text.find("$GPRMC");
    ASSERT_NE(start, std::string::npos) << text;
    const std::string rmc = text.substr(start, text.find("\r\n", start) - start);
    EXPECT_EQ(WithNmeaChecksum(rmc.substr(0, rmc.size() - 3)), rmc);
  }
  EXPECT_FALSE(std::filesystem::is_symlink(options.linkPath));
  EXPECT_FALSE(std::filesystem::is_symlink(options.auxLinkPath));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace vesk
