// Scan control end to end on a real pseudo-terminal: the counter side of the line is the
// pty master in the test.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "acquisition/headless_seams.h"
#include "acquisition/vesk_doc.h"
#include "processing/batch_player.h"
#include "seams/memory_settings_store.h"
#include "test_support/frame_builder.h"
#include "test_support/pty.h"

namespace vesk {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string LFrameWire(std::uint16_t binValue) {
  std::vector<std::uint8_t> payload(273, 0);
  for (int k = 0; k < 128; ++k) payload[2 * k + 1] = static_cast<std::uint8_t>(binValue);
  const auto wire = EncodeFrame('L', payload);
  return std::string(wire.begin(), wire.end());
}

template <class Pred>
bool WaitFor(Pred pred, int ms = 3000) {
  for (int waited = 0; waited < ms; waited += 10) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return pred();
}

class ScanControl : public ::testing::Test {
 protected:
  ScanControl() {
    char pattern[] = "/tmp/vesk-scan-XXXXXX";
    dir_ = ::mkdtemp(pattern);
    store_.WriteString("Settings", "DataDir", dir_);
    store_.WriteString("Settings", "SurveyLat", "45.0");
    store_.WriteString("PortSettings", "Device_DU", counter_.Slave());
  }
  ~ScanControl() override { fs::remove_all(dir_); }

  std::unique_ptr<CVESKDoc> MakeDoc(bool answerYes = true) {
    dialogs_ = std::make_unique<ConsoleDialogs>(answerYes, true);
    return std::make_unique<CVESKDoc>(store_, windows_, *dialogs_, clock_);
  }

