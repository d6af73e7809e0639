// The batch player: a recorded .bin in, the .dat and the run's counts out.

#include "processing/batch_player.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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
  std::string Dat() const { return ReadFile(dir / "in.dat"); }

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

TEST_F(BatchPlayerTest, OutputNameAndReplacement) {
  EXPECT_EQ(player.PlaybackOutputPath("/data/cast01.bin", "/out"),
            "/out/cast01_PB_2005-03-05_140307.dat");
  EXPECT_EQ(player.PlaybackOutputPath("cast01.bin", "/out/"),
            "/out/cast01_PB_2005-03-05_140307.dat");

  // A failed run leaves an existing output alone and no partial file behind.
  WriteFile(dir / "keep.dat", "old contents");
  const BatchResult missing = player.Run(dir / "missing.bin", dir / "keep.dat");
  EXPECT_FALSE(missing.ok);
  EXPECT_NE(missing.error.find(dir / "missing.bin"), std::string::npos) << missing.error;
  EXPECT_NE(missing.error.find("No such file"), std::string::npos) << missing.error;
  EXPECT_EQ(ReadFile(dir / "keep.dat"), "old contents");
  EXPECT_EQ(ReadFile(dir / "keep.dat.partial"), "<missing>");

  const BatchResult isDir = player.Run(dir.Path(), dir / "keep.dat");
  EXPECT_FALSE(isDir.ok);
  EXPECT_NE(isDir.error.find("directory"), std::string::npos) << isDir.error;
  EXPECT_EQ(ReadFile(dir / "keep.dat"), "old contents");

  // A complete run replaces it.
  store.Write(keys::kAddHeaderToDatFile, 0);
  const BatchResult ok =
      Play(Wire(MakeMFrame(std::vector<MEvent>{{1, 2, 3, 4, false}})), dir / "keep.dat");
  ASSERT_TRUE(ok.ok) << ok.error;
  EXPECT_EQ(ReadFile(dir / "keep.dat"), "M 1 2 3 4 \r\n");
  EXPECT_EQ(ReadFile(dir / "keep.dat.partial"), "<missing>");
}

TEST_F(BatchPlayerTest, UnwritableOutputIsReported) {
  WriteFile(dir / "plain", "x");
  struct Case {
    const char* name;
    std::string output;
    const char* reason;
  };
  const Case cases[] = {
      {"under a regular file", dir / "plain/out.dat", "Not a directory"},
      {"missing directory", dir / "nodir/out.dat", "No such file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const BatchResult r = Play(ToBytes("~Cx~*"), c.output);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find(c.output), std::string::npos) << r.error;
    EXPECT_NE(r.error.find(c.reason), std::string::npos) << r.error;
  }
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
