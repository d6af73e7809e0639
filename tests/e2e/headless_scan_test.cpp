// The whole program: the simulated counter on a pseudo-terminal feeding `vesk --headless`.
// The raw file must hold every byte the counter sent, and the .dat must be what the batch
// player writes for that raw file.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/headless_support.h"
#include "sim/counter_simulator.h"
#include "test_support/run_process.h"
#include "test_support/temp_dir.h"

namespace vesk {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::RunProcess;
using test::TempDir;

TEST(HeadlessScan, RawFileHoldsEveryByteSentAndDatMatchesTheBatchPlayer) {
  TempDir dir;
  fs::create_directory(dir / "data");
  CounterSimulatorOptions options;
  options.cast.seed = 7;
  options.teePath = dir / "sent.bin";
  options.auxNmea = false;
  CounterSimulator simulator(options);
  simulator.Start();

  const std::string ini =
      test::WriteHeadlessSettings(dir, dir / "data", simulator.SlavePath(), /*udpPort=*/0);
  const auto run =
      RunProcess(VESK_PATH, {"--headless", "--log", "--duration", "5", "--settings", ini},
                 {{"QT_QPA_PLATFORM", "offscreen"}});
  simulator.Stop();
  ASSERT_EQ(run.exitCode, 0) << run.err;

  const std::vector<std::string> bins = test::Recordings(dir / "data", ".bin");
  const std::vector<std::string> dats = test::Recordings(dir / "data", ".dat");
  ASSERT_EQ(bins.size(), 1u);
  ASSERT_EQ(dats.size(), 1u);
  const std::string& bin = bins[0];
  const std::string& dat = dats[0];
  const std::string raw = ReadFile(bin);
  const std::string sent = ReadFile(dir / "sent.bin");
  ASSERT_GT(sent.size(), 4000u);
  EXPECT_EQ(raw.rfind("# ___  PC DATE-TIME  ___\r\n", 0), 0u);
  const std::size_t at = raw.find(sent);
  ASSERT_NE(at, std::string::npos) << "the raw file misses bytes the counter sent";
  EXPECT_EQ(raw.substr(0, at).find('~'), std::string::npos);

  const auto replay =
      RunProcess(VESK_PROCESS_PATH, {"--settings", ini, "--output", dir / "replay.dat", bin});
  ASSERT_EQ(replay.exitCode, 0) << replay.err;
  EXPECT_EQ(ReadFile(dat), ReadFile(dir / "replay.dat"));
  EXPECT_NE(run.out.find("frame errors 0"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace vesk
