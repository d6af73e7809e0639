#pragma once
// The CTD conversions: Sea-Bird counts and frequencies to engineering units, practical
// salinity (PSS-78) and depth from pressure (UNESCO 1983). Pure functions of their inputs
// and a coefficient set; the coefficients are loaded elsewhere (ctd_coefficients.h).

namespace vesk {

// SBE 19 calibration ("TC_Coeff").
struct Sbe19Coefficients {
  bool tempSetA = false;  // TempCoeff: false = G, H, I, J, F0G (ITS-90); true = A, B, C, D, F0A
  double tempG = 0, tempH = 0, tempI = 0, tempJ = 0, tempF0G = 1000.0;
  double tempA = 0, tempB = 0, tempC = 0, tempD = 0, tempF0A = 0;
  bool condSetA = false;  // CondCoeff: false = G, H, I, J; true = A, B, C, D, M
  double condG = 0, condH = 0, condI = 0, condJ = 0, condCpcorG = -9.57e-8, condCtcor = 3.25e-6;
  double condA = 0, condB = 0, condC = 0, condD = 0, condM = 0, condCpcorA = -9.57e-8;
  bool presLinear = false;  // PresCoeff: false = PA0, PA1, PA2; true = M, B
  double presPA0 = 0, presPA1 = 0, presPA2 = 0, presM = 0, presB = 0;
  int analogChannels = 0;         // SBE_Analog: 0, 2 or 4
  double firmwareVersion = 3.0;   // 2.0 or less: pressure count in eighths
  bool condStandardCalc = false;  // 300 instead of 2900 in the conductivity frequency
  bool logRaw = false;            // keep the raw line as the log text
};

// The strain-gauge pressure and thermistor CTDs (SBE 49 and SBE 19plus) share one set.
struct SeaBirdCoefficients {
  double ta0 = 0, ta1 = 0, ta2 = 0, ta3 = 0;  // temperature (TA0..TA3 / A0..A3)
  double g = 0, h = 0, i = 0, j = 0;          // conductivity
  double cpcor = 0, ctcor = 0;
  double pa0 = 0, pa1 = 0, pa2 = 0;
  double ptca0 = 0, ptca1 = 0, ptca2 = 0;
  double ptcb0 = 0, ptcb1 = 0, ptcb2 = 0;
  double ptempa0 = 0, ptempa1 = 0, ptempa2 = 0;
};

// SBE 25 calibration ("SBE25").
struct Sbe25Coefficients {
  double g = 0, h = 0, i = 0, j = 0;      // temperature
  double cg = 0, ch = 0, ci = 0, cj = 0;  // conductivity (frequency in Hz)
  double cpcor = 0, ctcor = 0;
  double pa0 = 0, pa1 = 0, pa2 = 0;
  double f0 = 0;  // temperature reference frequency
};

// OS200 calibration ("OS200Config").
struct Os200Coefficients {
  double ca = 0, cb = 0, pa = 0, pb = 0, ta = 0, tb = 0, tc = 0, td = 0;
};

inline constexpr double kFrequencyStep = 0.00390625;                  // Hz per count (1/256)
inline constexpr double kVoltsPer16BitCount = 7.629510948348211e-05;  // 5 V / 65535
inline constexpr double kVoltsPer12BitCount = 0.001221001221001221;   // 5 V / 4095
inline constexpr double kPsiToDbar = 0.689476;
inline constexpr double kAtmospherePsi = 14.7;

// SBE 19 frequency thermometer: temperature (deg C) from frequency f (Hz).
double Sbe19Temperature(double f, const Sbe19Coefficients& c);
// SBE 19 conductivity (S/m) from frequency f (Hz), temperature and pressure.
double Sbe19Conductivity(double f, double t, double p, const Sbe19Coefficients& c);
// SBE 19 pressure (dbar, atmosphere removed) from the signed pressure count.
double Sbe19Pressure(double n, const Sbe19Coefficients& c);
// SBE 19 frequencies from the hex counts.
double Sbe19TemperatureFrequency(double count);
double Sbe19ConductivityFrequency(double count, bool standardCalc);
// Corrects a frequency by the two reference frequencies A and B of the SBE 19.
double RefFreqCorrect(double f, double refA, double refB);

// SBE 49: temperature from the 24-bit A/D count, pressure from its count and the
// compensation voltage, conductivity (S/m) from frequency f (Hz), T and P.
double Sbe49Temperature(double n, const SeaBirdCoefficients& c);
double Sbe49Pressure(double n, double volts, const SeaBirdCoefficients& c);
double Sbe49Conductivity(double f, double t, double p, const SeaBirdCoefficients& c);
// SBE 19plus: the same three with the 19plus thermistor circuit.
double Sbe19plusTemperature(double n, const SeaBirdCoefficients& c);
double Sbe19plusPressure(double n, double volts, const SeaBirdCoefficients& c);
double Sbe19plusConductivity(double f, double t, double p, const SeaBirdCoefficients& c);

// SBE 25: in, the conductivity frequency, the temperature frequency and the signed pressure
// count; out, conductivity (S/m), temperature and pressure.
void Sbe25Convert(double& conductivity, double& temperature, double& pressure,
                  const Sbe25Coefficients& c);

// The unit an instrument reports conductivity in.
enum class ConductivityUnit { SiemensPerMetre, MilliSiemensPerCentimetre };

// Conductivity ratio R = C / C(35, 15, 0).
double Cond2CondRatio(double conductivity, ConductivityUnit unit);
// Practical salinity (PSS-78) from the conductivity ratio, temperature and pressure (dbar).
// 0 when R is not above 0.0005.
double PracticalSalinityFromRatio(double r, double t, double p);
// Practical salinity from conductivity in S/m.
double PracticalSalinity(double conductivity, double t, double p);

// Depth (m) of a sea pressure (dbar) at a latitude (degrees), UNESCO 1983.
double PressureToDepth(double pressure, double latitude);
// The same in two steps, for callers that convert many pressures at one latitude: the
// latitude's gravity term, then the depth of a pressure with it (bit for bit the same result).
double SurfaceGravity(double latitude);
double PressureToDepthAtGravity(double pressure, double surfaceGravity);

}  // namespace vesk
