#include "instruments/ctd_coefficients.h"

#include "instruments/ctd_coefficient_tables.h"
#include "seams/settings_store.h"

namespace vesk {

Sbe19Coefficients LoadSbe19Coefficients(const SettingsStore& s) {
  Sbe19Coefficients c;
  Sbe19CoefficientTable().Load(s, c);
  c.tempSetA = s.ReadBool(keys::kTcTempCoeff);
  c.condSetA = s.ReadBool(keys::kTcCondCoeff);
  c.presLinear = s.ReadBool(keys::kTcPresCoeff);
  c.analogChannels = s.Read(keys::kTcSbeAnalog);
  c.firmwareVersion = s.ReadReal(keys::kTcSbeFirmwareVersion);
  c.condStandardCalc = s.ReadBool(keys::kTcCondStandardCalc);
  c.logRaw = s.ReadBool(keys::kTcLogRawDataToAsciiFile);
  return c;
}

Sbe19plusConfig LoadSbe19plusConfig(const SettingsStore& s) {
  Sbe19plusConfig cfg;
  Sbe19plusCoefficientTable().Load(s, cfg.coeff);
  cfg.analogInputs = s.Read(keys::kSbe19plusAnalogInputs);
  cfg.outputFormat = s.Read(keys::kSbe19plusOutputFormat);
  cfg.outputSal = s.ReadBool(keys::kSbe19plusOutputSal);
  cfg.outputSv = s.ReadBool(keys::kSbe19plusOutputSv);
  cfg.logRaw = s.ReadBool(keys::kSbe19plusLogRawDataToAsciiFile);
  return cfg;
}

SeaBirdCoefficients LoadSbe49Coefficients(const SettingsStore& s) {
  SeaBirdCoefficients c;
  Sbe49CoefficientTable().Load(s, c);
  return c;
}

Sbe25Coefficients LoadSbe25Coefficients(const SettingsStore& s) {
  Sbe25Coefficients c;
  Sbe25CoefficientTable().Load(s, c);
  return c;
}

Os200Coefficients LoadOs200Coefficients(const SettingsStore& s) {
  Os200Coefficients c;
  Os200CoefficientTable().Load(s, c);
  return c;
}

}  // namespace vesk
