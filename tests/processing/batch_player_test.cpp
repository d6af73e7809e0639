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

}  // namespace
}  // namespace vesk::test
