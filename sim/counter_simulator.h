#pragma once
// A virtual counter on a pseudo-terminal: the program opens its slave side like the real
// serial line. Idle, it prints its status block every few seconds; "a" starts a cast stream
// paced at the line's bit rate, "q" stops it, "r" takes a snapshot (answered "SNAPSHOT: ..."
// in the stream or between scans), "p" opens the snapshot store and "<n>\r\n" stores the
// snapshot to file n ("Disk Write Complete" a second later, or an error line when no
// snapshot was taken). A second pseudo-terminal serves NMEA sentences for the auxiliary port.

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/cast_generator.h"

namespace vesk {

struct CounterSimulatorOptions {
  CastOptions cast;
  int bitRate = 115200;                // pacing: bitRate / 10 bytes per second at most
  double timeScale = 1.0;              // simulated seconds per real second
  double statusIntervalSeconds = 3.0;  // idle status block period
  std::string version = "2.30";
  std::string serialNumber = "0042";
  bool auxNmea = true;           // serve GGA + RMC once a second on a second pty
  std::string linkPath;          // when set, a symlink to the counter's device
  std::string auxLinkPath;       // when set, a symlink to the auxiliary device
  std::string teePath;           // when set, every byte sent while scanning is appended here
  bool recordScanBytes = false;  // keep the scan bytes in memory (ScanBytes())
  bool scanAtStart = false;      // streams at once, as a counter still scanning when its line
                                 // comes back (a replugged adapter) does
};

class CounterSimulator {
 public:
  static constexpr const char* kDiskWriteComplete = "Disk Write Complete";

  explicit CounterSimulator(CounterSimulatorOptions options);
  ~CounterSimulator();
  CounterSimulator(const CounterSimulator&) = delete;
  CounterSimulator& operator=(const CounterSimulator&) = delete;

  // Opens the pseudo-terminals and starts the counter's thread. Throws std::runtime_error.
  void Start();
  // Stops the thread and closes the devices (also done by the destructor).
  void Stop();
  bool IsRunning() const { return running_.load(); }

  // The device paths the program opens ("/dev/pts/N").
  const std::string& SlavePath() const { return slavePath_; }
  const std::string& AuxSlavePath() const { return auxSlavePath_; }

  bool IsScanning() const { return scanning_.load(); }
  // Bytes sent while scanning, over all scans.
  std::uint64_t ScanBytesSent() const { return scanBytesSent_.load(); }
  // The bytes sent while scanning (only with recordScanBytes): all of them, or one string per
  // scan ("a" to "q") in order.
  std::vector<std::uint8_t> ScanBytes() const;
  std::vector<std::string> ScanSegments() const;
  // Every command byte the counter received.
  std::string ReceivedCommands() const;

 private:
  void Run();
  void HandleInput(const std::uint8_t* data, std::size_t n, double now);
  // Queues text (replies, status) to go out before any further scan data.
  void Say(const std::string& text);
  // Sends what is pending as far as the pacing and the line allow.
  void Pump(double now);
  void BeginScan(double now);

  CounterSimulatorOptions options_;
  int master_ = -1, slave_ = -1, auxMaster_ = -1, auxSlave_ = -1;
  std::string slavePath_, auxSlavePath_;
  std::thread thread_;
  std::atomic<bool> running_{false}, stopRequested_{false}, scanning_{false};
  std::atomic<std::uint64_t> scanBytesSent_{0};

  // Thread state.
  std::vector<std::uint8_t> pending_;
  std::unique_ptr<CastGenerator> generator_;
  CastGenerator navigation_;  // the ship track for the auxiliary port
  double scanStart_ = 0;
  double lastPump_ = 0;  // when Pump last ran during the scan
  double castTime_ = 0;  // the cast's own clock, paced to the line
  std::uint64_t scanSent_ = 0;
  double nextStatus_ = 0, nextNmea_ = 0, diskWriteDue_ = -1;
  std::string digits_;
  bool haveSnapshot_ = false;
  std::FILE* tee_ = nullptr;

  mutable std::mutex recordLock_;
  std::vector<std::string> recorded_;  // one per scan
  std::string received_;
};

}  // namespace vesk
