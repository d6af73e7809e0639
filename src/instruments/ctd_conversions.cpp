#include "instruments/ctd_conversions.h"

#include <cmath>

namespace vesk {
namespace {

constexpr double kKelvin = 273.15;

double Cubic(double a0, double a1, double a2, double a3, double x) {
  return a0 + x * (a1 + x * (a2 + x * a3));
}

// Strain-gauge pressure with temperature compensation (SBE 49 and SBE 19plus).
double StrainGaugePressure(double n, double volts, const SeaBirdCoefficients& c) {
  const double y = c.ptempa0 + c.ptempa1 * volts + c.ptempa2 * volts * volts;
  const double x = n - c.ptca0 - c.ptca1 * y - c.ptca2 * y * y;
  const double counts = x * c.ptcb0 / (c.ptcb0 + c.ptcb1 * y + c.ptcb2 * y * y);
  return (c.pa0 + c.pa1 * counts + c.pa2 * counts * counts - kAtmospherePsi) * kPsiToDbar;
}

double ThermistorTemperature(double r, const SeaBirdCoefficients& c) {
  const double l = std::log(r);
  return 1.0 / Cubic(c.ta0, c.ta1, c.ta2, c.ta3, l) - kKelvin;
}

double SeaBirdConductivity(double f, double t, double p, const SeaBirdCoefficients& c) {
  const double fk = f * 0.001;
  const double fk2 = fk * fk;
  return (c.g + c.h * fk2 + c.i * fk2 * fk + c.j * fk2 * fk2) / (1 + c.ctcor * t + c.cpcor * p);
}

}  // namespace

double Sbe19Temperature(double f, const Sbe19Coefficients& c) {
  if (c.tempSetA) {
    const double l = std::log(c.tempF0A / f);
    return 1.0 / Cubic(c.tempA, c.tempB, c.tempC, c.tempD, l) - kKelvin;
  }
  const double l = std::log(c.tempF0G / f);
  return 1.0 / Cubic(c.tempG, c.tempH, c.tempI, c.tempJ, l) - kKelvin;
}

double Sbe19Conductivity(double f, double t, double p, const Sbe19Coefficients& c) {
  const double fk = f * 0.001;
  const double fk2 = fk * fk;
  if (c.condSetA) {
    return (c.condA * std::pow(fk, c.condM) + c.condB * fk2 + c.condC + c.condD * t) /
           ((1 + c.condCpcorA * p) * 10);
  }
  return (c.condG + c.condH * fk2 + c.condI * fk2 * fk + c.condJ * fk2 * fk2) /
         ((1 + c.condCtcor * t + c.condCpcorG * p) * 10);
}

double Sbe19Pressure(double n, const Sbe19Coefficients& c) {
  const double psia =
      c.presLinear ? c.presM * n + c.presB : c.presPA0 + c.presPA1 * n + c.presPA2 * n * n;
  return (psia - kAtmospherePsi) * kPsiToDbar;
}

double Sbe19TemperatureFrequency(double count) {
  return count / 17 + 1950;
}

double Sbe19ConductivityFrequency(double count, bool standardCalc) {
  return std::sqrt(count * (standardCalc ? 300 : 2900) + 6250000);
}

double RefFreqCorrect(double f, double refA, double refB) {
  const double k = (refA * refA - refB * refB) * 1.0442897818195631e-8;
  return std::sqrt((f * f - (refB * refB - k * 8368490.057438805)) / k - 41634.28040079989);
}

double Sbe49Temperature(double n, const SeaBirdCoefficients& c) {
  const double v = (n - 524288) * 6.25e-8;
  return ThermistorTemperature((v * 2.295e10 + 9.216e8) / (61440 - v * 5.3e5), c);
}

double Sbe49Pressure(double n, double volts, const SeaBirdCoefficients& c) {
  return StrainGaugePressure(n, volts, c);
}

double Sbe49Conductivity(double f, double t, double p, const SeaBirdCoefficients& c) {
  return SeaBirdConductivity(f, t, p, c);
}

double Sbe19plusTemperature(double n, const SeaBirdCoefficients& c) {
  const double v = (n - 524288) * 6.25e-8;
  return ThermistorTemperature((v * 2.9e9 + 1.024e8) / (20480 - v * 2e5), c);
}

double Sbe19plusPressure(double n, double volts, const SeaBirdCoefficients& c) {
  return StrainGaugePressure(n, volts, c);
}

double Sbe19plusConductivity(double f, double t, double p, const SeaBirdCoefficients& c) {
  return SeaBirdConductivity(f, t, p, c);
}

void Sbe25Convert(double& conductivity, double& temperature, double& pressure,
                  const Sbe25Coefficients& c) {
  const double fc = conductivity;
  const double l = std::log(c.f0 / temperature);
  const double t = 1.0 / Cubic(c.g, c.h, c.i, c.j, l) - kKelvin;
  const double n = pressure;
  const double p = c.pa0 + c.pa1 * n + c.pa2 * n * n;
  const double fc2 = fc * fc;
  conductivity = (c.cg + c.ch * fc2 + c.ci * fc2 * fc + c.cj * fc2 * fc2) /
                 ((1 + c.ctcor * t + c.cpcor * p) * 10);
  temperature = t;
  pressure = p;
}

double Cond2CondRatio(double conductivity, ConductivityUnit unit) {
  constexpr double kPerSiemensPerMetre = 0.23302418791070512;  // 10 / 42.914
  return unit == ConductivityUnit::MilliSiemensPerCentimetre
             ? conductivity * 0.1 * kPerSiemensPerMetre
             : conductivity * kPerSiemensPerMetre;
}

double PracticalSalinityFromRatio(double r, double t, double p) {
  if (!(r > 0.0005)) return 0;
  constexpr double a[6] = {0.0080, -0.1692, 25.3851, 14.0941, -7.0261, 2.7081};
  constexpr double b[6] = {0.0005, -0.0056, -0.0066, -0.0375, 0.0636, -0.0144};
  constexpr double k = 0.0162;
  constexpr double c0 = 0.6766097, c1 = 2.00564e-2, c2 = 1.104259e-4, c3 = -6.9698e-7,
                   c4 = 1.0031e-9;
  constexpr double d1 = 3.426e-2, d2 = 4.464e-4, d3 = 4.215e-1, d4 = -3.107e-3;
  constexpr double e1 = 2.070e-5, e2 = -6.370e-10, e3 = 3.989e-15;

  const double rp =
      1 + p * (e1 + e2 * p + e3 * p * p) / (1 + d1 * t + d2 * t * t + (d3 + d4 * t) * r);
  const double rt = c0 + t * (c1 + t * (c2 + t * (c3 + t * c4)));
  const double x = std::sqrt(std::fabs(r / (rp * rt)));
  double sa = 0, sb = 0;
  for (int i = 5; i >= 0; --i) {
    sa = sa * x + a[i];
    sb = sb * x + b[i];
  }
  const double dt = t - 15;
  return sa + dt / (1 + k * dt) * sb;
}

double PracticalSalinity(double conductivity, double t, double p) {
  return PracticalSalinityFromRatio(Cond2CondRatio(conductivity, ConductivityUnit::SiemensPerMetre),
                                    t, p);
}

double SurfaceGravity(double latitude) {
  const double s = std::sin(latitude * 0.017453292519944444);
  const double x = s * s;
  return 9.780318 * (1 + (5.2788e-3 + 2.36e-5 * x) * x);
}

double PressureToDepthAtGravity(double pressure, double surfaceGravity) {
  const double p = pressure;
  const double g = surfaceGravity + 1.092e-6 * p;
  return ((((-1.82e-15 * p + 2.279e-10) * p - 2.2512e-5) * p + 9.72659) * p) / g;
}

double PressureToDepth(double pressure, double latitude) {
  return PressureToDepthAtGravity(pressure, SurfaceGravity(latitude));
}

}  // namespace vesk
