// The blocks the SBE 19 and the SBE 19plus add to the live file header.

#include "instruments/ctd_coefficient_tables.h"
#include "instruments/ctd_seabird_decoders.h"
#include "seams/settings_keys.h"
#include "seams/settings_store.h"

namespace vesk {
namespace {

void Line(std::string& out, std::string_view text) {
  out += text;
  out += "\r\n";
}

const char* YesNo(int value) {
  return value != 0 ? "YES" : "NO";
}

}  // namespace

void AppendSbe19HeaderBlock(std::string& out, const SettingsStore& s, const std::string& title) {
  using namespace keys;
  out += "\r\n# -- " + title + " --\r\n";
  Line(out, "# SBE_Firmware: \t\t" + s.Read(kTcSbeFirmwareVersion));
  Line(out, "# SBE_Analogs: \t\t\t" + std::to_string(s.Read(kTcSbeAnalog)));
  Line(out, std::string("# Conductivity_Calc: \t\t") +
                (s.Read(kTcCondStandardCalc) != 0 ? "Narrow Range" : "Standard"));
  Line(out,
       std::string("# Log_Raw_Data_To_Ascii_File: \t") + YesNo(s.Read(kTcLogRawDataToAsciiFile)));
  const CoefficientTable<Sbe19Coefficients>& table = Sbe19CoefficientTable();
  const std::vector<CoefficientText> texts = table.Texts();
  auto line = [&](const char* first, std::size_t count) {
    Line(out, CoefficientHeaderLine(s, table.section, texts, first, count));
  };
  if (s.Read(kTcTempCoeff) == 0) {
    line("TempCoeff_G", 5);
  } else {
    line("TempCoeff_A", 5);
  }
  if (s.Read(kTcCondCoeff) == 0) {
    line("CondCoeff_G", 6);
  } else {
    line("CondCoeff_A", 6);
  }
  if (s.Read(kTcPresCoeff) == 0) {
    line("PresCoeff_PA0", 3);
  } else {
    line("PresCoeff_M", 2);
  }
}

void AppendSbe19plusHeaderBlock(std::string& out, const SettingsStore& s,
                                const std::string& title) {
  using namespace keys;
  out += "\r\n# -- " + title + " --\r\n";
  const int format = s.Read(kSbe19plusOutputFormat);
  Line(out, std::string("# OUTPUTFORMAT: \t\t") + (format == 0 ? "0" : format == 1 ? "3" : "?"));
  if (format == 3) {
    Line(out, std::string("# OUTPUT_SAL: \t\t\t") + YesNo(s.Read(kSbe19plusOutputSal)));
    Line(out, std::string("# OUTPUT_SV: \t\t\t") + YesNo(s.Read(kSbe19plusOutputSv)));
  }
  Line(out, "# SBE_ANALOGS: \t\t\t" + std::to_string(s.Read(kSbe19plusAnalogInputs)));
  Line(out, std::string("# Log_Raw_Data_To_Ascii_File: \t") +
                YesNo(s.Read(kSbe19plusLogRawDataToAsciiFile)));
  const CoefficientTable<SeaBirdCoefficients>& table = Sbe19plusCoefficientTable();
  const std::vector<CoefficientText> texts = table.Texts();
  Line(out, CoefficientHeaderLine(s, table.section, texts, "A0", 4));
  Line(out, CoefficientHeaderLine(s, table.section, texts, "G", 6));
  Line(out, CoefficientHeaderLine(s, table.section, texts, "PA0", 12));
}

}  // namespace vesk
