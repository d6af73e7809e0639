// The whole program: the simulated counter on a pseudo-terminal feeding `vesk --headless`.
// The raw file must hold every byte the counter sent, and the .dat must be what the batch
// player writes for that raw file.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "sim/counter_simulator.h"
#include "test_support/run_process.h"
#include "test_support/temp_dir.h"

namespace vesk {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::RunProcess;
using test::TempDir;

std::string FindOne(const std::string& dir, const std::string& extension) {
  std::string found;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() == extension && name.rfind("VESK_2", 0) == 0) {
      EXPECT_TRUE(found.empty()) << "more than one " << extension << " file";
      found = entry.path().string();
    }
  }
  return found;
}

TEST(HeadlessScan, RawFileHoldsEveryByteSentAndDatMatchesTheBatchPlayer) {
  TempDir dir;
  fs::create_directory(dir / "data");
  CounterSimulatorOptions options;
  options.cast.seed = 7;
  options.teePath = dir / "sent.bin";
  options.auxNmea = false;
  CounterSimulator simulator(options);
  simulator.Start();

  const std::string ini = dir / "vesk.ini";
  test::WriteFile(ini,
                  "[Settings]\nDataDir=" + (dir / "data") +
                      "\nSurveyLat=44.5\n[Options]\nAddHeaderToDatFile=0\n[PortSettings]\n"
                      "Device_DU=" +
                      simulator.SlavePath() + "\n[RemoteControl]\nPort=0\n");
  const auto run = RunProcess(VESK_PATH, {"--headless", "--log", "--duration", "5", "--settings", ini},
                              {{"QT_QPA_PLATFORM", "offscreen"}});
  simulator.Stop();
  ASSERT_EQ(run.exitCode, 0) << run.err;

  const std::string bin = FindOne(dir / "data", ".bin");
  const std::string dat = FindOne(dir / "data", ".dat");
  ASSERT_FALSE(bin.empty());
  ASSERT_FALSE(dat.empty());
  const std::string raw = ReadFile(bin);
  const std::string sent = ReadFile(dir / "sent.bin");
  ASSERT_GT(sent.size(), 4000u);
  EXPECT_EQ(raw.rfind("# ___  PC DATE-TIME  ___\r\n", 0), 0u);
  const std::size_t at = raw.find(sent);
  ASSERT_NE(at, std::string::npos) << "the raw file misses bytes the counter sent";
  EXPECT_EQ(raw.substr(0, at).find('~'), std::string::npos);

  const auto replay = RunProcess(VESK_PROCESS_PATH,
                                 {"--settings", ini, "--output", dir / "replay.dat", bin});
  ASSERT_EQ(replay.exitCode, 0) << replay.err;
  EXPECT_EQ(ReadFile(dat), ReadFile(dir / "replay.dat"));
  EXPECT_NE(run.out.find("frame errors 0"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace vesk
