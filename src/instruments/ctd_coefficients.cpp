#include "instruments/ctd_coefficients.h"

#include "app/settings_store.h"

namespace vesk {
namespace {

constexpr const char* kTc = "TC_Coeff";
constexpr const char* kSbe19plus = "SBE19plusConfig";
constexpr const char* kSbe49 = "SBE49";
constexpr const char* kSbe25 = "SBE25";
constexpr const char* kOs200 = "OS200Config";

// Every coefficient is text read as a number; "0.0" unless another default is given.
double Coeff(const SettingsStore& s, const char* section, const char* key,
             const char* def = "0.0") {
  return s.ReadReal(section, key, std::string_view(def));
}

}  // namespace

Sbe19Coefficients LoadSbe19Coefficients(const SettingsStore& s) {
  Sbe19Coefficients c;
  c.tempSetA = s.ReadBool(keys::kTcTempCoeff);
  c.tempG = Coeff(s, kTc, "TempCoeff_G");
  c.tempH = Coeff(s, kTc, "TempCoeff_H");
  c.tempI = Coeff(s, kTc, "TempCoeff_I");
  c.tempJ = Coeff(s, kTc, "TempCoeff_J");
  c.tempF0G = Coeff(s, kTc, "TempCoeff_F0G", "1000.0");
  c.tempA = Coeff(s, kTc, "TempCoeff_A");
  c.tempB = Coeff(s, kTc, "TempCoeff_B");
  c.tempC = Coeff(s, kTc, "TempCoeff_C");
  c.tempD = Coeff(s, kTc, "TempCoeff_D");
  c.tempF0A = Coeff(s, kTc, "TempCoeff_F0A");
  c.condSetA = s.ReadBool(keys::kTcCondCoeff);
  c.condG = Coeff(s, kTc, "CondCoeff_G");
  c.condH = Coeff(s, kTc, "CondCoeff_H");
  c.condI = Coeff(s, kTc, "CondCoeff_I");
  c.condJ = Coeff(s, kTc, "CondCoeff_J");
  c.condCpcorG = Coeff(s, kTc, "CondCoeff_CpcorG", "-9.570000e-008");
  c.condCtcor = Coeff(s, kTc, "CondCoeff_Ctcor", "3.25e-6");
  c.condA = Coeff(s, kTc, "CondCoeff_A");
  c.condB = Coeff(s, kTc, "CondCoeff_B");
  c.condC = Coeff(s, kTc, "CondCoeff_C");
  c.condD = Coeff(s, kTc, "CondCoeff_D");
  c.condM = Coeff(s, kTc, "CondCoeff_M");
  c.condCpcorA = Coeff(s, kTc, "CondCoeff_CpcorA", "-9.570000e-008");
  c.presLinear = s.ReadBool(keys::kTcPresCoeff);
  c.presPA0 = Coeff(s, kTc, "PresCoeff_PA0");
  c.presPA1 = Coeff(s, kTc, "PresCoeff_PA1");
  c.presPA2 = Coeff(s, kTc, "PresCoeff_PA2");
  c.presM = Coeff(s, kTc, "PresCoeff_M");
  c.presB = Coeff(s, kTc, "PresCoeff_B");
  c.analogChannels = s.Read(keys::kTcSbeAnalog);
  c.firmwareVersion = s.ReadReal(keys::kTcSbeFirmwareVersion);
  c.condStandardCalc = s.ReadBool(keys::kTcCondStandardCalc);
  c.logRaw = s.ReadBool(keys::kTcLogRawDataToAsciiFile);
  return c;
}

namespace {

// The pressure and conductivity part shared by the SBE 49 and SBE 19plus sections.
void LoadStrainGauge(const SettingsStore& s, const char* sec, SeaBirdCoefficients& c) {
  c.g = Coeff(s, sec, "G");
  c.h = Coeff(s, sec, "H");
  c.i = Coeff(s, sec, "I");
  c.j = Coeff(s, sec, "J");
  c.pa0 = Coeff(s, sec, "PA0");
  c.pa1 = Coeff(s, sec, "PA1");
  c.pa2 = Coeff(s, sec, "PA2");
  c.ptca0 = Coeff(s, sec, "PTCA0");
  c.ptca1 = Coeff(s, sec, "PTCA1");
  c.ptca2 = Coeff(s, sec, "PTCA2");
  c.ptcb0 = Coeff(s, sec, "PTCB0");
  c.ptcb1 = Coeff(s, sec, "PTCB1");
  c.ptcb2 = Coeff(s, sec, "PTCB2");
  c.ptempa0 = Coeff(s, sec, "PTEMPA0");
  c.ptempa1 = Coeff(s, sec, "PTEMPA1");
  c.ptempa2 = Coeff(s, sec, "PTEMPA2");
}

}  // namespace

Sbe19plusConfig LoadSbe19plusConfig(const SettingsStore& s) {
  Sbe19plusConfig cfg;
  SeaBirdCoefficients& c = cfg.coeff;
  c.ta0 = Coeff(s, kSbe19plus, "A0");
  c.ta1 = Coeff(s, kSbe19plus, "A1");
  c.ta2 = Coeff(s, kSbe19plus, "A2");
  c.ta3 = Coeff(s, kSbe19plus, "A3");
  LoadStrainGauge(s, kSbe19plus, c);
  c.cpcor = Coeff(s, kSbe19plus, "CPcor", "-9.5700e-008");
  c.ctcor = Coeff(s, kSbe19plus, "CTcor", "3.2500e-006");
  cfg.analogInputs = s.Read(keys::kSbe19pAnalogInputs);
  cfg.outputFormat = s.Read(keys::kSbe19pOutputFormat);
  cfg.outputSal = s.ReadBool(keys::kSbe19pOutputSal);
  cfg.outputSv = s.ReadBool(keys::kSbe19pOutputSv);
  cfg.logRaw = s.ReadBool(keys::kSbe19pLogRawDataToAsciiFile);
  return cfg;
}

SeaBirdCoefficients LoadSbe49Coefficients(const SettingsStore& s) {
  SeaBirdCoefficients c;
  c.ta0 = Coeff(s, kSbe49, "TA0");
  c.ta1 = Coeff(s, kSbe49, "TA1");
  c.ta2 = Coeff(s, kSbe49, "TA2");
  c.ta3 = Coeff(s, kSbe49, "TA3");
  LoadStrainGauge(s, kSbe49, c);
  c.cpcor = Coeff(s, kSbe49, "CPCOR");
  c.ctcor = Coeff(s, kSbe49, "CTCOR");
  return c;
}

Sbe25Coefficients LoadSbe25Coefficients(const SettingsStore& s) {
  Sbe25Coefficients c;
  c.g = Coeff(s, kSbe25, "G");
  c.h = Coeff(s, kSbe25, "H");
  c.i = Coeff(s, kSbe25, "I");
  c.j = Coeff(s, kSbe25, "J");
  c.cg = Coeff(s, kSbe25, "CG");
  c.ch = Coeff(s, kSbe25, "CH");
  c.ci = Coeff(s, kSbe25, "CI");
  c.cj = Coeff(s, kSbe25, "CJ");
  c.cpcor = Coeff(s, kSbe25, "CPCOR");
  c.ctcor = Coeff(s, kSbe25, "CTCOR");
  c.pa0 = Coeff(s, kSbe25, "PA0");
  c.pa1 = Coeff(s, kSbe25, "PA1");
  c.pa2 = Coeff(s, kSbe25, "PA2");
  c.f0 = Coeff(s, kSbe25, "F0");
  return c;
}

Os200Coefficients LoadOs200Coefficients(const SettingsStore& s) {
  Os200Coefficients c;
  c.ca = Coeff(s, kOs200, "CA");
  c.cb = Coeff(s, kOs200, "CB");
  c.pa = Coeff(s, kOs200, "PA");
  c.pb = Coeff(s, kOs200, "PB");
  c.ta = Coeff(s, kOs200, "TA");
  c.tb = Coeff(s, kOs200, "TB");
  c.tc = Coeff(s, kOs200, "TC");
  c.td = Coeff(s, kOs200, "TD");
  return c;
}

}  // namespace vesk
