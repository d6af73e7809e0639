#pragma once
// Reads the CTD calibration coefficients and options from the settings store. The SBE 19,
// SBE 19plus and OS200 sets are read for every line (a change takes effect on the next
// line); the SBE 49 and SBE 25 sets when the port settings are loaded.

#include "instruments/ctd_conversions.h"

namespace vesk {

class SettingsStore;

// The SBE 19plus options ("SBE19plusConfig") with its coefficients.
struct Sbe19plusConfig {
  SeaBirdCoefficients coeff;
  int analogInputs = 0;  // 0..4
  int outputFormat = 0;  // 0 hex, 1 decimal
  bool outputSal = false;
  bool outputSv = false;
  bool logRaw = false;
};

Sbe19Coefficients LoadSbe19Coefficients(const SettingsStore& store);
Sbe19plusConfig LoadSbe19plusConfig(const SettingsStore& store);
SeaBirdCoefficients LoadSbe49Coefficients(const SettingsStore& store);
Sbe25Coefficients LoadSbe25Coefficients(const SettingsStore& store);
Os200Coefficients LoadOs200Coefficients(const SettingsStore& store);

}  // namespace vesk
