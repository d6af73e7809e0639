// The Sea-Bird instruments: SBE 19, SBE 19plus, SBE 49 and SBE 25 lines, with coefficients
// chosen so that every value can be worked out by hand.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "instruments/ctd_catalogue.h"
#include "instruments/ctd_conversions.h"
#include "instruments/ctd_test_support.h"

namespace vesk {
namespace {

using test::DecoderRig;
using test::SameRecord;

// --- SBE 19 -----------------------------------------------------------------------------
// Temperature count 0x0352 = 850: 2000 Hz, ln(F0G / f) = 1, T = 1 / 0.0035 - 273.15.
// Conductivity count 0x0C99 = 3225: 3950 Hz, C = 2.5 * 3.95^2 / 10 = 3.900625 S/m.
// Pressure word 0x03E8 = 1000 counts: (14.7 + 0.1 * 1000 - 14.7) * 0.689476 = 68.9476 dbar.
constexpr double kT19 = 1 / 0.0035 - 273.15;
constexpr double kC19 = 3.900625;
constexpr double kP19 = 68.9476;

class Sbe19Test : public ::testing::Test {
 protected:
  Sbe19Test() {
    rig.Set("TC_Coeff", "TempCoeff_G", "0.003");
    rig.Set("TC_Coeff", "TempCoeff_H", "0.0005");
    rig.Set("TC_Coeff", "TempCoeff_F0G", "5436.563656918091");  // 2000 * e
    rig.Set("TC_Coeff", "CondCoeff_H", "2.5");
    rig.Set("TC_Coeff", "CondCoeff_Ctcor", "0");
    rig.Set("TC_Coeff", "CondCoeff_CpcorG", "0");
    rig.Set("TC_Coeff", "PresCoeff_PA0", "14.7");
    rig.Set("TC_Coeff", "PresCoeff_PA1", "0.1");
  }
  void ExpectSample(double t, double c, double p) {
    EXPECT_NEAR(rig.Sample().temperature, t, 1e-9);
    EXPECT_NEAR(rig.Sample().conductivity, c, 1e-9);
    EXPECT_NEAR(rig.Sample().pressure, p, 1e-9);
  }
  DecoderRig rig{CtdCode::kSbe19};
};

TEST_F(Sbe19Test, WordLayoutsAndTheRewrittenLogText) {
  struct Case {
    int analog;
    const char* line;
    const char* logged;
  };
  const Case cases[] = {
      {0, "03520C9903E8 12.7 5", "+12.564 3.901 +68.9 13 5"},
      {0, "03520c9903e8 12.2 -3", "+12.564 3.901 +68.9 12 -3"},
      {0, "03520C9903E8", "+12.564 3.901 +68.9"},  // no counter values: no suffix
      {4, "03520C99FFF80000066603E8 1 2", "+12.564 3.901 5.000 2.501 0.000 2.000 +68.9 1 2"},
  };
  for (const Case& c : cases) {
    rig.SetInt("TC_Coeff", "SBE_Analog", c.analog);
    EXPECT_EQ(rig.Decode(c.line), c.logged);
    ExpectSample(kT19, kC19, kP19);
  }
  EXPECT_EQ(rig.Sample().analog, 1);  // the decimal number of the last line
}

TEST_F(Sbe19Test, PressureSignFirmwareMultiplexerRawLoggingAndSalinity) {
  rig.Decode("03520C9943E8");  // bit 14: negative
  EXPECT_NEAR(rig.Sample().pressure, (14.7 - 100 - 14.7) * 0.689476, 1e-9);
  rig.Set("TC_Coeff", "SBEFirmwareVersion", "2.0");  // counts in eighths
  EXPECT_EQ(rig.Decode("03520C9903E8"), "+12.564 3.901 +8.6");
  EXPECT_NEAR(rig.Sample().pressure, 12.5 * 0.689476, 1e-9);
  rig.Set("TC_Coeff", "SBEFirmwareVersion", "3.0");
  rig.Set("TC_Coeff", "PresCoeff_PA1", "0.2");  // coefficients take effect on the next line
  rig.Decode("03520C9903E8");
  EXPECT_NEAR(rig.Sample().pressure, 2 * kP19, 1e-9);
  rig.Set("TC_Coeff", "PresCoeff_PA1", "0.1");

  // Salinity from the IPTS-68 temperature; the record keeps ITS-90.
  rig.Decode("03520C9903E8");
  EXPECT_NEAR(rig.Sample().salinity, PracticalSalinity(kC19, kT19 * 1.00024, kP19), 1e-12);
  EXPECT_NE(rig.Sample().salinity, PracticalSalinity(kC19, kT19, kP19));
  EXPECT_NEAR(rig.Sample().temperature, kT19, 1e-9);

  rig.Select(CtdCode::kSbe19, true);  // via the multiplexer: no counter values appended
  EXPECT_EQ(rig.Decode("03520C9903E8 12.7 5"), "+12.564 3.901 +68.9");
  EXPECT_EQ(rig.Sample().analog, 12.7f);

  rig.SetInt("TC_Coeff", "LogRawDataToAsciiFile", 1);
  rig.Select(CtdCode::kSbe19);
  EXPECT_EQ(rig.Decode("03520C9903E8 12.7 5"), "03520C9903E8 12.7 5");
  ExpectSample(kT19, kC19, kP19);
  const CtdSample before = rig.Sample();
  EXPECT_EQ(rig.Decode("03520C9903E"), "03520C9903E");  // wrong length, still logged raw
  EXPECT_TRUE(SameRecord(rig.Sample(), before));
}

TEST_F(Sbe19Test, WordsOfTheWrongFormAreNotLogged) {
  rig.Decode("03520C9903E8");
  const CtdSample before = rig.Sample();
  for (const char* line : {"03520C9903E", "03520C9903E80", "03520C99G3E8", "", "   ",
                           "03520C99FFF80003E8", "+3520C9903E8", "03520C99 03E8"}) {
    EXPECT_EQ(rig.Decode(line), "") << line;
    EXPECT_TRUE(SameRecord(rig.Sample(), before)) << line;
  }
  EXPECT_EQ(rig.Decode(std::string(5000, 'A') + " 1.5 2"), "");  // read safely, whatever the length
  EXPECT_EQ(rig.Sample().analog, 1.5f);
  rig.SetInt("TC_Coeff", "SBE_Analog", 3);  // no layout has three channels
  EXPECT_EQ(rig.Decode("03520C9903E8 1 2"), "");
  // A wrong word with the counter values still brings the analog value.
  EXPECT_EQ(rig.Sample().analog, 1);
}

TEST_F(Sbe19Test, ReferenceRecordsSetPressureAndTheReferenceFrequencies) {
  // Frequency A = 0x1F4000 / 256 = 8000 Hz, B = 0x0BB800 / 256 = 3000 Hz; pressure word with
  // bit 15 set and 1000 counts.
  rig.Decode("03520C9903E8 1 2");
  const CtdSample sample = rig.Sample();
  EXPECT_EQ(rig.Decode("051F4000C3E8"), "051F4000C3E8");  // logged as received
  EXPECT_NEAR(rig.Sample().pressure, -kP19, 1e-9);        // bit 14: negative
  EXPECT_EQ(rig.Sample().temperature, sample.temperature);
  EXPECT_EQ(rig.Sample().conductivity, sample.conductivity);
  EXPECT_EQ(rig.Sample().analog, sample.analog);
  rig.Decode("080BB80083E8");
  rig.Decode("051F400083E8");
  rig.Decode("ff0BB80083e8");
  EXPECT_NEAR(rig.Sample().pressure, kP19, 1e-9);

  // With both references, frequencies are corrected: a temperature count of 17850 reads
  // 3000 Hz, which is reference B, so it becomes B's nominal 2885.629 Hz.
  rig.Set("TC_Coeff", "TempCoeff_F0G", "2885.629182178127");
  rig.Decode("45BA0C9903E8");
  EXPECT_NEAR(rig.Sample().temperature, 1 / 0.003 - 273.15, 1e-6);
}

// --- SBE 19plus ---------------------------------------------------------------------------
// Temperature count 0x080000 is 0 V: R = 5000 ohm, A0 = 1/283.15 gives 10 deg C.
// Conductivity 0x0F0000 / 256 = 3840 Hz: 0.25 * 3.84^2 = 3.6864 S/m.
// Pressure count 0x0186A0 = 100000: (14.7 + 0.001 * 100000 - 14.7) * 0.689476 dbar.

class Sbe19plusTest : public ::testing::Test {
 protected:
  Sbe19plusTest() {
    rig.Set("SBE19plusConfig", "A0", "0.0035316969803990819");  // 1 / 283.15
    rig.Set("SBE19plusConfig", "H", "0.25");
    rig.Set("SBE19plusConfig", "CPcor", "0");
    rig.Set("SBE19plusConfig", "CTcor", "0");
    rig.Set("SBE19plusConfig", "PA0", "14.7");
    rig.Set("SBE19plusConfig", "PA1", "0.001");
    rig.Set("SBE19plusConfig", "PTCB0", "1");
  }
  DecoderRig rig{CtdCode::kSbe19plus};
};

TEST_F(Sbe19plusTest, HexWords) {
  struct Case {
    int inputs;
    bool viaMux;
    const char* line;
    const char* logged;
  };
  const Case cases[] = {
      {0, false, "0800000F00000186A08000 12.7 5", "+10.0000 3.68640 +68.948  13 5"},
      {0, true, "0800000F00000186A08000 12.7 5", "+10.0000 3.68640 +68.948 "},
      {0, false, "0800000F00000186A08000", "+10.0000 3.68640 +68.948 "},
      {1, false, "0800000F00000186A080004000 1 2", "+10.0000 3.68640 +68.948 1.2500 1 2"},
      {2, false, "0800000F00000186A080004000FFFF 1 2",
       "+10.0000 3.68640 +68.948 1.2500 5.0000 1 2"},
  };
  for (const Case& c : cases) {
    rig.SetInt("SBE19plusConfig", "AnalogInputs", c.inputs);
    rig.Select(CtdCode::kSbe19plus, c.viaMux);
    EXPECT_EQ(rig.Decode(c.line), c.logged);
    EXPECT_FLOAT_EQ(rig.Sample().temperature, 10.0f);
    EXPECT_FLOAT_EQ(rig.Sample().conductivity, 3.6864f);
    EXPECT_FLOAT_EQ(rig.Sample().pressure, 68.9476f);
    // The values pass through 32-bit floats.
    EXPECT_EQ(rig.Sample().pressure,
              static_cast<double>(static_cast<float>(rig.Sample().pressure)));
  }
}

TEST_F(Sbe19plusTest, HexWordOfTheWrongLengthIsNotDecoded) {
  rig.Decode("0800000F00000186A08000");
  const CtdSample before = rig.Sample();
  for (const char* line :
       {"0800000F00000186A0800", "0800000F00000186A080001", "0800000F0000X186A08000", ""}) {
    EXPECT_EQ(rig.Decode(line), line);
    EXPECT_TRUE(SameRecord(rig.Sample(), before)) << line;
  }
  rig.SetInt("SBE19plusConfig", "AnalogInputs", 5);
  rig.Decode("0800000F00000186A08000400040004000400040000");
  EXPECT_TRUE(SameRecord(rig.Sample(), before));
}

TEST_F(Sbe19plusTest, DecimalLines) {
  struct Case {
    int inputs;
    bool sal, sv, viaMux;
    const char* line;
    bool taken;
    double analog;
  };
  const Case cases[] = {
      {0, false, false, false, "  10.1234,  3.45678,  100.123 12.7 5", true, 12.7f},
      {4, true, true, false, "10.1234, 3.45678, 100.123, 1, 2, 3, 4, 34.5678, 1500.123 -1.5 5",
       true, -1.5f},
      {4, true, true, false, "10.1234, 3.45678, 100.123, 1, 2, 3, 4, 34.5678 -1.5 5", false, 0},
      {0, false, false, true, "10.1234, 3.45678, 100.123", true, 0},
      {0, false, false, true, "10.1234, 3.45678", false, 0},
  };
  for (const Case& c : cases) {
    DecoderRig r(CtdCode::kSbe19plus, c.viaMux);
    r.SetInt("SBE19plusConfig", "OutputFormat", 1);
    r.SetInt("SBE19plusConfig", "AnalogInputs", c.inputs);
    r.SetInt("SBE19plusConfig", "OutputSal", c.sal);
    r.SetInt("SBE19plusConfig", "OutputSV", c.sv);
    EXPECT_EQ(r.Decode(c.line), c.line);
    SCOPED_TRACE(c.line);
    CtdSample expected;
    if (c.taken) {
      // Salinity comes from the conductivity, not from the line.
      EXPECT_NEAR(r.Sample().salinity, PracticalSalinity(3.45678f, 10.1234f, 100.123f), 1e-9);
      expected = {3.45678f, 10.1234f, 100.123f, c.analog, r.Sample().salinity};
    }
    EXPECT_TRUE(SameRecord(r.Sample(), expected));
  }
}

TEST_F(Sbe19plusTest, UnknownOutputFormatWarnsOncePerScan) {
  rig.SetInt("SBE19plusConfig", "OutputFormat", 2);
  for (int i = 0; i < 4; ++i) rig.Decode("0800000F00000186A08000");
  EXPECT_TRUE(SameRecord(rig.Sample(), CtdSample{}));
  EXPECT_EQ(rig.dialogs.MessageCount(), 1);
}

// --- SBE 49 -------------------------------------------------------------------------------

class Sbe49Test : public ::testing::Test {
 protected:
  Sbe49Test() {
    rig.Set("SBE49", "TA0", "0.0035316969803990819");  // 15000 ohm at 0 V: 10 deg C
    rig.Set("SBE49", "H", "0.25");
    rig.Set("SBE49", "PA0", "14.7");
    rig.Set("SBE49", "PA1", "0.001");
    rig.Set("SBE49", "PTCB0", "1");
    rig.Select(CtdCode::kSbe49);
  }
  DecoderRig rig{CtdCode::kSbe49};
};

TEST_F(Sbe49Test, ThreeOutputFormatsKeepPressureInThePressureField) {
  struct Case {
    const char* line;
    double t, c, p, analog, salinity;  // salinity < 0: computed from C, T, P
  };
  const Case cases[] = {
      {"  23.7151,  4.12345,   100.123,  35.1234, 1520.123 17 9", 23.7151f, 4.12345f, 100.123f, 17,
       35.1234f},
      {"23.7151,4.12345,100.123 0x10 9", 23.7151f, 4.12345f, 100.123f, 16, -1},
      {"23.7151,4.12345,100.123,1520.123", 23.7151f, 4.12345f, 100.123f, 0, -1},
      {"2DC6C053EC60055730 3", 20.0, 4.5, 250.0, 3, -1},
      {"0800000F00000186A08000 5 6", 10.0, 3.6864, 68.9476, 5, -1},
  };
  for (const Case& c : cases) {
    rig.decoder.StartScan();
    EXPECT_EQ(rig.Decode(c.line), c.line);
    SCOPED_TRACE(c.line);
    const CtdSample& s = rig.Sample();
    EXPECT_NEAR(s.temperature, c.t, 1e-9);
    EXPECT_NEAR(s.conductivity, c.c, 1e-9);
    EXPECT_NEAR(s.pressure, c.p, 1e-9);
    EXPECT_EQ(s.analog, c.analog);
    EXPECT_NEAR(s.salinity, c.salinity >= 0 ? c.salinity : PracticalSalinity(c.c, c.t, c.p), 1e-9);
  }
}

TEST_F(Sbe49Test, CoefficientsAreThoseOfTheScanStart) {
  rig.Set("SBE49", "PA1", "0.002");
  rig.Decode("0800000F00000186A08000");
  EXPECT_NEAR(rig.Sample().pressure, 68.9476, 1e-9);
  rig.Select(CtdCode::kSbe49);
  rig.Decode("0800000F00000186A08000");
  EXPECT_NEAR(rig.Sample().pressure, 2 * 68.9476, 1e-9);
}

TEST_F(Sbe49Test, BrokenLinesLeaveTheRecordAlone) {
  rig.Decode("23.7151,4.12345,100.123,35.1234");
  const CtdSample before = rig.Sample();
  for (const char* line : {"", "  ", "23.7151,4.12345", "x,4.1,100", "2DC6C053EC6005573",
                           "2DC6C053EC6005573G", "0800000F00000186A0800Z"}) {
    rig.Decode(line);
    EXPECT_TRUE(SameRecord(rig.Sample(), before)) << line;
  }
}

// --- SBE 25 -------------------------------------------------------------------------------

class Sbe25Test : public ::testing::Test {
 protected:
  Sbe25Test() {
    rig.Set("SBE25", "G", "0.0035316969803990819");
    rig.Set("SBE25", "F0", "3840");
    rig.Set("SBE25", "PA1", "0.1");
    rig.Set("SBE25", "CH", "1e-6");
    rig.Select(CtdCode::kSbe25);
  }
  DecoderRig rig{CtdCode::kSbe25};
};

TEST_F(Sbe25Test, LinesWithAndWithoutChannels) {
  struct Case {
    const char* line;
    double p, analog;
  };
  const Case cases[] = {
      {"0F00000A000003E81112223334445556660777 42 7", 100, 42},
      {"0F00000A000043E8 0x2A", -100, 42},
      {"0F00000A000003E8", 100, 0},
  };
  for (const Case& c : cases) {
    rig.decoder.StartScan();
    EXPECT_EQ(rig.Decode(c.line), c.line);
    const CtdSample& s = rig.Sample();
    EXPECT_NEAR(s.temperature, 10.0, 1e-9);       // 3840 Hz = F0
    EXPECT_NEAR(s.pressure, c.p, 1e-12);          // pressure, not depth
    EXPECT_NEAR(s.conductivity, 0.65536, 1e-12);  // 1e-6 * 2560^2 / 10
    EXPECT_EQ(s.analog, c.analog);
    EXPECT_NEAR(s.salinity, PracticalSalinity(0.65536, 10.0, c.p), 1e-9);
  }
}

TEST_F(Sbe25Test, ShortWordWritesOnlyTheAnalogValue) {
  rig.Decode("0F00000A000003E8 1");
  CtdSample expected = rig.Sample();
  rig.Decode("0F00000A000003E 99");
  expected.analog = 99;
  EXPECT_TRUE(SameRecord(rig.Sample(), expected));
  rig.Decode("0F00000A0000Z3E8 5");  // not hex
  expected.analog = 5;
  EXPECT_TRUE(SameRecord(rig.Sample(), expected));
}

}  // namespace
}  // namespace vesk