  std::string dir_;
  test::Pty counter_;
  MemorySettingsStore store_;
  HeadlessWindows windows_;
  std::unique_ptr<ConsoleDialogs> dialogs_;
  SystemClock clock_;
};

TEST_F(ScanControl, SilentCounterAsksAndNoLeavesItIdle) {
  auto doc = MakeDoc(/*answerYes=*/false);
  ASSERT_TRUE(doc->ConnectCounterPort());
  EXPECT_EQ(counter_.Received(), "q");
  doc->StartAcquisition();
  EXPECT_FALSE(doc->Scanning());
  EXPECT_EQ(dialogs_->Messages().back().rfind("WARNING !!\n\nThe VESK appears to be inactive.", 0),
            0u);
}

TEST_F(ScanControl, ACounterThatStreamedUntilTheStopIsNotAskedAboutAtTheNextStart) {
  auto doc = MakeDoc(/*answerYes=*/false);
  ASSERT_TRUE(doc->ConnectCounterPort());
  counter_.Send("SERIAL NO: 0042\r\n");  // the idle poll hears the counter
  ASSERT_TRUE(WaitFor([&] { return doc->PollCounterStatus().responding; }));
  doc->StartAcquisition();
  ASSERT_TRUE(doc->Scanning());
  counter_.Send(LFrameWire(1));
  ASSERT_TRUE(WaitFor([&] { return doc->Results().LFrames() >= 1; }));
  doc->StopScan();
  doc->PollCounterStatus();  // the counter says nothing after the stop
  doc->StartAcquisition();
  EXPECT_TRUE(doc->Scanning());
  doc->StopScan();
  for (const auto& m : dialogs_->Messages()) {
    EXPECT_EQ(m.find("appears to be inactive"), std::string::npos);
  }
}

TEST_F(ScanControl, TwoLoggingStartsInOneSecondNeverShareFiles) {
  std::tm when{};
  when.tm_year = 105;
  when.tm_mon = 2;
  when.tm_mday = 5;
  when.tm_hour = 14;
  when.tm_min = 3;
  when.tm_sec = 7;
  FixedClock fixed(when);
  dialogs_ = std::make_unique<ConsoleDialogs>(true, true);
  CVESKDoc doc(store_, windows_, *dialogs_, fixed);
  ASSERT_TRUE(doc.ConnectCounterPort());
  doc.StartDataLogging();
  EXPECT_EQ(fs::path(doc.DatPath()).filename(), "VESK_2005-03-05_140307.dat");
  doc.StopScan();
  doc.StartDataLogging();
  EXPECT_EQ(fs::path(doc.DatPath()).filename(), "VESK_2005-03-05_140307_2.dat");
  doc.StopScan();
  EXPECT_TRUE(fs::exists(dir_ + "/VESK_2005-03-05_140307.bin"));
  EXPECT_TRUE(fs::exists(dir_ + "/VESK_2005-03-05_140307_2.dat"));
}

TEST_F(ScanControl, UnusableFoldersAndFilesRefuseOrStopTheScanWithAMessageEach) {
  // A data folder that cannot be made: the scan is refused, told once, and no stop is asked.
  std::ofstream(dir_ + "/plainfile") << "x";
  store_.WriteString("Settings", "DataDir", dir_ + "/plainfile/sub");
  auto doc = MakeDoc();
  ASSERT_TRUE(doc->ConnectCounterPort());
  doc->StartDataLogging();
  EXPECT_FALSE(doc->Scanning());
  const auto count = [&](const char* text) {
    int n = 0;
    for (const auto& m : dialogs_->Messages()) n += m.find(text) != std::string::npos;
    return n;
  };
  EXPECT_EQ(count("The data directory cannot be written"), 1);
  EXPECT_EQ(count("Performing STOP LOGGING"), 0);
  EXPECT_EQ(windows_.Count(Uwm::PerformStop), 0);

  // A writable folder, but directories stand where the pre-logging files go: each file is
  // told and the scan stopped.
  fs::create_directories(dir_ + "/data/VESK_PRELOGGING_DATADUMP.bin");
  fs::create_directories(dir_ + "/data/VESK_PRELOGGING_DATADUMP.dat");
  store_.WriteString("Settings", "DataDir", dir_ + "/data");
  doc.reset();
  doc = MakeDoc();
  ASSERT_TRUE(doc->ConnectCounterPort());
  doc->StartAcquisition();
  ASSERT_TRUE(WaitFor([&] { return windows_.Count(Uwm::PerformStop) >= 2; }));
  doc->StopScan();
  EXPECT_EQ(count("Performing STOP LOGGING"), 2);  // .bin and .dat
}

TEST_F(ScanControl, IdlePollKeepsTheCounterStatusAndItsLatestTextBlock) {
  auto doc = MakeDoc();
  ASSERT_TRUE(doc->ConnectCounterPort());
  EXPECT_FALSE(doc->PollCounterStatus().responding);
  counter_.Send("VESK VERSION: 2.30\r\nSERIAL NO: 00");
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  auto status = doc->PollCounterStatus();
  EXPECT_TRUE(status.responding);
  EXPECT_TRUE(status.newEepromText);
  EXPECT_EQ(store_.ReadString("Settings", "VeskEepromData", ""), "VESK VERSION: 2.30\r\n");

  doc->TakeSnapShot();
  EXPECT_TRUE(doc->PollCounterStatus().snapshotInProgress);
  counter_.Send("42\r\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  status = doc->PollCounterStatus();
  EXPECT_FALSE(status.snapshotInProgress);  // the counter answered with a text block
  EXPECT_EQ(doc->Settings().eepromData, "SERIAL NO: 0042\r\n");

  // Line noise is no part of the text that every file header carries (and that readers end
  // at its first "~").
  counter_.Send(std::string("~L\x01\x02~*SERIAL\x7F NO: 0043\xFF\r\n", 25));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  doc->PollCounterStatus();
  EXPECT_EQ(doc->Settings().eepromData, "L*SERIAL NO: 0043\r\n");
}

TEST_F(ScanControl, ACommandQueuedDuringAScanReachesTheCounterBetweenReads) {
  auto doc = MakeDoc();
  ASSERT_TRUE(doc->ConnectCounterPort());
  EXPECT_EQ(counter_.Received(), "q");
  doc->StartAcquisition();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(counter_.Received(), "a");
  doc->TakeSnapShot();
  std::string received;
  ASSERT_TRUE(WaitFor([&] { return (received += counter_.Received()) == "r"; }));
  doc->StopScan();
  EXPECT_EQ(counter_.Received(), "q");
}

TEST_F(ScanControl, APlaybackStartsFromScratchWhateverWasPlayedBefore) {
  // One recording with the counter words N and T, then one whose frames lack them (and a
  // third of the same): each playback writes what a batch run of it alone writes.
  store_.WriteInt("Options", "AddHeaderToDatFile", 0);
  store_.WriteInt("Settings", "AuxPortMode", 1);  // a playback has no auxiliary port to wait on
  const std::string withCounter = dir_ + "/a.bin";
  const std::string withoutCounter = dir_ + "/b.bin";
  const test::Bytes a = test::MixedStream(40, 2, 5, 3);
  test::Bytes b;
  for (int i = 0; i < 40; ++i) {
    test::LFrameFields l;
    l.bins[5] = static_cast<std::uint16_t>(i);
    l.housekeeping = {1, 2, 3, 100, 1000, 5, 7};
    l.length = 271;
    test::AppendWire(b, test::MakeLFrame(l));
  }
  std::ofstream(withCounter, std::ios::binary)
      .write(reinterpret_cast<const char*>(a.data()), static_cast<std::streamsize>(a.size()));
  std::ofstream(withoutCounter, std::ios::binary)
      .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  auto doc = MakeDoc();
  BatchPlayer batch(store_, clock_);
  for (const std::string& played : {withCounter, withoutCounter, withoutCounter}) {
    SCOPED_TRACE(played);
    doc->PreparePlayback(played);
    doc->SetPlaybackSpeed(0);
    ASSERT_TRUE(doc->StartScan());
    ASSERT_TRUE(WaitFor([&] { return doc->Playback().atEnd; }, 10000));
    EXPECT_EQ(doc->Playback().done, doc->Playback().total);
    doc->SetPlaybackPaused(true);  // a stop during a pause must not hang
    doc->StopScan();
    doc->EndPlayback();
    ASSERT_TRUE(batch.Run(played, dir_ + "/batch.dat").ok);
    EXPECT_EQ(ReadAll(doc->DatPath()), ReadAll(dir_ + "/batch.dat"));
  }
}

}  // namespace
}  // namespace vesk
