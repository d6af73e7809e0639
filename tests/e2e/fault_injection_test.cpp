// Faults a ship's acquisition meets, injected into the whole program (`vesk --headless` with
// the simulated counter on a pseudo-terminal). For each: the program lives on (or ends as it
// should), says so once, and every byte it wrote before the fault is still there and right.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>  // mkfifo

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "e2e/headless_support.h"
#include "files/mark_log.h"
#include "sim/cast_generator.h"
#include "sim/counter_simulator.h"
#include "test_support/frame_builder.h"
#include "test_support/pty.h"
#include "test_support/run_process.h"
#include "test_support/temp_dir.h"

namespace vesk {
namespace {

namespace fs = std::filesystem;
using test::Occurrences;
using test::ReadFile;
using test::Recordings;
using test::WaitUntil;

constexpr const char* kDeviceGone = "serial device has gone away";
constexpr const char* kDirUnwritable = "The data directory cannot be written";

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

TEST_F(HeadlessRun, CounterDeviceVanishesAndReturns) {
  StartCounter(11);
  StartVesk({"--log"});
  ASSERT_TRUE(Sent(6000)) << Err();
  const std::vector<std::string> bins = Recordings(dataDir_, ".bin");
  ASSERT_EQ(bins.size(), 1u);
  const std::uintmax_t writtenBeforeFault = fs::file_size(bins[0]);

  Counter().Stop();  // the adapter is pulled: the device node goes away
  ASSERT_TRUE(Says(kDeviceGone)) << Err();
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // retried, not told again
  EXPECT_TRUE(vesk_->Running());

  // Plugged back in after a power cycle: the counter is idle until it is told to scan again.
  StartCounter(12);
  ASSERT_TRUE(Says("device reconnected")) << Err();
  ASSERT_TRUE(Sent(8000));
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

  // The processed file is what the batch player makes of the raw file, fault and all; the
  // gap has its marks.
  EXPECT_EQ(ReadFile(Recordings(dataDir_, ".dat").at(0)), BatchReplay(bins[0]));
  const std::string marks = ReadFile(MarksPath(Recordings(dataDir_, ".dat").at(0)));
  EXPECT_NE(marks.find(",\"link to the counter lost: "), std::string::npos) << marks;
  EXPECT_NE(marks.find(",\"link to the counter back\""), std::string::npos) << marks;
}

// Reads of the counter's port fail without the device going away (a faulty adapter): a few
// failures are told once and the scan reads on; failures that persist are handled like a lost
// device, the port opened anew, told once too. The recording keeps every byte either way.
TEST_F(HeadlessRun, ReadErrorsOfTheCounterPortAreToldOnceAndOutlasted) {
#ifndef VESK_READ_FAULT_SHIM
  GTEST_SKIP() << "no fault injection under a sanitizer";
#else
  const struct {
    int failingReads;
    bool reopened;
  } cases[] = {{5, false}, {80, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failingReads);
    counters_.clear();
    StartCounter(13);
    env_ = {{"LD_PRELOAD", VESK_READ_FAULT_SHIM},
            {"VESK_FAULT_READ_FILE", fs::canonical(link_)},
            {"VESK_FAULT_READ_AFTER", "8000"},
            {"VESK_FAULT_READ_ERRNO", std::to_string(EPROTO)},
            {"VESK_FAULT_READ_COUNT", std::to_string(c.failingReads)}};
    StartVesk({"--log"});
    ASSERT_TRUE(Says("cannot be read (")) << Err();
    const bool reopened = Says("keeps failing", 4);
    // Read on afterwards: a read that works again ends the failures.
    const std::uint64_t sent = Counter().ScanBytesSent();
    ASSERT_TRUE(WaitUntil(
        [&] { return fs::file_size(Recordings(dataDir_, ".bin").back()) > sent + 8000; }, 20))
        << Err();
    EXPECT_EQ(StopAndQuit(), 0) << Err();

    EXPECT_EQ(reopened, c.reopened) << Err();
    EXPECT_EQ(Occurrences(Err(), "cannot be read ("), 1) << Err();
    EXPECT_LE(Occurrences(Err(), "keeps failing"), 1) << Err();
    const std::string bin = Recordings(dataDir_, ".bin").back();
    ExpectRecordingHolds(bin, Counter().ScanSegments().at(0));
    EXPECT_EQ(ReadFile(Recordings(dataDir_, ".dat").back()), BatchReplay(bin));
  }
#endif
}

// Before a scan the same faulty adapter is told once too, and the counter is read on: the
// scan that starts once it answers is recorded whole.
TEST_F(HeadlessRun, ReadErrorsBetweenScansAreToldOnce) {
#ifndef VESK_READ_FAULT_SHIM
  GTEST_SKIP() << "no fault injection under a sanitizer";
#else
  StartCounter(14);
  env_ = {{"LD_PRELOAD", VESK_READ_FAULT_SHIM},
          {"VESK_FAULT_READ_FILE", fs::canonical(link_)},
          {"VESK_FAULT_READ_ERRNO", std::to_string(EPROTO)},
          {"VESK_FAULT_READ_COUNT", "3"}};
  StartVesk({"--log"});  // waits for the counter's idle text: all three reads fail before
  ASSERT_TRUE(SentInScan(0, 4000)) << Err();
  EXPECT_EQ(StopAndQuit(), 0) << Err();
  EXPECT_EQ(Occurrences(Err(), "cannot be read ("), 1) << Err();
  EXPECT_EQ(Occurrences(Err(), ") between scans; it is read on."), 1) << Err();
  ExpectRecordingHolds(Recordings(dataDir_, ".bin").at(0), Counter().ScanSegments().at(0));
#endif
}

// The (UTF-8 named) folder is deleted under the running scan: the raw file holds every byte
// the counter sent after its text header, the .dat is what the batch player writes. Then the
// folder goes away again and a file takes its name, so nothing can be created there (whoever
// runs the test, root included): a new recording cannot start until the folder is back.
TEST_F(HeadlessRun, TheDataFolderDeletedOrUnwritableLosesNothing) {
  dataDir_ = dir_ / "d\xC3\xA4t\xC3\xA4 \xE6\x95\xB0\xE6\x8D\xAE";
  StartCounter(56);
  StartVesk({"--log"});
  ASSERT_TRUE(Sent(4000)) << Err();
  ASSERT_EQ(Recordings(dataDir_, ".bin").size(), 1u);  // in the folder the settings name
  fs::remove_all(dataDir_);
  ASSERT_TRUE(Says("was removed while logging")) << Err();
  ASSERT_TRUE(Sent(Counter().ScanBytesSent() + 2000)) << Err();  // logged on after it went
  EXPECT_NE(LastStatus().find("frame errors 0 "), std::string::npos) << LastStatus();

  const std::string kept = dir_ / "data-kept";
  fs::rename(dataDir_, kept);
  test::WriteFile(dataDir_, "not a folder");
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  ASSERT_TRUE(RemoteUntil(2, "idle")) << vesk_->Out();
  Remote(1);  // a new recording cannot start
  ASSERT_TRUE(Says(kDirUnwritable)) << Err();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_TRUE(vesk_->Running());
  EXPECT_TRUE(Status("idle"));

  fs::remove(dataDir_);  // the folder is back: logging starts again
  fs::rename(kept, dataDir_);
  ASSERT_TRUE(RemoteUntil(1, "logging")) << Err();
  ASSERT_TRUE(SentInScan(1, 4000));
  EXPECT_EQ(StopAndQuit(), 0) << Err();

  EXPECT_EQ(Occurrences(Err(), "was removed while logging"), 1) << Err();
  EXPECT_EQ(Occurrences(Err(), kDirUnwritable), 1) << Err();
  EXPECT_EQ(Occurrences(Err(), "Error opening"), 0) << Err();
  const std::vector<std::string> bins = Recordings(dataDir_, ".bin");
  const std::vector<std::string> scans = Counter().ScanSegments();
  ASSERT_EQ(bins.size(), 2u);
  ASSERT_EQ(scans.size(), 2u);  // the refused start never told the counter to scan
  EXPECT_EQ(ReadFile(bins[0]).rfind("# ___  PC DATE-TIME  ___\r\n", 0), 0u);
  for (std::size_t i = 0; i < bins.size(); ++i) ExpectRecordingHolds(bins[i], scans[i]);
  EXPECT_EQ(ReadFile(Recordings(dataDir_, ".dat").at(0)), BatchReplay(bins[0]));
}

TEST_F(HeadlessRun, DiskFillsWhileLogging) {
  // The file-size limit makes every write past 12000 bytes fail as on a full disk.
  constexpr std::uintmax_t kLimit = 12000;
  StartCounter(31);
  StartVesk({"--log"}, "", {"/usr/bin/prlimit", "--fsize=" + std::to_string(kLimit), "--"});
  ASSERT_TRUE(Says("Logging is stopped", 30)) << Err();
  ASSERT_TRUE(Status("idle")) << vesk_->Out();  // logging stops cleanly, the program lives
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_TRUE(vesk_->Running());
  EXPECT_EQ(StopAndQuit(), 1) << Err();  // the scan it was asked for failed

  EXPECT_EQ(Occurrences(Err(), "cannot be written"), 1) << Err();
  // Both files end where their last whole write ended: the raw file holds the counter's
  // first bytes without a gap, the processed file whole records only, as many as the batch
  // player makes of the raw file at most.
  const std::string binPath = Recordings(dataDir_, ".bin").at(0);
  const std::string raw = ReadFile(binPath);
  EXPECT_LE(raw.size(), kLimit);
  const std::string scan = Counter().ScanSegments().at(0);
  const std::size_t at = raw.find(scan.substr(0, 256));
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(raw.substr(at), scan.substr(0, raw.size() - at));
  const std::string dat = ReadFile(Recordings(dataDir_, ".dat").at(0));
  EXPECT_LE(dat.size(), kLimit);
  ASSERT_GT(dat.size(), 100u);
  EXPECT_EQ(dat.substr(dat.size() - 2), "\r\n");
  const std::string full = BatchReplay(binPath);
  // What the .dat holds is the start of what the .bin gives, up to a record group boundary.
  const std::size_t common = std::min(dat.size(), full.size());
  EXPECT_EQ(dat.substr(0, common), full.substr(0, common));
}

// The disk fills (every write to the data folder fails with ENOSPC) and is cleared again:
// the scan goes on meanwhile, and logging resumes in a new pair of files. Each raw file holds,
// after its text header, one piece of what the counter sent: the first from the start, the
// second up to the stop. Each recording's marks say when logging stopped and resumed.
TEST_F(HeadlessRun, AFullDiskSuspendsLoggingUntilThereIsRoomAgain) {
#ifndef VESK_DISK_SPACE_SHIM
  GTEST_SKIP() << "no fault injection under a sanitizer";
#else
  const std::string freeBytes = dir_ / "free-bytes";
  test::WriteFile(freeBytes, "10000000000");
  env_ = {{"LD_PRELOAD", VESK_DISK_SPACE_SHIM},
          {"VESK_FAKE_FREE_BYTES_FILE", freeBytes},
          {"VESK_FAKE_FULL_DIR", dataDir_}};
  StartCounter(58);
  StartVesk({"--log"});
  ASSERT_TRUE(Sent(4000)) << Err();
  test::WriteFile(freeBytes, "0");
  ASSERT_TRUE(Says("Logging is suspended")) << Err();
  ASSERT_TRUE(Status("logging suspended")) << vesk_->Out();
  const std::uint64_t atStop = Counter().ScanBytesSent();
  ASSERT_TRUE(Sent(atStop + 4000)) << Err();  // the scan goes on
  EXPECT_TRUE(vesk_->Running());
  test::WriteFile(freeBytes, "10000000000");
  ASSERT_TRUE(Says("Logging resumed", 10)) << Err();
  ASSERT_TRUE(Sent(Counter().ScanBytesSent() + 4000)) << Err();
  EXPECT_EQ(StopAndQuit(), 0) << Err();

  const std::vector<std::string> bins = Recordings(dataDir_, ".bin");
  const std::vector<std::string> dats = Recordings(dataDir_, ".dat");
  ASSERT_EQ(bins.size(), 2u);
  const std::string scan = Counter().ScanSegments().at(0);
  const std::string first = ReadFile(bins[0]), second = ReadFile(bins[1]);
  const std::size_t at = first.find(scan.substr(0, 256));
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(first.substr(at), scan.substr(0, first.size() - at));
  EXPECT_LT(first.size() - at, atStop);
  std::size_t same = 0;  // the second ends as the scan ends; before that, only its header
  while (same < std::min(second.size(), scan.size()) &&
         second[second.size() - 1 - same] == scan[scan.size() - 1 - same]) {
    ++same;
  }
  EXPECT_GT(same, 4000u);
  EXPECT_EQ(second.substr(0, second.size() - same).find('~'), std::string::npos);
  EXPECT_NE(ReadFile(MarksPath(dats[0])).find("logging stopped: the disk is full"),
            std::string::npos);
  EXPECT_NE(ReadFile(MarksPath(dats[1])).find("logging resumed"), std::string::npos);
  EXPECT_EQ(Occurrences(Err(), "Logging resumed"), 1) << Err();
#endif
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
  EXPECT_EQ(vesk_->Wait(20), 1) << Err();  // the logging it was started for did not happen
  EXPECT_EQ(Occurrences(Err(), "cannot be overwritten"), 1) << Err();
  EXPECT_TRUE(fs::is_symlink(dataDir_ + "/full.bin"));
  EXPECT_TRUE(fs::is_symlink(dataDir_ + "/full.dat"));
  EXPECT_TRUE(Counter().ScanSegments().empty());
}

TEST_F(HeadlessRun, RemoteStartsStopsAndBurstsNeverHangOrLoseAScan) {
  StartCounter(51);
  StartVesk({});  // a scan without logging: the pre-logging dump
  ASSERT_TRUE(Status("scanning")) << Err();
  // A start of the scan that runs is told and changes nothing; logging switches the running
  // scan to a recording without a restart.
  Remote(4);
  ASSERT_TRUE(Says("Start Acquisition ignored")) << Err();
  ASSERT_TRUE(Sent(2000));  // in the dump
  ASSERT_TRUE(RemoteUntil(1, "logging")) << Err();
  Remote(1);
  ASSERT_TRUE(Says("Start Data Logging ignored")) << Err();
  ASSERT_TRUE(Sent(5000));
  ASSERT_TRUE(RemoteUntil(2, "idle")) << Err();
  const int idleThreads = vesk_->Threads();

  constexpr int kCycles = 15;
  for (int i = 0; i < kCycles; ++i) {  // a restart every 1.2 s
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    Remote(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    Remote(2);
    ASSERT_TRUE(vesk_->Running()) << Err();
  }
  ASSERT_TRUE(WaitUntil([&] { return Recordings(dataDir_, ".dat").size() == kCycles + 1u; }, 30))
      << Err();
  // A burst of starts and stops faster than a scan can start: one stop, and the program
  // answers at once.
  for (int i = 0; i < 100; ++i) {
    Remote(1);
    Remote(2);
  }
  ASSERT_TRUE(Says("faster than a scan can start")) << Err();
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  ASSERT_TRUE(Status("idle", 5));
  EXPECT_LE(Recordings(dataDir_, ".bin").size(), kCycles + 2u);
  EXPECT_EQ(vesk_->Threads(), idleThreads);  // no thread outlives its scan
  vesk_->Signal(SIGTERM);
  EXPECT_EQ(vesk_->Wait(10), 0) << Err();

  for (const auto& [text, n] : {std::pair{"Start Acquisition ignored", 1},
                                {"Start Data Logging ignored", 1},
                                {"appears to be inactive", 0},
                                {"ERROR", 0},
                                {"WARNING", 0}}) {
    EXPECT_EQ(Occurrences(Err(), text), n) << text << " in " << Err();
  }
  const std::vector<std::string> bins = Recordings(dataDir_, ".bin");
  const std::vector<std::string> scans = Counter().ScanSegments();
  ASSERT_EQ(bins.size(), scans.size());
  // The first scan went to the dump until it was switched to its recording: between them
  // they hold every byte of it, in order.
  const std::string dump = ReadFile(dataDir_ + "/VESK_PRELOGGING_DATADUMP.bin");
  const std::string first = ReadFile(bins[0]);
  const std::size_t dumpAt = dump.find(scans[0].substr(0, 256));
  ASSERT_NE(dumpAt, std::string::npos);
  const std::string head = dump.substr(dumpAt);
  ASSERT_EQ(scans[0].compare(0, head.size(), head), 0);
  const std::string tail = scans[0].substr(head.size());
  ASSERT_GE(first.size(), tail.size());
  EXPECT_EQ(first.substr(first.size() - tail.size()), tail);
  EXPECT_EQ(first.substr(0, first.size() - tail.size()).find('~'), std::string::npos);
  for (std::size_t i = 1; i < bins.size(); ++i) {
    if (scans[i].empty()) continue;  // stopped before the counter's first byte
    ExpectRecordingHolds(bins[i], scans[i]);
  }
}

TEST_F(HeadlessRun, CustomNamesNeverOverwriteARecording) {
  // The stored name is the dump's own: a recording never takes it.
  StartCounter(52);
  StartVesk({"--log"},
            "UseDefaultFileNaming=0\nLastDataFileName=VESK_PRELOGGING_DATADUMP\n"
            "[Options]\nLowDiskSpaceMB=2000000000\n");
  ASSERT_TRUE(Status("logging")) << Err();
  // Every disk has less free space than this limit: told once.
  ASSERT_TRUE(Says("MB free")) << Err();
  const std::vector<std::string> first = Recordings(dataDir_, ".bin");
  ASSERT_EQ(first.size(), 1u);
  const std::string stem = fs::path(first[0]).stem().string();
  ASSERT_TRUE(SentInScan(0, 3000));
  ASSERT_TRUE(RemoteUntil(2, "idle"));
  ASSERT_TRUE(RemoteUntil(4, "scanning"));  // the dump
  ASSERT_TRUE(SentInScan(1, 3000));
  ASSERT_TRUE(RemoteUntil(2, "idle"));
  for (std::size_t scan : {2u, 3u}) {  // the name proposed again: the old files move aside
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    ASSERT_TRUE(RemoteUntil(1, "logging")) << Err();
    ASSERT_TRUE(SentInScan(scan, 3000));
    ASSERT_TRUE(RemoteUntil(2, "idle"));
  }
  Remote(3);
  EXPECT_EQ(vesk_->Wait(20), 0) << Err();

  EXPECT_EQ(Occurrences(Err(), "MB free"), 3) << Err();  // once in each logging scan
  EXPECT_NE(Err().find(stem + ".bin -> " + stem + ".bin-OLD,"), std::string::npos) << Err();
  EXPECT_NE(Err().find(stem + ".bin -> " + stem + ".bin-OLD2,"), std::string::npos) << Err();
  const std::vector<std::string> scans = Counter().ScanSegments();
  ASSERT_EQ(scans.size(), 4u);
  const std::string base = dataDir_ + "/" + stem;
  const std::string held[] = {base + ".bin-OLD", dataDir_ + "/VESK_PRELOGGING_DATADUMP.bin",
                              base + ".bin-OLD2", base + ".bin"};
  for (int i = 0; i < 4; ++i) ExpectRecordingHolds(held[i], scans[i]);
  for (const char* suffix : {".dat", ".dat-OLD", ".dat-OLD2"}) {
    EXPECT_GT(fs::file_size(base + suffix), 1000u) << suffix;
  }
}

TEST_F(HeadlessRun, ACounterPortThatIsMissingIsWaitedFor) {
  // Never there: a run with a duration says so and fails.
  StartVesk({"--log", "--duration", "3"});
  EXPECT_EQ(vesk_->Wait(15), 1) << Err();
  EXPECT_NE(Err().find("no scan was started"), std::string::npos) << Err();
  EXPECT_EQ(Occurrences(Err(), "Cannot open Serial Interface port"), 1) << Err();
  EXPECT_EQ(Err().find("Connect"), std::string::npos) << Err();  // no button to press

  // Plugged in later: the scan asked for starts then.
  StartVesk({"--log"});
  ASSERT_TRUE(Says("waiting for the counter port")) << Err();
  std::this_thread::sleep_for(std::chrono::milliseconds(2000));
  StartCounter(53);
  ASSERT_TRUE(Status("logging", 15)) << Err();
  ASSERT_TRUE(Sent(3000));
  ASSERT_TRUE(RemoteUntil(2, "idle"));

  // Pulled while idle and plugged back: the next start works on the returned device.
  Counter().Stop();
  ASSERT_TRUE(Says("serial device has gone away")) << Err();
  StartCounter(54);
  ASSERT_TRUE(WaitUntil([&] { return Occurrences(Err(), "is open.") == 2; }, 15)) << Err();
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  ASSERT_TRUE(RemoteUntil(1, "logging")) << Err();
  ASSERT_TRUE(Sent(3000));
  Remote(3);
  EXPECT_EQ(vesk_->Wait(20), 0) << Err();

  EXPECT_EQ(Err().find("Cannot purge"), std::string::npos) << Err();
  EXPECT_EQ(Err().find("Connect"), std::string::npos) << Err();
  const std::vector<std::string> bins = Recordings(dataDir_, ".bin");
  ASSERT_EQ(bins.size(), 2u);
  for (int i : {0, 1}) ExpectRecordingHolds(bins[i], counters_[i]->ScanSegments().at(0));
  // The last status line is written once the scan's last frames are processed: its count is
  // the recording's.
  const std::string lFrames =
      std::to_string(Occurrences(ReadFile(Recordings(dataDir_, ".dat").at(1)), "L1 "));
  EXPECT_NE(LastStatus().find("L frames " + lFrames + " "), std::string::npos) << LastStatus();
}

TEST_F(HeadlessRun, ALostCtdOutputDeviceNeverStallsTheScan) {
  const std::string auxLink = dir_ / "ctd-out";
  auto device = std::make_unique<test::Pty>(auxLink);
  portSettings_ =
      "Device_ZEV=" + auxLink + "\nBps_ZEV=115200\nDataBits_ZEV=8\nParity_ZEV=2\nStopBits_ZEV=0\n";
  StartCounter(55);
  StartVesk({"--log"}, "AuxPortMode=2\n");
  ASSERT_TRUE(Status("logging")) << Err();
  ASSERT_TRUE(WaitUntil([&] { return device->Received(100).find("C ") != std::string::npos; }, 10))
      << Err();

  device->Close();  // the receiving device goes away: 25 CTD lines a second for nobody
  ASSERT_TRUE(Says("auxiliary port's device has gone away")) << Err();
  auto lFrames = [&] {
    const std::string line = LastStatus();
    const std::size_t at = line.find("L frames ");
    return at == std::string::npos ? 0 : std::stoi(line.substr(at + 9));
  };
  const int before = lFrames();
  std::this_thread::sleep_for(std::chrono::milliseconds(4000));
  EXPECT_GE(lFrames() - before, 6);  // L frames keep their 2 a second

  device.reset();
  device = std::make_unique<test::Pty>(auxLink);  // back on the same name
  ASSERT_TRUE(Says("device is back")) << Err();
  EXPECT_TRUE(WaitUntil([&] { return device->Received(100).find("C ") != std::string::npos; }, 10));
  const auto stopAsked = std::chrono::steady_clock::now();
  ASSERT_TRUE(RemoteUntil(2, "idle", 5)) << Err();
  EXPECT_LT(std::chrono::steady_clock::now() - stopAsked, std::chrono::seconds(4));
  Remote(3);
  EXPECT_EQ(vesk_->Wait(20), 0) << Err();
  ExpectRecordingHolds(Recordings(dataDir_, ".bin").at(0), Counter().ScanSegments().at(0));
}

TEST_F(HeadlessRun, HangUpAndABrokenPipeEndNothingButTheScan) {
  // The status lines go to a pipe whose reader leaves after two: logging goes on.
  StartCounter(57);
  StartVesk({"--log"}, "", {"/bin/bash", "-c", "set -o pipefail; \"$0\" \"$@\" | head -2"});
  ASSERT_TRUE(Sent(6000, 20)) << Err();
  ASSERT_TRUE(vesk_->Running()) << Err();
  Remote(2);  // no status line to wait for
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  Remote(3);
  EXPECT_EQ(vesk_->Wait(20), 0) << Err();
  ExpectRecordingHolds(Recordings(dataDir_, ".bin").at(0), Counter().ScanSegments().at(0));

  // A hang-up (the ssh session gone) stops the scan cleanly, the counter told to stop.
  fs::remove_all(dataDir_);
  StartVesk({"--log"});
  ASSERT_TRUE(Status("logging")) << Err();
  ASSERT_TRUE(SentInScan(1, 3000));
  vesk_->Signal(SIGHUP);
  EXPECT_EQ(vesk_->Wait(10), 0) << Err();
  EXPECT_TRUE(WaitUntil([&] { return !Counter().IsScanning(); }, 3));
  ExpectRecordingHolds(Recordings(dataDir_, ".bin").at(0), Counter().ScanSegments().at(1));
}

// Every program ends within two seconds of SIGINT or SIGTERM, whatever it waits for: a FIFO
// nobody writes (or reads), or one whose writer went quiet mid-recording. A tool leaves
// nothing under its output's name (an earlier file of that name is kept) and nothing partial.
TEST_F(HeadlessRun, EveryProgramEndsSoonAfterASignalAndLeavesNoPartialOutput) {
  std::signal(SIGPIPE, SIG_IGN);  // the writer outlives the reader
  const std::string fifo = dir_ / "cast.bin", out = dir_ / "out.dat", ini = dir_ / "vesk.ini";
  const std::string recording = dir_ / "recording.bin";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((dir_ / "unread").c_str(), 0600), 0);
  test::WriteFile(ini,
                  "[Settings]\nDataDir=" + dataDir_ + "\nSurveyLat=1\n[RemoteControl]\nPort=0\n");
  test::WriteFile(out, "previous run");
  const test::Bytes stream = test::MixedStream(200, 2, 5);
  test::WriteBytes(recording, stream);
  const std::string process = VESK_PROCESS_PATH, extract = VESK_EXTRACT_PATH, vesk = VESK_PATH;
  struct Case {
    std::vector<std::string> command;
    bool fed;  // the FIFO's writer sends a part of a recording and stays
    int signal;
    const char* says;
    std::string input = "";  // opened once the program's handlers are in place: the FIFO
  };
  const Case cases[] = {
      {{process, "--settings", ini, "--format", "dat,csv", "--output", out, fifo},
       true,
       SIGINT,
       "interrupted; no partial output"},
      {{process, "--settings", ini, "--output", out, fifo}, false, SIGTERM, "interrupted"},
      {{extract, "--input", fifo, "--output", out, "--binned"},
       true,
       SIGTERM,
       "Extraction interrupted"},
      {{extract, "--input", fifo, "--output", out, "--mep"}, false, SIGINT, "interrupted"},
      {{extract, "--input", recording, "--output", dir_ / "unread", "--mep"},
       false,
       SIGTERM,
       "interrupted",
       recording},
      {{vesk, "--headless", "--settings", ini, "--playback", fifo}, false, SIGTERM, "IDLE"},
      {{vesk, "--headless", "--settings", ini, "--playback", fifo}, true, SIGINT, "IDLE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command.back() + (c.fed ? " fed" : ""));
    test::ChildProcess run(c.command[0], {c.command.begin() + 1, c.command.end()});
    const std::string fds = "/proc/" + std::to_string(run.Pid()) + "/fd";
    ASSERT_TRUE(WaitUntil(
        [&] {
          std::error_code ec;
          for (const auto& fd : fs::directory_iterator(fds, ec)) {
            if (fs::read_symlink(fd, ec) == (c.input.empty() ? fifo : c.input)) return true;
          }
          return false;
        },
        20));
    std::ofstream writer;
    if (c.fed) {
      writer.open(fifo, std::ios::binary);
      writer.write(reinterpret_cast<const char*>(stream.data()),
                   static_cast<std::streamsize>(stream.size()));
      writer.flush();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // read, and waiting again
    run.Signal(c.signal);
    run.Wait(2);
    EXPECT_FALSE(run.Running()) << run.Err();
    EXPECT_NE(run.Err().find(c.says), std::string::npos) << run.Err();
    EXPECT_EQ(ReadFile(out), "previous run");
    for (const auto& e : fs::directory_iterator(dir_.Path())) {
      EXPECT_EQ(e.path().string().find("partial"), std::string::npos) << e.path();
    }
  }
}

// A settings file that cannot be read is never written, and a run on the defaults is never
// silent: without windows it is refused unless asked for, the window says so at the start.
TEST_F(HeadlessRun, ASettingsFileThatCannotBeReadIsToldAndNeverWritten) {
  std::string junk(3000, '\0');
  for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>(i * 7919 % 251);
  const std::string file = dir_ / "junk.ini", folder = dir_ / "folder.ini";
  test::WriteFile(file, junk);
  fs::create_directory(folder);
  test::WriteBytes(dir_ / "cast.bin", test::MixedStream(20, 2, 5));
  const std::map<std::string, std::string> env = {{"HOME", dir_.Path()},
                                                  {"QT_QPA_PLATFORM", "offscreen"}};
  const std::pair<std::vector<std::string>, int> runs[] = {
      {{VESK_PATH, "--headless", "--settings", file, "--log"}, 2},
      {{VESK_PATH, "--headless", "--settings", folder, "--log"}, 2},
      {{VESK_PROCESS_PATH, "--settings", file, dir_ / "cast.bin"}, 2},
      {{VESK_PATH, "--headless", "--settings", file, "--ignore-settings-error", "--simulate",
        "--log", "--duration", "5"},
       0},
      {{VESK_PATH, "--settings", file, "--simulate", "--log", "--screenshot", dir_ / "shot.png",
        "--after", "2"},
       0},
  };
  for (const auto& [command, exitCode] : runs) {
    SCOPED_TRACE(command[2]);
    const auto run = test::RunProcess(command[0], {command.begin() + 1, command.end()}, env);
    EXPECT_EQ(run.exitCode, exitCode) << run.err;
    EXPECT_NE(run.err.find("cannot be read: it is "), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(file), junk);
    EXPECT_TRUE(fs::is_directory(folder));
  }
}

// A close request ends the window program whenever it comes: with the start-up's survey
// latitude box still open and unanswered, no scan is started. --duration counts from the start.
TEST_F(HeadlessRun, ACloseRequestDuringTheStartUpMessageEndsTheProgramWithoutARecording) {
  StartCounter(59);
  const std::string ini = dir_ / "window.ini", log = dir_ / "state/VESK/vesk.log";
  test::WriteFile(ini, "[Settings]\nDataDir=" + dataDir_ + "\n[PortSettings]\nDevice_DU=" + link_ +
                           "\n[RemoteControl]\nPort=" + std::to_string(port_) + "\n");
  const std::map<std::string, std::string> env = {{"QT_QPA_PLATFORM", "offscreen"},
                                                  {"XDG_STATE_HOME", dir_ / "state"}};
  test::ChildProcess window(VESK_PATH, {"--settings", ini, "--log"}, env);
  ASSERT_TRUE(
      WaitUntil([&] { return ReadFile(log).find("Survey Latitude") != std::string::npos; }, 10));
  Remote(3);
  EXPECT_EQ(window.Wait(5), 0) << window.Err();
  // The port named by its device only is configured; a store with no port is a first run.
  EXPECT_EQ(ReadFile(log).find("This appears to be the first time"), std::string::npos);
  test::WriteFile(ini, "[Settings]\nDataDir=" + dataDir_ +
                           "\n[RemoteControl]\nPort=" + std::to_string(port_) + "\n");
  test::ChildProcess timed(VESK_PATH, {"--settings", ini, "--log", "--duration", "2"}, env);
  EXPECT_EQ(timed.Wait(15), 0) << timed.Err();  // the box unanswered
  EXPECT_NE(ReadFile(log).find("This appears to be the first time"), std::string::npos);
  EXPECT_TRUE(!fs::exists(dataDir_) || Recordings(dataDir_, ".bin").empty());
  EXPECT_TRUE(Counter().ScanSegments().empty());  // never told to scan
}

// Recordings played back: synthetic ones (a text header, then the simulated cast), damaged.
class PlaybackRun : public HeadlessRun {
 protected:
  std::string MakeRecording(const std::string& name, double seconds) {
    CastOptions options;
    options.seed = 61;
    WriteSyntheticRecording(dir_ / name, options, seconds);
    return dir_ / name;
  }
  std::string PlaybackDat() {
    std::string found;
    for (const auto& entry : fs::directory_iterator(dataDir_)) {
      const std::string path = entry.path().string();
      if (path.find("_PB_") != std::string::npos && entry.path().extension() == ".dat")
        found = path;
    }
    return found;
  }
  // The playback's .dat is the start of what a batch run writes for the whole recording.
  void ExpectPlayedPartOf(const std::string& recording) {
    const std::string dat = ReadFile(PlaybackDat());
    const std::string full = BatchReplay(recording);
    EXPECT_GT(dat.size(), 1000u);
    EXPECT_LT(dat.size(), full.size());
    EXPECT_EQ(full.compare(0, dat.size(), dat), 0);
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

// Files without one frame of the counter are no recordings: the playback and the batch run
// say so and fail, and leave no .dat.
TEST_F(PlaybackRun, AFileThatIsNoRecordingFailsAndLeavesNoDat) {
  const std::string path = dir_ / "hostname";
  for (const std::string& bytes : {
           std::string(), std::string("ship-pc\n"),
           std::string(200000, 'n') + "~x~~ ~* ~" + std::string(1000, '*') + "~",
           "~L" + std::string(50000, 'a'),  // a frame that never ends
       }) {
    SCOPED_TRACE(bytes.size());
    test::WriteFile(path, bytes);
    fs::remove_all(dataDir_);
    StartVesk({"--playback", path});
    EXPECT_EQ(vesk_->Wait(30), 1) << Err();
    EXPECT_NE(Err().find("No counter frames were found in " + path), std::string::npos) << Err();
    EXPECT_EQ(Err().find("Processing Complete"), std::string::npos) << Err();
    EXPECT_EQ(PlaybackDat(), "");
    const auto batch = test::RunProcess(
        VESK_PROCESS_PATH,
        {"--settings", dir_ / "vesk.ini", "--summary", "--output", dir_ / "x.dat", path});
    EXPECT_EQ(batch.exitCode, 1);
    EXPECT_NE(batch.err.find("No counter frames were found in " + path), std::string::npos);
    EXPECT_EQ(batch.out + ReadFile(dir_ / "x.dat"), "<missing>");
  }
}

TEST_F(PlaybackRun, AReadErrorIsNoEndOfTheRecording) {
#ifndef VESK_READ_FAULT_SHIM
  GTEST_SKIP() << "no fault injection under a sanitizer";
#else
  const std::string recording = MakeRecording("cast.bin", 120);
  env_ = {{"LD_PRELOAD", VESK_READ_FAULT_SHIM},
          {"VESK_FAULT_READ_FILE", recording},
          {"VESK_FAULT_READ_AFTER", std::to_string(fs::file_size(recording) / 3)}};
  StartVesk({"--playback", recording});
  EXPECT_EQ(vesk_->Wait(30), 1) << Err();
  EXPECT_NE(Err().find("cannot be read: Input/output error"), std::string::npos) << Err();
  EXPECT_EQ(Err().find("Processing Complete"), std::string::npos) << Err();
  ExpectPlayedPartOf(recording);  // what was read before the fault
#endif
}

TEST_F(PlaybackRun, HostileRecordingsKeepMemoryBounded) {
#ifdef VESK_SANITIZED
  GTEST_SKIP() << "a sanitizer's own memory would be measured";
#endif
  // Element events flagged as the start of a particle, each 1000 ticks long: every one
  // spans a thousand grid rows.
  test::Bytes hostile;
  std::vector<test::MEvent> events(1000);
  for (int frame = 0; frame < 400; ++frame) {
    for (std::size_t i = 0; i < events.size(); ++i) {
      events[i] = test::MEvent{static_cast<std::uint32_t>(i % 35),
                               static_cast<std::uint32_t>((frame * 7919 + i * 104729) & 0xFFFF),
                               1000, 100, true};
    }
    test::AppendWire(hostile, test::MakeMFrame(events));
  }
  const std::string mep = dir_ / "hostile.bin";
  test::WriteBytes(mep, hostile);
  StartVesk({"--playback", mep});
  EXPECT_EQ(vesk_->Wait(120), 0) << Err();
  // A frame that never ends, 100 MB long, for the extraction tool.
  // A block at a time: a child's peak as the kernel counts it takes in the test's own.
  const std::string endless = dir_ / "endless.bin";
  {
    std::ofstream out(endless, std::ios::binary);
    out << "~M";
    const std::string block(1 << 20, 'x');
    for (int i = 0; i < 100; ++i) out << block;
  }
  const auto extract = test::RunProcess(
      VESK_EXTRACT_PATH, {"--input", endless, "--output", dir_ / "out.bin", "--mep"});
  EXPECT_EQ(extract.exitCode, 0) << extract.err;
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  EXPECT_LT(usage.ru_maxrss, 150 * 1024) << "peak resident kB of the programs run";
}

TEST_F(PlaybackRun, StopWhilePausedEndsThePlaybackAtOnce) {
  const std::string recording = MakeRecording("cast.bin", 120);
  StartVesk({"--playback", recording, "--speed", "1"});
  ASSERT_TRUE(Status("playing")) << Err();
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  vesk_->Signal(SIGUSR1);
  ASSERT_TRUE(Says("Playback Paused...")) << Err();
  ASSERT_TRUE(Status("paused"));
  Remote(1);  // no recording can start meanwhile
  ASSERT_TRUE(Says("Start ignored: a playback is running.")) << Err();
  ASSERT_TRUE(RemoteUntil(2, "idle", 3)) << vesk_->Out();  // not after the pause
  Remote(3);
  EXPECT_EQ(vesk_->Wait(10), 0) << Err();

  ExpectPlayedPartOf(recording);
}

}  // namespace
}  // namespace vesk
