#pragma once
// The simulator's own sea-water and Sea-Bird SBE 19 formulas, run forwards and inverted, so
// that the simulated instruments send what a real one would send for a chosen cast.

#include <string>

namespace vesk {

class SettingsStore;

// Practical salinity (PSS-78) from the conductivity ratio R = C / 42.914 mS/cm.
double SimSalinityFromRatio(double r, double t, double p);
// The conductivity ratio that gives salinity s at t, p.
double SimRatioFromSalinity(double s, double t, double p);
// Depth (m) of pressure p (dbar) at a latitude (UNESCO 1983), and its inverse.
double SimDepthFromPressure(double p, double latitude);
double SimPressureFromDepth(double depth, double latitude);

// The SBE 19 calibration the simulated instrument ships with (ITS-90 G set, conductivity G
// set, quadratic pressure), the settings the program must hold to decode it.
struct SimSbe19Calibration {
  double tempG = 4.30e-3, tempH = 6.40e-4, tempI = 2.20e-5, tempJ = 2.00e-6, tempF0G = 1000.0;
  double condG = -4.0, condH = 0.65, condI = -1.0e-3, condJ = 2.0e-4;
  double condCpcor = -9.57e-8, condCtcor = 3.25e-6;
  double presPA0 = 14.0, presPA1 = 0.02, presPA2 = 0.0;
};

// The "TC_Coeff" keys of this calibration and of a word with `analogChannels` analog
// channels (0, 2 or 4), written to `store`.
void StoreSimSbe19Calibration(const SimSbe19Calibration& cal, int analogChannels,
                              SettingsStore& store);

// Forward SBE 19 formulas (as the instrument's calibration sheet gives them).
double SimSbe19Temperature(double frequency, const SimSbe19Calibration& cal);
double SimSbe19Conductivity(double frequency, double t, double p, const SimSbe19Calibration& cal);
double SimSbe19Pressure(double count, const SimSbe19Calibration& cal);

// The SBE 19 hex word "ttttccccpppp" (with 3-hex analog channels before the pressure when
// analogVolts has 2 or 4 values) for temperature (deg C), conductivity (S/m) and pressure
// (dbar). Values beyond the instrument's range are clipped to it (pressure: about 110 dbar).
std::string SimSbe19HexWord(double t, double c, double p, const SimSbe19Calibration& cal,
                            const double* analogVolts = nullptr, int analogChannels = 0);

}  // namespace vesk
