#include "sim/ocean_model.h"

#include <cmath>
#include <cstdio>

#include "seams/settings_store.h"

namespace vesk {

namespace {

// x in [lo, hi] with f(x) = target, for a monotonic f.
template <class F>
double Solve(F f, double lo, double hi, double target) {
  const bool rising = f(hi) > f(lo);
  for (int i = 0; i < 200; ++i) {
    const double mid = 0.5 * (lo + hi);
    if ((f(mid) < target) == rising) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  return 0.5 * (lo + hi);
}

constexpr double kHexTempBase = 1950.0;  // Hz at temperature count 0
constexpr double kHexTempStep = 17.0;    // counts per Hz
constexpr double kVoltsPer12Bit = 5.0 / 4095.0;

std::string FormatReal(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%.6e", v);
  return text;
}

}  // namespace

double SimSalinityFromRatio(double r, double t, double p) {
  if (r <= 0.0005) return 0.0;
  const double a[] = {0.0080, -0.1692, 25.3851, 14.0941, -7.0261, 2.7081};
  const double b[] = {0.0005, -0.0056, -0.0066, -0.0375, 0.0636, -0.0144};
  const double c[] = {0.6766097, 2.00564e-2, 1.104259e-4, -6.9698e-7, 1.0031e-9};
  const double d1 = 3.426e-2, d2 = 4.464e-4, d3 = 4.215e-1, d4 = -3.107e-3;
  const double e1 = 2.070e-5, e2 = -6.370e-10, e3 = 3.989e-15;
  const double rp =
      1 + p * (e1 + e2 * p + e3 * p * p) / (1 + d1 * t + d2 * t * t + (d3 + d4 * t) * r);
  const double rt = c[0] + t * (c[1] + t * (c[2] + t * (c[3] + t * c[4])));
  const double x = std::sqrt(std::fabs(r / (rp * rt)));
  double sa = 0, sb = 0, xn = 1;
  for (int i = 0; i < 6; ++i) {
    sa += a[i] * xn;
    sb += b[i] * xn;
    xn *= x;
  }
  return sa + (t - 15) / (1 + 0.0162 * (t - 15)) * sb;
}

double SimRatioFromSalinity(double s, double t, double p) {
  return Solve([&](double r) { return SimSalinityFromRatio(r, t, p); }, 0.001, 3.0, s);
}

double SimDepthFromPressure(double p, double latitude) {
  const double sn = std::sin(latitude * 0.017453292519944444);
  const double x = sn * sn;
  const double g = 9.780318 * (1 + (5.2788e-3 + 2.36e-5 * x) * x) + 1.092e-6 * p;
  return ((((-1.82e-15 * p + 2.279e-10) * p - 2.2512e-5) * p + 9.72659) * p) / g;
}

double SimPressureFromDepth(double depth, double latitude) {
  return Solve([&](double p) { return SimDepthFromPressure(p, latitude); }, -50.0, 12000.0, depth);
}

double SimSbe19Temperature(double f, const SimSbe19Calibration& cal) {
  const double l = std::log(cal.tempF0G / f);
  return 1.0 / (cal.tempG + l * (cal.tempH + l * (cal.tempI + l * cal.tempJ))) - 273.15;
}

double SimSbe19Conductivity(double f, double t, double p, const SimSbe19Calibration& cal) {
  const double fk = f * 0.001;
  const double num = cal.condG + fk * fk * (cal.condH + fk * (cal.condI + fk * cal.condJ));
  return num / ((1 + cal.condCtcor * t + cal.condCpcor * p) * 10.0);
}

double SimSbe19Pressure(double n, const SimSbe19Calibration& cal) {
  return (cal.presPA0 + cal.presPA1 * n + cal.presPA2 * n * n - 14.7) * 0.689476;
}

std::string SimSbe19HexWord(double t, double c, double p, const SimSbe19Calibration& cal,
                            const double* analogVolts, int analogChannels) {
  // Temperature: frequency = count / 17 + 1950.
  const double fMaxT = kHexTempBase + 65535.0 / kHexTempStep;
  const double fT =
      Solve([&](double f) { return SimSbe19Temperature(f, cal); }, kHexTempBase, fMaxT, t);
  const long tc =
      std::lround(std::fmin(65535.0, std::fmax(0.0, (fT - kHexTempBase) * kHexTempStep)));
  // Conductivity: frequency = sqrt(count * 2900 + 6250000).
  const double fMinC = 2500.0, fMaxC = std::sqrt(65535.0 * 2900.0 + 6250000.0);
  const double fC =
      Solve([&](double f) { return SimSbe19Conductivity(f, t, p, cal); }, fMinC, fMaxC, c);
  const long cc = std::lround(std::fmin(65535.0, std::fmax(0.0, (fC * fC - 6250000.0) / 2900.0)));
  // Pressure: 13-bit count, bit 14 for a negative count.
  const double n = Solve([&](double x) { return SimSbe19Pressure(x, cal); }, -8191.0, 8191.0, p);
  long pc = std::lround(n);
  unsigned pword = 0;
  if (pc < 0) {
    pword = 0x4000;
    pc = -pc;
  }
  pword |= static_cast<unsigned>(pc > 0x1FFF ? 0x1FFF : pc);

  char text[40];
  int len = std::snprintf(text, sizeof text, "%04lX%04lX", tc, cc);
  for (int i = 0; i < analogChannels && analogVolts != nullptr; ++i) {
    const long v = std::lround(std::fmin(4095.0, std::fmax(0.0, analogVolts[i] / kVoltsPer12Bit)));
    len += std::snprintf(text + len, sizeof text - static_cast<std::size_t>(len), "%03lX", v);
  }
  std::snprintf(text + len, sizeof text - static_cast<std::size_t>(len), "%04X", pword);
  return text;
}

void StoreSimSbe19Calibration(const SimSbe19Calibration& cal, int analogChannels,
                              SettingsStore& store) {
  const char* s = "TC_Coeff";
  store.WriteInt(s, "TempCoeff", 0);
  store.WriteString(s, "TempCoeff_G", FormatReal(cal.tempG));
  store.WriteString(s, "TempCoeff_H", FormatReal(cal.tempH));
  store.WriteString(s, "TempCoeff_I", FormatReal(cal.tempI));
  store.WriteString(s, "TempCoeff_J", FormatReal(cal.tempJ));
  store.WriteString(s, "TempCoeff_F0G", FormatReal(cal.tempF0G));
  store.WriteInt(s, "CondCoeff", 0);
  store.WriteString(s, "CondCoeff_G", FormatReal(cal.condG));
  store.WriteString(s, "CondCoeff_H", FormatReal(cal.condH));
  store.WriteString(s, "CondCoeff_I", FormatReal(cal.condI));
  store.WriteString(s, "CondCoeff_J", FormatReal(cal.condJ));
  store.WriteString(s, "CondCoeff_CpcorG", FormatReal(cal.condCpcor));
  store.WriteString(s, "CondCoeff_Ctcor", FormatReal(cal.condCtcor));
  store.WriteInt(s, "PresCoeff", 0);
  store.WriteString(s, "PresCoeff_PA0", FormatReal(cal.presPA0));
  store.WriteString(s, "PresCoeff_PA1", FormatReal(cal.presPA1));
  store.WriteString(s, "PresCoeff_PA2", FormatReal(cal.presPA2));
  store.WriteString(s, "SBEFirmwareVersion", "3.0");
  store.WriteInt(s, "CondStandardCalc", 0);
  store.WriteInt(s, "SBE_Analog", analogChannels);
}

}  // namespace vesk
