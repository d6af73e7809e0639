// The decimal instruments (models 0 to 3), the OS200 and the dispatcher's own rules.

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "instruments/ctd_catalogue.h"
#include "instruments/ctd_conversions.h"
#include "instruments/ctd_test_support.h"
#include "test_support/locale.h"

namespace vesk {
namespace {

using test::DecoderRig;
using test::SameRecord;

constexpr double kNoValue = -999;  // "field not written" in the tables below

struct DecimalCase {
  int model;
  bool viaMux;
  const char* line;
  double conductivity, temperature, pressure, analog;
};

TEST(DecimalInstruments, LinesFillTheRecordByModel) {
  const DecimalCase cases[] = {
      // Micro CTD: pressure, conductivity, temperature, analog
      {0, false, "  +10.5\t30.1   12.3 0.7\r", 30.1f, 12.3f, 10.5f, 0.7f},
      {0, true, "10.5 30.1 12.3", 30.1f, 12.3f, 10.5f, kNoValue},
      {0, true, "10.5 30.1 12.3 0.7", 30.1f, 12.3f, 10.5f, 0.7f},
      // SBE 911plus: temperature, conductivity, pressure, analog
      {1, true, "12.3 3.51 100.25", 3.51f, 12.3f, 100.25f, kNoValue},
      {1, false, "1.5e1 3.5E0 1e2 -1", 3.5f, 15, 100, -1},
      // Flowmeter: four comma-separated values ignored, then pressure and analog
      {2, false, "1,2,3,4, 55.5 0.2", 0, 0, 55.5f, 0.2f},
      {2, true, "1,2,3,4,55.5", 0, 0, 55.5f, kNoValue},
      // Pressure sensor: pressure, analog; via the multiplexer one value goes to analog
      {3, false, "123.4 5", 0, 0, 123.4f, 5},
      {3, true, "123.4", 0, 0, kNoValue, 123.4f},
  };
  for (const DecimalCase& c : cases) {
    DecoderRig rig(c.model, c.viaMux);
    rig.decoder.sample = CtdSample{9, 9, 9, 9, 0};
    const std::string logged = rig.Decode(c.line);
    const CtdSample& s = rig.Sample();
    SCOPED_TRACE(std::string("model ") + std::to_string(c.model) + " line '" + c.line + "'");
    EXPECT_EQ(s.conductivity, c.conductivity);
    EXPECT_EQ(s.temperature, c.temperature);
    EXPECT_EQ(s.pressure, c.pressure == kNoValue ? 9 : c.pressure);
    EXPECT_EQ(s.analog, c.analog == kNoValue ? 9 : c.analog);
    EXPECT_EQ(logged, c.line);  // logged verbatim
    EXPECT_EQ(rig.decoder.lastLine, c.line);
  }
}

TEST(DecimalInstruments, BrokenLinesLeaveTheRecordAlone) {
  struct Broken {
    int model;
    bool viaMux;
    const char* line;
  };
  const Broken cases[] = {
      {0, false, "10.5 30.1 12.3"},  // one short without the multiplexer
      {0, true, "10.5 30.1"},        // two short with it
      {0, false, ""},
      {0, false, "abc 1 2 3"},
      {0, false, "1,2 3 4"},  // stops at the comma
      {1, false, "12.3 x 100 2"},
      {2, false, "1.1 2.2 3.3 4.4 55.5 0.2"},   // blanks where commas belong
      {2, false, "1.1 ,2.2,3.3,4.4,55.5 0.2"},  // a blank before a comma
      {2, true, "1,2,3,4"},
      {3, false, "123.4"},
      {3, true, ""},
      {3, true, "  \r\n"},
  };
  for (const Broken& c : cases) {
    DecoderRig rig(c.model, c.viaMux);
    rig.Decode(c.model == 2 ? "1,2,3,4,55.5 0.2" : "10 4.2 15 1");
    const CtdSample before = rig.Sample();
    const std::string logged = rig.Decode(c.line);
    EXPECT_TRUE(SameRecord(rig.Sample(), before)) << "model " << c.model << " '" << c.line << "'";
    EXPECT_EQ(logged, c.line);
  }
}

TEST(DecimalInstruments, NumbersReadInTheCLocaleWhateverTheProcessLocale) {
  test::DecimalCommaLocale locale;
  if (locale.Name().empty()) GTEST_SKIP() << "no locale with a decimal comma available";
  DecoderRig rig(1);
  {
    test::ScopedLocale scoped(locale.Name());
    ASSERT_TRUE(scoped.Ok());
    rig.Decode("12.5 3.25 100.75 1");
  }
  EXPECT_EQ(rig.Sample().temperature, 12.5);
  EXPECT_EQ(rig.Sample().pressure, 100.75);
}

// Salinity follows every line taken, in the unit of each model, and needs a conductivity.
TEST(Salinity, FollowsEveryLineInTheModelsUnit) {
  DecoderRig rig(1);  // S/m
  rig.Decode("15 4.2914 0 0");
  EXPECT_NEAR(rig.Sample().salinity, 35.000, 5e-4);
  DecoderRig micro(0);  // mS/cm
  micro.Decode("0 42.914 15 0");
  EXPECT_NEAR(micro.Sample().salinity, 35.000, 5e-4);
  DecoderRig flow(2);
  flow.decoder.sample.salinity = 33;  // from an earlier instrument
  flow.Decode("1,2,3,4,55.5 0.2");
  EXPECT_EQ(flow.Sample().salinity, 0);
}

TEST(Dispatcher, UndefinedModelWarnsOncePerScan) {
  DecoderRig rig(9);
  for (int i = 0; i < 5; ++i) rig.Decode("10 4.2 15 1");
  EXPECT_EQ(rig.dialogs.MessageCount(), 1);
  EXPECT_EQ(rig.decoder.warnings.Count(kUndefinedInstrument), 5);
  EXPECT_TRUE(SameRecord(rig.Sample(), CtdSample{}));
  rig.decoder.StartScan();
  rig.Decode("10 4.2 15 1");
  EXPECT_EQ(rig.dialogs.MessageCount(), 2);
  rig.Select(-1);
  rig.Decode("10 4.2 15 1");
  EXPECT_EQ(rig.dialogs.MessageCount(), 2);
}

TEST(Dispatcher, StartOfScanClearsTheRecord) {
  DecoderRig rig(1);
  rig.Decode("15 4.2914 10 1");
  rig.decoder.StartScan();
  EXPECT_TRUE(SameRecord(rig.Sample(), CtdSample{}));
}

class Os200Test : public ::testing::Test {
 protected:
  Os200Test() {
    rig.Set("OS200Config", "CA", "0.1");
    rig.Set("OS200Config", "CB", "0.01");
    rig.Set("OS200Config", "PA", "1");
    rig.Set("OS200Config", "PB", "0.5");
    rig.Set("OS200Config", "TA", "1");
    rig.Set("OS200Config", "TB", "2");
    rig.Set("OS200Config", "TC", "0.5");
    rig.Set("OS200Config", "TD", "0.25");
  }
  DecoderRig rig{CtdCatalogue::kOs200};
};

TEST_F(Os200Test, ReadingsAgainstTheZeroReference) {
  const std::string line = "120.0 50.0 12.718281828 10.0 3.3";
  EXPECT_EQ(rig.Decode(line), line);
  const CtdSample& s = rig.Sample();
  EXPECT_NEAR(s.conductivity, 1.2, 1e-6);                // (120 - 10) * 0.01 + 0.1
  EXPECT_NEAR(s.pressure, 40 * 0.5 * 1.4503 + 1, 1e-5);  // (50 - 10) * PB * 1.4503 + PA
  EXPECT_NEAR(s.temperature, 1 + 2 + 0.5 + 0.25, 1e-5);  // ln(s3 - s4) = 1
  EXPECT_EQ(s.analog, 3.3f);

  rig.Decode("120.0 50.0 12.718281828 10.0");  // four values: analog kept
  EXPECT_EQ(rig.Sample().analog, 3.3f);
}

TEST_F(Os200Test, ShortLinesAreIgnored) {
  rig.Decode("120.0 50.0 12.718281828 10.0 3.3");
  const CtdSample before = rig.Sample();
  for (const char* line : {"1 2 3", "1 2 34", "", "x 1 2 3 4 5", "1 2 3 x 5"}) {
    rig.Decode(line);
    EXPECT_TRUE(SameRecord(rig.Sample(), before)) << line;
  }
  rig.Decode("1 2 3 4");  // seven characters, four values: taken
  EXPECT_NE(rig.Sample().conductivity, before.conductivity);
}

}  // namespace
}  // namespace vesk
