// The conversions against published check values (UNESCO 1983, Fofonoff and Millard) and
// against hand-worked Sea-Bird cases.

#include "instruments/ctd_conversions.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vesk {
namespace {

TEST(PracticalSalinity, UnescoCheckValuesFromConductivityRatio) {
  struct Case {
    double r, t, p, s;
  };
  // UNESCO technical paper 44: p. 9 check values, and the p. 14 table read backwards
  // (conductivity ratio given to 6 decimals, so salinity agrees to about 1e-4; the first
  // entry there is printed 0.498088, a misprint of 0.498008).
  const Case cases[] = {
      {1.0, 15, 0, 35.000000},     {1.2, 20, 2000, 37.245628}, {0.65, 5, 1500, 27.995347},
      {1.888091, 40, 10000, 40.0}, {0.498008, 0, 0, 25.0},     {0.654990, 10, 0, 25.0},
      {0.506244, 0, 1000, 25.0},   {0.662975, 10, 1000, 25.0}, {1.000073, 10, 0, 40.0},
      {1.529967, 30, 0, 40.0},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(PracticalSalinityFromRatio(c.r, c.t, c.p), c.s, 2e-4)
        << "R=" << c.r << " T=" << c.t << " P=" << c.p;
  }
  EXPECT_NEAR(PracticalSalinityFromRatio(1.888091, 40, 10000), 40.0000, 5e-5);
  EXPECT_NEAR(PracticalSalinityFromRatio(1.2, 20, 2000), 37.245628, 1e-6);
}

TEST(PracticalSalinity, FromConductivityInEitherUnit) {
  // C(35, 15, 0) = 4.2914 S/m = 42.914 mS/cm.
  EXPECT_NEAR(PracticalSalinity(4.2914, 15, 0), 35.000, 5e-4);
  EXPECT_NEAR(Cond2CondRatio(4.2914, ConductivityUnit::SiemensPerMetre), 1.0, 1e-12);
  EXPECT_NEAR(Cond2CondRatio(42.914, ConductivityUnit::MilliSiemensPerCentimetre), 1.0, 1e-12);
}

TEST(PracticalSalinity, NoConductivityIsNoSalinity) {
  EXPECT_EQ(PracticalSalinity(0, 10, 100), 0);
  EXPECT_EQ(PracticalSalinityFromRatio(0.0005, 10, 100), 0);
  EXPECT_EQ(PracticalSalinityFromRatio(-1, 10, 100), 0);
  EXPECT_EQ(PracticalSalinityFromRatio(std::nan(""), 10, 100), 0);
  EXPECT_GT(PracticalSalinityFromRatio(0.0006, 10, 100), 0);
}

TEST(PressureToDepth, UnescoTable) {
  struct Case {
    double lat, p, depth;
  };
  // UNESCO technical paper 44, p. 28.
  const Case cases[] = {
      {0, 500, 496.653},    {30, 500, 495.998},    {45, 500, 495.343},    {90, 500, 494.034},
      {0, 5000, 4915.041},  {30, 5000, 4908.560},  {45, 5000, 4902.081},  {90, 5000, 4889.131},
      {0, 10000, 9725.471}, {30, 10000, 9712.653}, {45, 10000, 9699.841}, {90, 10000, 9674.231},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(PressureToDepth(c.p, c.lat), c.depth, 1e-3) << c.lat << " deg, " << c.p << " dbar";
  }
  EXPECT_EQ(PressureToDepth(0, 30), 0);
  EXPECT_NEAR(PressureToDepth(10000, -30), 9712.653, 1e-3);  // south is the same
}

TEST(Sbe19, PressureRemovesTheAtmosphere) {
  Sbe19Coefficients c;
  EXPECT_NEAR(Sbe19Pressure(1234, c), -10.1353, 1e-4);  // all coefficients 0
  c.presPA0 = 14.7;
  c.presPA1 = 0.1;
  c.presPA2 = 1e-5;
  EXPECT_NEAR(Sbe19Pressure(1000, c), 75.842360, 1e-6);  // + 10 psi
  c.presLinear = true;
  c.presM = 0.2;
  c.presB = 4.7;
  EXPECT_NEAR(Sbe19Pressure(50, c), 0, 1e-12);  // 10 + 4.7 psi
}

TEST(Sbe19, FrequencyThermometerAndConductivity) {
  Sbe19Coefficients c;
  c.tempG = 0.003;
  c.tempH = 0.0005;
  c.tempF0G = 2000 * std::exp(1.0);  // ln(F0/f) = 1 at 2000 Hz
  c.tempSetA = true;
  c.tempA = 1 / 283.15;
  c.tempF0A = 2000;
  EXPECT_NEAR(Sbe19Temperature(2000, c), 10.0, 1e-9);

  c.condH = 2.5;
  c.condCpcorG = 0;
  c.condCtcor = 0.01;  // (1 + 0.1) in the divisor
  EXPECT_NEAR(Sbe19Conductivity(3950, 10, 0, c), 3.900625 / 1.1, 1e-12);
  c.condSetA = true;
  c.condA = 1;
  c.condM = 3;
  c.condC = 0.5;
  c.condCpcorA = 0;
  EXPECT_NEAR(Sbe19Conductivity(2000, 0, 0, c), (8 + 0.5) / 10, 1e-12);

  EXPECT_EQ(Sbe19ConductivityFrequency(1700, true), 2600);
  EXPECT_EQ(Sbe19ConductivityFrequency(0, false), 2500);
}

TEST(Sbe19, ReferenceCorrectionMapsTheReferencesToTheirNominalFrequencies) {
  // Whatever the drift of the two reference oscillators, B reads as 2885.63 Hz and A as
  // 10202.24 Hz after the correction.
  const double refs[][2] = {{8000, 3000}, {8100, 3050}, {7900, 2950}};
  for (const auto& r : refs) {
    EXPECT_NEAR(RefFreqCorrect(r[1], r[0], r[1]), 2885.629182, 1e-5);
    EXPECT_NEAR(RefFreqCorrect(r[0], r[0], r[1]), 10202.240769, 1e-5);
  }
}

TEST(SeaBirdStrainGauge, ThermistorPressureAndConductivity) {
  SeaBirdCoefficients c;
  // A count of 524288 is 0 V: R is 15000 ohm for the SBE 49, 5000 for the 19plus.
  c.ta1 = 1 / (std::log(15000.0) * 283.15);
  EXPECT_NEAR(Sbe49Temperature(524288, c), 10.0, 1e-9);
  c.ta1 = 1 / (std::log(5000.0) * 283.15);
  EXPECT_NEAR(Sbe19plusTemperature(524288, c), 10.0, 1e-9);

  c.pa0 = 14.7;
  c.pa1 = 0.001;
  c.ptcb0 = 1;
  c.ptca0 = 50000;  // the compensation offset comes off the count
  EXPECT_NEAR(Sbe19plusPressure(100000, 2.5, c), 34.4738, 1e-9);
  c.ptca0 = 0;
  c.ptempa0 = 1;
  c.ptcb1 = 1;  // n' = n * 1 / (1 + 1)
  EXPECT_NEAR(Sbe49Pressure(100000, 2.5, c), 34.4738, 1e-9);

  c.h = 0.25;
  c.ctcor = 0.01;
  c.cpcor = 0.001;
  EXPECT_NEAR(Sbe19plusConductivity(3840, 10, 100, c), 3.6864 / 1.2, 1e-12);
}

TEST(Sbe25, ConvertsInTemperaturePressureConductivityOrder) {
  Sbe25Coefficients c;
  c.g = 1 / 283.15;
  c.f0 = 3840;
  c.pa1 = 0.1;
  c.ch = 1e-6;
  c.ctcor = 0.01;   // uses the temperature just computed
  c.cpcor = 0.001;  // and the pressure
  double cond = 2560, temp = 3840, pres = 1000;
  Sbe25Convert(cond, temp, pres, c);
  EXPECT_NEAR(temp, 10.0, 1e-9);
  EXPECT_NEAR(pres, 100.0, 1e-12);
  EXPECT_NEAR(cond, 0.65536 / 1.2, 1e-12);
}

}  // namespace
}  // namespace vesk
