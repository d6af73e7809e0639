// Faults a ship's acquisition meets, injected into the whole program (`vesk --headless` with
// the simulated counter on a pseudo-terminal). For each: the program lives on (or ends as it
// should), says so once, and every byte it wrote before the fault is still there and right.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "e2e/headless_support.h"
#include "sim/cast_generator.h"
#include "sim/counter_simulator.h"
#include "test_support/run_process.h"
#include "test_support/temp_dir.h"

namespace vesk {
namespace {

namespace fs = std::filesystem;
using test::ChildProcess;
using test::Occurrences;
using test::ReadFile;
using test::Recordings;
using test::SendRemoteCommand;
using test::TempDir;
using test::WaitUntil;

constexpr const char* kDeviceGone = "serial device has gone away";
constexpr const char* kRawUnwritable = "The raw data file";
constexpr const char* kDatUnwritable = "The processed data file";
constexpr const char* kDirUnwritable = "The data directory cannot be written";

std::uintmax_t SizeOf(const std::string& path) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  return ec ? 0 : size;
}

// Every byte the counter sent during one scan is in the recording, in one piece; around it
// there is only the file's text header and the counter's idle text (no frame).
void ExpectRecordingHolds(const std::string& binPath, const std::string& scan) {
  const std::string raw = ReadFile(binPath);
  ASSERT_FALSE(scan.empty()) << binPath;
  const std::size_t at = raw.find(scan);
  ASSERT_NE(at, std::string::npos) << binPath << " misses bytes of its scan";
  EXPECT_EQ(raw.substr(0, at).find('~'), std::string::npos) << binPath;
  EXPECT_EQ(raw.substr(at + scan.size()).find('~'), std::string::npos) << binPath;
}

// The simulated counter and `vesk --headless` logging from it, with the remote control on.
class HeadlessRun : public ::testing::Test {
 protected:
  void StartCounter(std::uint64_t seed, bool scanAtStart = false) {
    CounterSimulatorOptions options;
    options.cast.seed = seed;
    options.auxNmea = false;
    options.linkPath = link_;
    options.recordScanBytes = true;
    options.scanAtStart = scanAtStart;
    counters_.push_back(std::make_unique<CounterSimulator>(options));
    counters_.back()->Start();
  }
  CounterSimulator& Counter() { return *counters_.back(); }

  // `launcher`: a program (and its arguments) that runs vesk, such as prlimit.
  void StartVesk(const std::vector<std::string>& args, const std::string& settings = "",
                 std::vector<std::string> launcher = {}) {
    fs::create_directories(dataDir_);
    const std::string ini = test::WriteHeadlessSettings(dir_, dataDir_, link_, port_, settings);
    std::vector<std::string> all = {VESK_PATH, "--headless", "--settings", ini};
    all.insert(all.end(), args.begin(), args.end());
    all.insert(all.begin(), launcher.begin(), launcher.end());
    const std::string program = all.front();
    all.erase(all.begin());
    vesk_ = std::make_unique<ChildProcess>(program, all);
  }

  // Waits for `text` on the program's stderr (messages) or stdout (status lines).
  bool Says(const std::string& text, double seconds = 10) {
    return WaitUntil([&] { return Err().find(text) != std::string::npos; }, seconds);
  }
  bool Status(const std::string& text, double seconds = 10) {
    return WaitUntil(
        [&] {
          const std::string out = vesk_->Out();
          const std::size_t line = out.rfind('\n', out.empty() ? 0 : out.size() - 2);
          return out.find(text, line == std::string::npos ? 0 : line) != std::string::npos;
        },
        seconds);
  }
  std::string Err() const { return vesk_->Err(); }
  void Remote(int command) { SendRemoteCommand(port_, command); }

  // Stops the scan and ends the program through the remote control; its exit code.
  int StopAndQuit() {
    Remote(2);
    EXPECT_TRUE(Status("idle")) << vesk_->Out();
    Remote(3);
    return vesk_->Wait(20);
  }

