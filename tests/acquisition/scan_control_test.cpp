// Scan control end to end on a real pseudo-terminal: the counter side of the line is the
// pty master in the test.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "acquisition/headless_seams.h"
#include "acquisition/vesk_doc.h"
#include "processing/batch_player.h"
#include "seams/memory_settings_store.h"
#include "test_support/pipeline.h"
#include "test_support/pty.h"
#include "test_support/run_process.h"

namespace vesk {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WaitUntil;

class ScanControl : public ::testing::Test {
 protected:
  ScanControl() {
    store_.WriteString("Settings", "DataDir", dir_.Path());
    store_.WriteString("Settings", "SurveyLat", "45.0");
    store_.WriteString("PortSettings", "Device_DU", counter_.Slave());
  }

  std::unique_ptr<CVESKDoc> MakeDoc(bool answerYes = true) {
    dialogs_ = std::make_unique<ConsoleDialogs>(answerYes, true);
    return std::make_unique<CVESKDoc>(store_, windows_, *dialogs_, clock_);
  }

  const test::TempDir dir_;
  test::Pty counter_;
  MemorySettingsStore store_;
  HeadlessWindows windows_;
  std::unique_ptr<ConsoleDialogs> dialogs_;
  SystemClock clock_;
};

TEST_F(ScanControl, SilentCounterAsksAndNoLeavesItIdle) {
  auto doc = MakeDoc(/*answerYes=*/false);
  ASSERT_TRUE(doc->ConnectCounterPort());
  doc->StartAcquisition();
  EXPECT_FALSE(doc->Scanning());
  EXPECT_EQ(dialogs_->Messages().back().rfind("WARNING !!\n\nThe VESK appears to be inactive.", 0),
            0u);
}

TEST_F(ScanControl, TwoLoggingStartsInOneSecondNeverShareFiles) {
  FixedClock fixed(test::TestTime());
  dialogs_ = std::make_unique<ConsoleDialogs>(true, true);
  CVESKDoc doc(store_, windows_, *dialogs_, fixed);
  ASSERT_TRUE(doc.ConnectCounterPort());
  doc.StartDataLogging();
  EXPECT_EQ(fs::path(doc.DatPath()).filename(), "VESK_2005-03-05_140307.dat");
  doc.StopScan();
  doc.StartDataLogging();
  EXPECT_EQ(fs::path(doc.DatPath()).filename(), "VESK_2005-03-05_140307_2.dat");
  doc.StopScan();
  EXPECT_TRUE(fs::exists(dir_ / "VESK_2005-03-05_140307.bin"));
  EXPECT_TRUE(fs::exists(dir_ / "VESK_2005-03-05_140307_2.dat"));
}

// Directories stand where the pre-logging files go: each file is told and the scan stopped.
TEST_F(ScanControl, UnusablePreLoggingFilesStopTheScanWithAMessageEach) {
  fs::create_directories(dir_ / "VESK_PRELOGGING_DATADUMP.bin");
  fs::create_directories(dir_ / "VESK_PRELOGGING_DATADUMP.dat");
  auto doc = MakeDoc();
  ASSERT_TRUE(doc->ConnectCounterPort());
  doc->StartAcquisition();
  ASSERT_TRUE(WaitUntil([&] { return windows_.Count(Uwm::PerformStop) >= 2; }, 3));
  doc->StopScan();
  int told = 0;
  for (const auto& m : dialogs_->Messages()) told += m.find("Performing STOP LOGGING") != m.npos;
  EXPECT_EQ(told, 2);  // .bin and .dat
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
  EXPECT_TRUE(status.snapshotInProgress);  // a status block is no answer to "r"
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
  ASSERT_TRUE(WaitUntil([&] { return (received += counter_.Received()) == "r"; }, 3));
  // Its answer comes in the scan's stream, between two frames.
  counter_.Send("\r\nSNAPSHOT: image taken, held in memory\r\n");
  ASSERT_TRUE(WaitUntil(
      [&] { return doc->PollCounterStatus().snapshot.outcome == SnapshotOutcome::Done; }, 3));
  EXPECT_FALSE(doc->PollCounterStatus().snapshotInProgress);
  doc->StopScan();
  EXPECT_EQ(counter_.Received(), "q");
}

TEST_F(ScanControl, APlaybackStartsFromScratchWhateverWasPlayedBefore) {
  // One recording with the counter words N and T, then one whose frames lack them (and a
  // third of the same): each playback writes what a batch run of it alone writes.
  store_.WriteInt("Options", "AddHeaderToDatFile", 0);
  store_.WriteInt("Settings", "AuxPortMode", 1);  // a playback has no auxiliary port to wait on
  const std::string withCounter = dir_ / "a.bin";
  const std::string withoutCounter = dir_ / "b.bin";
  test::WriteBytes(withCounter, test::MixedStream(40, 2, 5, 3));
  test::Bytes b;
  for (int i = 0; i < 40; ++i) {
    test::LFrameFields l;
    l.bins[5] = static_cast<std::uint16_t>(i);
    l.housekeeping = {1, 2, 3, 100, 1000, 5, 7};
    l.length = 271;
    test::AppendWire(b, test::MakeLFrame(l));
  }
  test::WriteBytes(withoutCounter, b);
  auto doc = MakeDoc();
  BatchPlayer batch(store_, clock_);
  for (const std::string& played : {withCounter, withoutCounter, withoutCounter}) {
    SCOPED_TRACE(played);
    doc->PreparePlayback(played);
    doc->SetPlaybackSpeed(0);
    ASSERT_TRUE(doc->StartScan());
    ASSERT_TRUE(WaitUntil([&] { return doc->Playback().atEnd; }, 10));
    EXPECT_EQ(doc->Playback().done, doc->Playback().total);
    doc->StopScan();
    doc->EndPlayback();
    ASSERT_TRUE(batch.Run(played, dir_ / "batch.dat").ok);
    EXPECT_EQ(ReadFile(doc->DatPath()), ReadFile(dir_ / "batch.dat"));
  }
}

}  // namespace
}  // namespace vesk
