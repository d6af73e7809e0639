// A recorded .bin with CTD lines played through the batch player: the record at the end and
// the "C" lines of the .dat.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "seams/memory_settings_store.h"
#include "processing/batch_player.h"
#include "processing/deframer.h"
#include "test_support/pipeline.h"
#include "test_support/temp_dir.h"

namespace vesk {
namespace {

std::vector<std::uint8_t> CFrames(const std::vector<std::string>& lines) {
  std::vector<std::uint8_t> bytes;
  const std::string header = "recorded by the counter\r\n";
  bytes.insert(bytes.end(), header.begin(), header.end());
  for (const std::string& line : lines) {
    const auto frame = EncodeFrame(
        'C', std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size()));
    bytes.insert(bytes.end(), frame.begin(), frame.end());
  }
  return bytes;
}

class CtdBatchTest : public ::testing::Test {
 protected:
  CtdBatchTest() {
    store.Write(keys::kAddHeaderToDatFile, 0);
    store.Write(keys::kSurveyLat, "30.0");
  }
  BatchResult Play(const std::vector<std::string>& lines) {
    test::WriteBytes(dir / "cast.bin", CFrames(lines));
    BatchPlayer player(store, clock);
    return player.Run(dir / "cast.bin", dir / "cast.dat");
  }
  std::vector<std::string> DatLines() { return test::SplitLines(test::ReadFile(dir / "cast.dat")); }

  MemorySettingsStore store;
  FixedClock clock{test::TestTime()};
  test::TempDir dir;
};

TEST_F(CtdBatchTest, MicroCtdLinesAreLoggedAsReceived) {
  store.Write(keys::kModelCtd, 0);
  const BatchResult r = Play({"10.5 30.1 12.3 0.7", "0 42.914 15 1.5", "broken"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.frames[2], 3u);
  EXPECT_EQ(r.ctd.pressure, 0);
  EXPECT_EQ(r.ctd.conductivity, 42.914f);
  EXPECT_EQ(r.ctd.temperature, 15);
  EXPECT_EQ(r.ctd.analog, 1.5);
  EXPECT_NEAR(r.ctd.salinity, 35.000, 1e-3);
  EXPECT_EQ(DatLines(),
            (std::vector<std::string>{"C 10.5 30.1 12.3 0.7", "C 0 42.914 15 1.5", "C broken"}));
}

TEST_F(CtdBatchTest, Sbe19LinesAreRewritten) {
  store.Write(keys::kModelCtd, 4);
  store.WriteString("TC_Coeff", "TempCoeff_G", "0.003");
  store.WriteString("TC_Coeff", "TempCoeff_H", "0.0005");
  store.WriteString("TC_Coeff", "TempCoeff_F0G", "5436.563656918091");
  store.WriteString("TC_Coeff", "CondCoeff_H", "2.5");
  store.WriteString("TC_Coeff", "CondCoeff_Ctcor", "0");
  store.WriteString("TC_Coeff", "CondCoeff_CpcorG", "0");
  store.WriteString("TC_Coeff", "PresCoeff_PA0", "14.7");
  store.WriteString("TC_Coeff", "PresCoeff_PA1", "0.1");
  const BatchResult r =
      Play({"03520C9903E8 12.7 5", "03520C9903E 1 2", "051F400083E8", "03520C9907D0 3.2 6"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_NEAR(r.ctd.temperature, 1 / 0.0035 - 273.15, 1e-9);
  EXPECT_NEAR(r.ctd.conductivity, 3.900625, 1e-9);
  EXPECT_NEAR(r.ctd.pressure, 2000 * 0.1 * 0.689476, 1e-9);
  EXPECT_EQ(r.ctd.analog, 3.2f);
  EXPECT_GT(r.ctd.salinity, 0);
  EXPECT_EQ(DatLines(), (std::vector<std::string>{"C +12.564 3.901 +68.9 13 5", "C ",
                                                  "C 051F400083E8", "C +12.564 3.901 +137.9 3 6"}));
}

}  // namespace
}  // namespace vesk