  TempDir dir_;
  const std::string dataDir_ = dir_ / "data";
  const std::string link_ = dir_ / "counter";
  const int port_ = test::FreeUdpPort();
  std::vector<std::unique_ptr<CounterSimulator>> counters_;
  std::unique_ptr<ChildProcess> vesk_;
};

TEST_F(HeadlessRun, CounterDeviceVanishesAndReturns) {
  StartCounter(11);
  StartVesk({"--log"});
  ASSERT_TRUE(WaitUntil([&] { return Counter().ScanBytesSent() > 6000; }, 15)) << Err();
  const std::vector<std::string> bins = Recordings(dataDir_, ".bin");
  ASSERT_EQ(bins.size(), 1u);
  const std::uintmax_t writtenBeforeFault = SizeOf(bins[0]);

  Counter().Stop();  // the adapter is pulled: the device node goes away
  ASSERT_TRUE(Says(kDeviceGone)) << Err();
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // retried, not told again
  EXPECT_TRUE(vesk_->Running());

  StartCounter(12, /*scanAtStart=*/true);  // plugged back in, the counter still streaming
  ASSERT_TRUE(Says("device reconnected")) << Err();
  ASSERT_TRUE(WaitUntil([&] { return Counter().ScanBytesSent() > 8000; }, 15));
  EXPECT_EQ(StopAndQuit(), 0) << Err();

  EXPECT_EQ(Occurrences(Err(), kDeviceGone), 1) << Err();
  const std::string raw = ReadFile(bins[0]);
  const std::string before = counters_[0]->ScanSegments().at(0);
  const std::string after = counters_[1]->ScanSegments().at(0);
  // What the first counter sent is there from its first byte up to (at least) all that had
  // been written when the device went.
  const std::size_t at = raw.find(before.substr(0, 512));
  ASSERT_NE(at, std::string::npos);
  std::size_t same = 0;
  while (at + same < raw.size() && same < before.size() && raw[at + same] == before[same]) ++same;
  EXPECT_GE(at + same, writtenBeforeFault);
  // And what the returned counter sent once the line was back follows it.
  EXPECT_NE(raw.find(after.substr(after.size() / 2, 2048), at + same), std::string::npos);

  // The processed file is what the batch player makes of the raw file, fault and all.
  const std::string dat = Recordings(dataDir_, ".dat").at(0);
  const auto replay =
      test::RunProcess(VESK_PROCESS_PATH,
                       {"--settings", dir_ / "vesk.ini", "--output", dir_ / "replay.dat", bins[0]});
  ASSERT_EQ(replay.exitCode, 0) << replay.err;
  EXPECT_EQ(ReadFile(dat), ReadFile(dir_ / "replay.dat"));
}

TEST_F(HeadlessRun, DataDirectoryBecomesUnwritable) {
  StartCounter(21);
  StartVesk({"--log"});
  ASSERT_TRUE(WaitUntil([&] { return Counter().ScanBytesSent() > 4000; }, 15)) << Err();

  // The folder goes away under the running scan and a file takes its name: nothing can be
  // created there (whoever runs the test, root included).
  const std::string kept = dir_ / "data-kept";
  fs::rename(dataDir_, kept);
  test::WriteFile(dataDir_, "not a folder");
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  Remote(2);
  ASSERT_TRUE(Status("idle")) << vesk_->Out();

  Remote(1);  // a new recording cannot start
  ASSERT_TRUE(Says(kDirUnwritable)) << Err();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_TRUE(vesk_->Running());
  EXPECT_TRUE(Status("idle"));

  fs::remove(dataDir_);  // the folder is back: logging starts again
  fs::rename(kept, dataDir_);
  Remote(1);
  ASSERT_TRUE(Status("logging")) << Err();
  ASSERT_TRUE(WaitUntil([&] { return Counter().ScanBytesSent() > 8000; }, 15));
  EXPECT_EQ(StopAndQuit(), 0) << Err();

  EXPECT_EQ(Occurrences(Err(), kDirUnwritable), 1) << Err();
  EXPECT_EQ(Occurrences(Err(), "Error opening"), 0) << Err();
  const std::vector<std::string> bins = Recordings(dataDir_, ".bin");
  const std::vector<std::string> scans = Counter().ScanSegments();
  ASSERT_EQ(bins.size(), 2u);
  ASSERT_EQ(scans.size(), 2u);  // the refused start never told the counter to scan
  for (std::size_t i = 0; i < bins.size(); ++i) ExpectRecordingHolds(bins[i], scans[i]);
}

TEST_F(HeadlessRun, DiskFillsWhileLogging) {
  // The file-size limit makes every write past 12000 bytes fail as on a full disk.
  constexpr std::uintmax_t kLimit = 12000;
  StartCounter(31);
  StartVesk({"--log"}, "", {"/usr/bin/prlimit", "--fsize=" + std::to_string(kLimit), "--"});
  ASSERT_TRUE(Says(kRawUnwritable, 30)) << Err();
  ASSERT_TRUE(Says(kDatUnwritable, 30)) << Err();
  const std::uint64_t sentAtFault = Counter().ScanBytesSent();
  ASSERT_TRUE(WaitUntil([&] { return Counter().ScanBytesSent() > sentAtFault + 4000; }, 15));
  EXPECT_TRUE(Status("logging"));  // acquisition goes on
  EXPECT_EQ(StopAndQuit(), 0) << Err();

  EXPECT_EQ(Occurrences(Err(), kRawUnwritable), 1) << Err();
  EXPECT_EQ(Occurrences(Err(), kDatUnwritable), 1) << Err();
  EXPECT_NE(Err().find("bytes not written"), std::string::npos) << Err();
  // The raw file is full to the limit with the header and the counter's first bytes.
  const std::string raw = ReadFile(Recordings(dataDir_, ".bin").at(0));
  EXPECT_EQ(raw.size(), kLimit);
  const std::string scan = Counter().ScanSegments().at(0);
  const std::size_t at = raw.find(scan.substr(0, 256));
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(raw.substr(at), scan.substr(0, raw.size() - at));
  EXPECT_EQ(SizeOf(Recordings(dataDir_, ".dat").at(0)), kLimit);
}

TEST_F(HeadlessRun, LinksToAFullDeviceAreNeverWrittenThrough) {
  // Custom names that already exist as links to /dev/full: such a name is refused (it is not
  // a file that may be replaced) and, with no window to ask for another, logging is not
  // started; the links are left as they are.
  fs::create_directories(dataDir_);
  fs::create_symlink("/dev/full", dataDir_ + "/full.bin");
  fs::create_symlink("/dev/full", dataDir_ + "/full.dat");
  StartCounter(41);
  StartVesk({"--log"}, "UseDefaultFileNaming=0\nLastDataFileName=full\n");
  ASSERT_TRUE(Says("cannot be used; not logging")) << Err();
  EXPECT_TRUE(Status("idle"));
  Remote(3);
  EXPECT_EQ(vesk_->Wait(20), 0) << Err();
  EXPECT_EQ(Occurrences(Err(), "cannot be overwritten"), 1) << Err();
  EXPECT_TRUE(fs::is_symlink(dataDir_ + "/full.bin"));
  EXPECT_TRUE(fs::is_symlink(dataDir_ + "/full.dat"));
  EXPECT_TRUE(Counter().ScanSegments().empty());
}

TEST_F(HeadlessRun, TwoHundredRemoteStartStopCyclesInAMinute) {
  StartCounter(51);
  StartVesk({"--log"});
  ASSERT_TRUE(Status("logging")) << Err();
  Remote(2);
  ASSERT_TRUE(Status("idle")) << Err();
  const int idleThreads = vesk_->Threads();

  constexpr int kCycles = 200;
  for (int i = 0; i < kCycles; ++i) {  // 400 commands in 56 s
    Remote(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(140));
    Remote(2);
    std::this_thread::sleep_for(std::chrono::milliseconds(140));
    ASSERT_TRUE(vesk_->Running()) << Err();
  }
  // The program may still be working through the queued commands.
  ASSERT_TRUE(WaitUntil([&] { return Recordings(dataDir_, ".dat").size() == kCycles + 1u; }, 120));
  ASSERT_TRUE(WaitUntil([&] { return Counter().ScanSegments().size() == kCycles + 1u; }, 30));
  ASSERT_TRUE(Status("idle", 30));
  EXPECT_EQ(vesk_->Threads(), idleThreads);  // no thread outlives its scan
  Remote(3);
  EXPECT_EQ(vesk_->Wait(20), 0) << Err();

  EXPECT_EQ(Occurrences(Err(), "ERROR"), 0) << Err();
  EXPECT_EQ(Occurrences(Err(), "WARNING"), 0) << Err();
  const std::vector<std::string> bins = Recordings(dataDir_, ".bin");
  const std::vector<std::string> scans = Counter().ScanSegments();
  ASSERT_EQ(bins.size(), scans.size());
  for (std::size_t i = 0; i < bins.size(); ++i) {
    if (scans[i].empty()) continue;  // stopped before the counter's first byte
    ExpectRecordingHolds(bins[i], scans[i]);
  }
}

// Recordings played back: made by the cast generator, then damaged.
class PlaybackRun : public HeadlessRun {
 protected:
  std::string MakeRecording(const std::string& name, double seconds) {
    CastOptions options;
    options.seed = 61;
    CastGenerator generator(options);
    std::vector<std::uint8_t> bytes;
    generator.AdvanceTo(seconds, bytes);
    const std::string path = dir_ / name;
    test::WriteBytes(path, bytes);
    return path;
  }
  std::string PlaybackDat() {
    std::string found;
    for (const auto& entry : fs::directory_iterator(dataDir_)) {
      if (entry.path().string().find("_PB_") != std::string::npos) found = entry.path().string();
    }
    return found;
  }
  std::string BatchReplay(const std::string& recording) {
    const auto replay = test::RunProcess(
        VESK_PROCESS_PATH,
        {"--settings", dir_ / "vesk.ini", "--output", dir_ / "replay.dat", recording});
    EXPECT_EQ(replay.exitCode, 0) << replay.err;
    return ReadFile(dir_ / "replay.dat");
  }
};

TEST_F(PlaybackRun, TruncatedAndCorruptedRecordingsPlayToTheEnd) {
  const std::string whole = ReadFile(MakeRecording("whole.bin", 40));
  struct Damage {
    const char* name;
    std::string bytes;
  };
  std::string corrupted = whole;
  for (std::size_t at = 1000; at < corrupted.size(); at += 7919) corrupted[at] = '~';
  for (std::size_t at = 3000; at < corrupted.size(); at += 12011) corrupted[at] ^= 0x5A;
  const Damage damages[] = {
      {"truncated-mid-frame.bin", whole.substr(0, whole.size() * 2 / 3 + 37)},
      {"corrupted.bin", corrupted},
      {"empty.bin", ""},
  };
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.name);
    const std::string path = dir_ / d.name;
    test::WriteFile(path, d.bytes);
    fs::remove_all(dataDir_);
    StartVesk({"--playback", path});
    EXPECT_EQ(vesk_->Wait(60), 0) << Err();
    EXPECT_NE(Err().find("Processing Complete"), std::string::npos) << Err();
    EXPECT_EQ(ReadFile(path), d.bytes);  // the played file is never written
    const std::string dat = PlaybackDat();
    ASSERT_FALSE(dat.empty());
    EXPECT_EQ(ReadFile(dat), BatchReplay(path));
    if (d.bytes == corrupted) {
      EXPECT_EQ(vesk_->Out().find("frame errors 0 "), std::string::npos) << vesk_->Out();
    }
  }
}

TEST_F(PlaybackRun, StopWhilePausedEndsThePlaybackAtOnce) {
  const std::string recording = MakeRecording("cast.bin", 120);
  StartVesk({"--playback", recording, "--speed", "1"});
  ASSERT_TRUE(Status("playing")) << Err();
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  vesk_->Signal(SIGUSR1);
  ASSERT_TRUE(Says("Playback Paused...")) << Err();
  ASSERT_TRUE(Status("paused"));
  Remote(2);
  ASSERT_TRUE(Status("idle", 3)) << vesk_->Out();  // not after the pause
  Remote(3);
  EXPECT_EQ(vesk_->Wait(10), 0) << Err();

  // What was played is in the .dat, exactly as a batch run writes it.
  const std::string dat = ReadFile(PlaybackDat());
  const std::string full = BatchReplay(recording);
  EXPECT_GT(dat.size(), 1000u);
  EXPECT_LT(dat.size(), full.size());
  EXPECT_EQ(full.compare(0, dat.size(), dat), 0);
}

}  // namespace
}  // namespace vesk
