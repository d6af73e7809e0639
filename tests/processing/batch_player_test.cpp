// The batch player: a recorded .bin in, the .dat and the run's counts out.

#include "processing/batch_player.h"

#include <gtest/gtest.h>

#include <string>

#include "seams/memory_settings_store.h"
#include "test_support/pipeline.h"

namespace vesk::test {
namespace {

class BatchPlayerTest : public testing::Test {
 protected:
  BatchResult Play(const Bytes& bin, const std::string& out = "") {
    WriteBytes(dir / "in.bin", bin);
    return player.Run(dir / "in.bin", out.empty() ? dir / "in.dat" : out);
  }

  TempDir dir;
  MemorySettingsStore store;
  FixedClock clock{TestTime()};
  BatchPlayer player{store, clock};
};

LFrameFields Ones() {
  LFrameFields s;
  s.bins.fill(1);
  return s;
}

TEST_F(BatchPlayerTest, OverlongFrameIsAFrameError) {
  Bytes bin = ToBytes("~M");
  bin.resize(bin.size() + 70000, 'a');
  AppendText(bin, "~*");
  AppendWire(bin, MakeLFrame(Ones()));
  const BatchResult r = Play(bin);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.frames, (std::array<std::uint64_t, 4>{1, 0, 0, 0}));
  EXPECT_EQ(r.frameErrors, 1u);
  EXPECT_EQ(r.lFrameCount, 1u);
}

TEST_F(BatchPlayerTest, ProgressReachesTheTotal) {
  const Bytes bin = MixedStream(10, 2, 3);
  WriteBytes(dir / "in.bin", bin);
  std::uint64_t lastDone = 0, lastTotal = 0;
  const BatchResult r =
      player.Run(dir / "in.bin", dir / "in.dat", [&](std::uint64_t done, std::uint64_t total) {
        EXPECT_GE(done, lastDone);
        lastDone = done;
        lastTotal = total;
      });
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(lastDone, bin.size());
  EXPECT_EQ(lastTotal, bin.size());
}

}  // namespace
}  // namespace vesk::test
